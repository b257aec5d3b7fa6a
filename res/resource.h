// Resource ids: dialog templates, controls, bitmaps, icon, strings.
#pragma once

#define IDD_UPDATE_DIALOG       102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDD_DIALOG_INFO         148
#define IDD_DIALOG_PATH         158
#define IDR_MAINFRAME           196

// Main window controls
#define IDC_BTN_INSTALL         1001
#define IDC_PROGRESS            1002
#define IDC_BTN_FINISH          1003
#define IDC_PICTURE             1014
#define IDC_CHECK_AGREE         1015
#define IDC_STATIC_AGREEMENT    1016
#define IDC_BTN_AGREEMENT       1017
#define IDC_BTN_MINIMIZE        1018
#define IDC_BTN_CLOSE           1019
#define IDC_BTN_PATH            1020
#define IDC_EDIT_PATH           1021

// Skin pictures (PNG resources)
#define IDB_CLOSE_NORMAL        165
#define IDB_CLOSE_HOVER         166
#define IDB_CLOSE_PRESSED       167
#define IDB_INSTALL_NORMAL      168
#define IDB_INSTALL_HOVER       169
#define IDB_INSTALL_PRESSED     170
#define IDB_PATH_NORMAL         171
#define IDB_PATH_HOVER          172
#define IDB_PATH_PRESSED        173
#define IDB_BROWSE_NORMAL       174
#define IDB_BROWSE_HOVER        175
#define IDB_BROWSE_PRESSED      176
#define IDB_QUIT_NORMAL         177
#define IDB_QUIT_HOVER          178
#define IDB_QUIT_PRESSED        179
#define IDB_CONTINUE_NORMAL     180
#define IDB_CONTINUE_HOVER      181
#define IDB_CONTINUE_PRESSED    182
#define IDB_NOTICE              183
#define IDB_AGREEMENT_NORMAL    184
#define IDB_AGREEMENT_HOVER     185
#define IDB_AGREEMENT_PRESSED   186
#define IDB_MINIMIZE_NORMAL     187
#define IDB_MINIMIZE_HOVER      188
#define IDB_MINIMIZE_PRESSED    189
#define IDB_BG_IDLE             190
#define IDB_BG_FINISHED         191
#define IDB_BG_INSTALLING       192
#define IDB_FINISH_NORMAL       193
#define IDB_FINISH_HOVER        194
#define IDB_FINISH_PRESSED      195
#define IDB_EXIT_NORMAL         197
#define IDB_EXIT_HOVER          198
#define IDB_EXIT_PRESSED        199
#define IDB_AGREEMENT_MISSING   143
