// Resource ids shared by the resource script and the application code.
#pragma once

#define IDI_APP 100
#define IDD_MAIN 101

// The dialog's control ids are fixed; IDOK (1) and IDHELP (9) come from the system headers.
#define IDC_HIDDEN_LIST 121
#define IDC_HIDE 122
#define IDC_RESTORE 123
#define IDC_ACTIVE_LIST 124
#define IDC_HYPERLINK 1001
#define IDC_STATIC (-1)
