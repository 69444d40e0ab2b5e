// Numbers of the program's string table (res/strings.rc holds the texts).
#pragma once

enum StringId : unsigned {
    IDS_WINSOCK_FAILED = 103,
    IDS_SUCCESS = 108,
    IDS_ICMP_HANDLE_FAILED = 109,
    IDS_FAILED = 110,
    IDS_ICMP_LOAD_FAILED = 111,
    IDS_SERIAL_TOO_SHORT = 113,
    IDS_TIP_SHOW = 114,
    IDS_TIP_GATEWAY = 115,
    IDS_TIP_IP = 116,
    IDS_TIP_MAC = 117,
    IDS_TIP_NETMASK = 118,
    IDS_TIP_SERIAL = 120,
    IDS_TIP_APPLY = 124,
    IDS_SERIAL_TOO_LONG = 125,
    IDS_SERIAL_TOO_SMALL = 126,
};
