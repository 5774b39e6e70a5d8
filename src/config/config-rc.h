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

// The Enhanced Features dialog, opened by IDC_ENHANCED_FEATURES.
#define IDD_ENHANCED 102

#define IDC_EF_UNICODE 1101
#define IDC_EF_QUIET 1102
#define IDC_EF_STREAMS 1103
#define IDC_EF_INSTANT 1104
#define IDC_EF_TITLE_FILE 1105
#define IDC_EF_BROWSE 1106
#define IDC_EF_STOP_NOTHING 1107
#define IDC_EF_STOP_EMPTY 1108
#define IDC_EF_STOP_TEXT 1109
#define IDC_EF_STOPPED_TEXT 1110
#define IDC_EF_OPEN_SETTINGS 1111
#define IDC_EF_OPEN_LOG 1112
#define IDC_EF_VISIT 1113
#define IDC_EF_COPY_OVERLAY 1114
