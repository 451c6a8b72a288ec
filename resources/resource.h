// Resource and control ids of the demo, shared by orvogps-demo.rc and app/.
// Plain defines so that the resource compiler can read them too.
#ifndef ORVOGPS_RESOURCE_H
#define ORVOGPS_RESOURCE_H

#define IDD_RECEIVER_PANEL 103
#define IDD_ABOUT 161

#define IDB_TOOLBAR_GO 138
#define IDB_TOOLBAR_STOP 139
#define IDB_TOOLBAR_ABOUT 140
#define IDB_TOOLBAR_EXIT 141
#define IDB_INDICATOR_LIT 153
#define IDB_INDICATOR_DARK 154

#define IDI_DEMO 108
#define IDR_ACCELERATORS 109
#define IDR_MENU 109
#define IDS_APP_DESCRIPTION 103

#define ID_CMD_ABOUT 104
#define ID_CMD_EXIT 105
#define ID_CMD_SELECT_PROTOCOLS 32771

#define IDC_PORT_LIST 1072
#define IDC_UTC_TIME 1073
#define IDC_LAT_DEGREES 1074
#define IDC_LAT_MINUTES 1076
#define IDC_LAT_HEMISPHERE 1077
#define IDC_LON_DEGREES 1078
#define IDC_LON_MINUTES 1079
#define IDC_LON_HEMISPHERE 1080
#define IDC_FIX_VALID 1081
#define IDC_SATELLITES 1082
#define IDC_ALTITUDE 1083
#define IDC_HDOP 1084

#define IDC_ABOUT_TEXT 1076

#endif
