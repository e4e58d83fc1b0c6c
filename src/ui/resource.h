/* Identifiers shared by updater.rc and the C++ code (plain #defines so that
   the resource compiler can read them too). */
#ifndef UI_RESOURCE_H
#define UI_RESOURCE_H

#define IDD_PROGRESS 102
#define IDC_CANCEL_BUTTON 1000
#define IDC_STATUS_TEXT 1001
#define IDC_FILE_PROGRESS 1002
#define IDC_TOTAL_PROGRESS 1003

#endif
