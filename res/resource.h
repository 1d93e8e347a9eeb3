// Resource identifiers shared by the program and its resource script.
#pragma once

#define IDD_UNPACK_DIALOG 102
#define IDI_KXUNPACK 128
#define IDC_PROGRESS 1001
#define IDC_ICON_STATIC 1002
#define IDC_STATUS_TEXT 1003
