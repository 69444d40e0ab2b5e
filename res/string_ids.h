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

// The checks of the new addresses.
#define IDS_IP_MISSING 140
#define IDS_IP_LOOPBACK 141
#define IDS_IP_NOT_UNICAST 142
#define IDS_IP_OWN 143
#define IDS_NETMASK_MISSING 144
#define IDS_NETMASK_NOT_CONTIGUOUS 145
#define IDS_IP_NETWORK 146
#define IDS_IP_BROADCAST 147
#define IDS_GATEWAY_OUTSIDE 148
#define IDS_GATEWAY_IS_IP 149

// A start that cannot be the session's one window, and says why.
#define IDS_INSTANCE_NOT_HAD 160
#define IDS_INSTANCE_NO_WINDOW 161
