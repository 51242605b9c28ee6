// Resource and control ids. Button ids double as operation codes (1002, 1003, 1013).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Icons, menus, accelerators
#define IDI_ZIDEZUREZIV 128
#define IDR_ACCELERATORS 109

// About box (103)
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDC_VERSION 1015
#define IDC_COPYRIGHT 1016
#define IDC_WEBSITE_LINK 1017

// Main window (131)
#define IDD_MAIN 131
#define IDC_LOG 1000
#define IDC_SHOW_LOGS 1007
#define IDC_TAB 1018
#define IDC_UI_LEVEL 1024
#define IDC_COPY_PATH 1025

// This PC page (129)
#define IDD_THISPC 129
#define IDC_LIST1 1001
#define IDC_UNINSTALL 1002
#define IDC_INSTALL 1003
#define IDC_CAPTION 1008
#define IDC_INSTALLED_GROUP 1009
#define IDC_REPAIR 1013
#define IDC_LAUNCH 1021
#define IDC_REFRESH 1022
#define IDC_START_VN 1023
#define IDC_START_VN64 1026

// Uninstall options (130)
#define IDD_UNINSTALL_OPTIONS 130
#define IDC_REMOVE_SETTINGS 1010
#define IDC_KEEP_SETTINGS 1012

// VN Website page (132); shares IDC_CAPTION, IDC_LIST1 and IDC_REFRESH with the This PC page
#define IDD_WEBSITE 132
#define IDC_DOWNLOAD_INSTALL 1019
#define IDC_BUILD32 1027
#define IDC_BUILD64 1028

// Download progress (133)
#define IDD_DOWNLOAD 133
#define IDC_DOWNLOAD_ICON 1002
#define IDC_PROGRESS 1001
#define IDC_DOWNLOAD_STATUS 1020
#define IDC_FIELD0 5000
#define IDC_FIELD1 5001
#define IDC_FIELD2 5002
#define IDC_FIELD3 5003
#define IDC_FIELD4 5004
#define IDC_FIELD5 5005

// String table: tool-tip texts, numbered as their controls
#define IDS_LAUNCH_TIP 1021
#define IDS_START_VN_TIP 1023
#define IDS_START_VN64_TIP 1026
#define IDS_THISPC_TAB 2001
#define IDS_WEBSITE_TAB 2002
