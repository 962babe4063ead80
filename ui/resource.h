// resource.h: resource and control identifiers, shared by the .rc file and the C++.
#pragma once

#define IDI_VOSTRELK 1

// Control identifiers of the main window. None is 1 or 2: the dialog manager
// sends those (IDOK, IDCANCEL) for Enter and Escape, and the window ignores them.
#define IDC_GPBSQLPLUS 100
#define IDC_EDTSQLPLUS 101
#define IDC_BTNFILEOPEN 102
#define IDC_GPBLOGIN 110
#define IDC_LBLUSER 111
#define IDC_LBLPASS 112
#define IDC_LBLHOST 113
#define IDC_EDTUSER 114
#define IDC_EDTPASS 115
#define IDC_EDTHOST 116
#define IDC_GPBLIST 120
#define IDC_LSTLOGIN 121
#define IDC_BTNINSERT 130
#define IDC_BTNSHELL 131
#define IDC_BTNDELETE 132
#define IDC_BTNSHORTCUT 133
