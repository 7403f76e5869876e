// Resource ids of the tools' test dialog (the list ids are those of the program's dialog).
#ifndef KCC_TESTS_TOOLS_FAKEDLG_H
#define KCC_TESTS_TOOLS_FAKEDLG_H

#define IDD_FAKE_ABOUT 100
#define IDD_FAKE_MAIN 102
#define IDS_FAKE_TITLE 500
#define IDS_FAKE_JAPANESE 501
#define IDC_FAKE_LIST_SYSTEM 1000
#define IDC_FAKE_LIST_HARDWARE 1001
#define IDC_FAKE_VERSION 1004
#define IDM_FAKE_ABOUT 0x0010

#endif
