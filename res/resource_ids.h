// Ids of the dialog templates and their controls (res/dialogs.rc uses the same numbers).
#pragma once

// Address page, template 104.
#define IDD_PAGE_IP 104
#define IDC_MAC 1001
#define IDC_SERIAL 1002
#define IDC_NEW_IP 1005
#define IDC_NEW_NETMASK 1006
#define IDC_NEW_GATEWAY 1007
#define IDC_SHOW 1009
#define IDC_LABEL_IP 1010
#define IDC_LABEL_NETMASK 1011
#define IDC_LABEL_GATEWAY 1012
#define IDC_APPLY 1039

// Update page, template 105.
#define IDD_PAGE_FILE 105
#define IDC_BIN_PATH 1024
#define IDC_BIN_BROWSE 1025
#define IDC_BIN_UPDATE 1026
#define IDC_ROM_PATH 1027
#define IDC_ROM_BROWSE 1028
#define IDC_ROM_UPDATE 1029
#define IDC_BIN_PROGRESS 1033
#define IDC_ROM_PROGRESS 1034
#define IDC_FLASHING 1036
#define IDC_CURRENT_IP 1038

// Main window, template 139.
#define IDD_MAIN 139
#define IDC_TABS 1037

#define IDI_VARNOK 128
#define IDB_FLASHING 138
#define IDR_TFTP_CLIENT 136

// Address page: the adapter the unit is reached through.
#define IDC_ADAPTER 1013

// The choice of adapter, template 106.
#define IDD_ADAPTER 106
#define IDC_ADAPTER_LIST 1050

// List of units, template 107.
#define IDD_PAGE_LIST 107
#define IDC_UNIT_LIST 1060
#define IDC_LIST_IMPORT 1061
#define IDC_LIST_FILL 1062
#define IDC_LIST_APPLY_ALL 1063
#define IDC_LIST_APPLY_AGAIN 1064
#define IDC_LIST_STOP 1065
#define IDC_LIST_EXPORT 1066
#define IDC_LIST_NOTE 1067
#define IDC_LIST_PROGRESS 1068
#define IDC_LIST_COUNTS 1069
#define IDC_LIST_DETAIL 1058
#define IDC_LIST_THEN_UPDATE 1059
#define IDC_LIST_FIRMWARE 1075
#define IDC_LIST_FIRMWARE_BROWSE 1076
#define IDC_LIST_WEB 1077
#define IDC_LIST_WEB_BROWSE 1078
#define IDC_LIST_UPDATE_ALL 1079

// Finding units, template 109.
#define IDD_PAGE_FIND 109
#define IDC_FIND_ADAPTER 1080
#define IDC_FIND_FROM 1081
#define IDC_FIND_TO 1082
#define IDC_FIND_START 1083
#define IDC_FIND_PROGRESS 1084
#define IDC_FIND_COUNTS 1085
#define IDC_FIND_LIST 1086
#define IDC_FIND_SHOW 1087
#define IDC_FIND_EXPORT 1088
#define IDC_FIND_NOTE 1089
#define IDC_FIND_DETAIL 1090

// Filling the list, template 108.
#define IDD_FILL 108
#define IDC_FILL_SERIAL 1070
#define IDC_FILL_ADDRESS 1071
#define IDC_FILL_COUNT 1072
#define IDC_FILL_NETMASK 1073
#define IDC_FILL_GATEWAY 1074

// An address to be opened by hand, template 110.
#define IDD_ADDRESS_BOX 110
#define IDC_ADDRESS_ICON 1090
#define IDC_ADDRESS_TEXT 1091
#define IDC_ADDRESS_FIELD 1092
