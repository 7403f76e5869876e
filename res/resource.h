// Resource and control ids shared by the exe, the language satellites and the code.
#ifndef KCC_RES_RESOURCE_H
#define KCC_RES_RESOURCE_H

// Exe
#define IDR_MAINFRAME 128

// Satellite: dialog templates
#define IDD_ABOUTBOX 100
#define IDD_KCCSYSTEMINFO_DIALOG 102

// Satellite: strings
#define IDS_ABOUTBOX 101
#define IDS_MANUFACTURER 129
#define IDS_MODEL 130
#define IDS_SYSTEM_VERSION 131
#define IDS_SERIAL_NUMBER 132
#define IDS_BIOS_VERSION 133
#define IDS_OPERATING_SYSTEM 134
#define IDS_OEM_INFORMATION 136
#define IDS_PROCESSOR 137
#define IDS_PROCESSOR_SPEED 138
#define IDS_MEMORY 139
#define IDS_CACHE 140
#define IDS_VERSION_PREFIX 141
#define IDS_MEDIA_CENTER 142
#define IDS_COPY 143
#define IDS_APP_TITLE 500

// Controls
#define IDC_LIST_SYSTEM 1000
#define IDC_LIST_HARDWARE 1001
#define IDC_GROUP_HARDWARE 1002
#define IDC_GROUP_SYSTEM 1003
#define IDC_VERSION 1004

// Window menu
#define IDM_ABOUTBOX 0x0010
// The lists' context menu: Copy (the framework's own edit command id).
#define ID_EDIT_COPY 0xE122

#endif
