// Numbers of the program's string table; res/strings.rc holds the texts under the same
// names. Plain defines, since the resource compiler reads this file too.
#pragma once

#define IDS_WINSOCK_FAILED 103
#define IDS_SUCCESS 108
#define IDS_ICMP_HANDLE_FAILED 109
#define IDS_FAILED 110
#define IDS_ICMP_LOAD_FAILED 111
#define IDS_SERIAL_TOO_SHORT 113
#define IDS_TIP_SHOW 114
#define IDS_TIP_GATEWAY 115
#define IDS_TIP_IP 116
#define IDS_TIP_MAC 117
#define IDS_TIP_NETMASK 118
#define IDS_TIP_SERIAL 120
#define IDS_TIP_APPLY 124
#define IDS_SERIAL_TOO_LONG 125
#define IDS_SERIAL_TOO_SMALL 126
