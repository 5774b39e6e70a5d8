// Resource identifiers of the configuration dialog, shared by config.rc and
// the code. IDOK and IDCANCEL come from the platform.
#pragma once

#define IDD_CONFIG 101

#define IDC_FORM_HANDLER 1008
#define IDC_SERVER_NAME 1009
#define IDC_NOTES 1034
#define IDC_ENHANCED_FEATURES 1036
#define IDC_ENHANCED_HINT 1037
#define IDC_TEST 1038
#define IDC_SERVER_FILES 1039
#define IDC_VIEW_README 1040
