/* Every number the program's windows, menus, commands, timers and messages
   are known by, in one place: the core, the Win32 front end and the
   resource script all include this file. Plain #defines, because the
   resource compiler reads it too. Control ids are per dialog, so the same
   number can mean different controls in different dialogs. */
#ifndef TORVANE_PLATFORM_IDS_H
#define TORVANE_PLATFORM_IDS_H

/* ---- dialog templates ------------------------------------------------- */
#define IDD_MAIN 101
#define IDD_ABOUT 102
#define IDD_PREFERENCES 103
#define IDD_STATUS 127
#define IDD_FILE_DETAILS 162
#define IDD_SOFTWARE_INFO 163
#define IDD_VERSION_CHECK 164

/* ---- menus ---------------------------------------------------------- */
#define IDM_MAIN 100
#define IDM_HIT_POPUP 154
#define IDM_CATALOGUE_POPUP 155
#define IDM_ENGINE_POPUP 156

/* ---- images --------------------------------------------------------- */
#define IDB_BANNER 131
#define IDI_PROGRAM 142
#define IDI_ENGINE 1409
#define IDI_ENGINE_2 1410
#define IDI_ENGINE_4 1418
#define IDI_ENGINE_1 1419
#define IDI_ENGINE_3 1421
#define IDI_STATE_SELECTED 1422
#define IDI_STATE_CLEAR 1423
#define IDI_STATE_UNAVAILABLE 1425
#define IDI_ENGINE_UNAVAILABLE 1426

/* ---- main window (template 101) controls ------------------------------ */
#define IDC_QUERY_LABEL 1206
#define IDC_QUERY 1014
#define IDC_MAX_FILES 1058
#define IDC_EXACT_MATCH 1057
#define IDC_LEFT_TAB 1269
#define IDC_ENGINE_LIST 1273
#define IDC_FIND 1008
#define IDC_CANCEL 130
#define IDC_VIEW 1071
#define IDC_SELECT_ALL 1087
#define IDC_CLEAR 1164
#define IDC_DEFAULT 1165
#define IDC_ENGINE_COUNT 1321
#define IDC_RIGHT_TAB 1280
#define IDC_RESULTS_LIST 1272
#define IDC_VERSION_LABEL 1312
#define IDC_SIZE_LABEL 1313
#define IDC_SOFT_VERSION 1089
#define IDC_SOFT_SIZE 1314
#define IDC_GET_IT 1174
#define IDC_HOME 1171
#define IDC_INFO 1172
#define IDC_SOFT_DELETE 1009

/* ---- main menu and popup commands ------------------------------------- */
#define IDM_OPEN 173
#define IDM_SAVE 174
#define IDM_SAVE_AS 175
#define IDM_DELETE 176
#define IDM_VERSION_CHECK 180
#define IDM_QUIT 1003
#define IDM_STATUS 120
#define IDM_REPORT 1071
#define IDM_PREFERENCES 108
#define IDM_ABOUT 1002
#define IDM_FAQ 165
#define IDM_HOME_PAGE 166
#define IDM_HIT_DOWNLOAD 182
#define IDM_HIT_VIEW 186
#define IDM_HIT_COPY 184
#define IDM_HIT_DELETE 183
#define IDM_SOFT_DOWNLOAD 190
#define IDM_SOFT_VIEW 189
#define IDM_SOFT_COPY 191
#define IDM_SOFT_HOME 187
#define IDM_ENGINE_OPEN 192
#define IDM_ENGINE_COPY 193
#define IDM_ENGINE_SELECT 196
#define IDM_ENGINE_CLEAR 197
#define IDM_ENGINE_SELECT_ALL 194
#define IDM_ENGINE_CLEAR_ALL 195

/* ---- status dialog (template 127) ------------------------------------ */
#define IDC_STATUS_LINE_FIRST 1065 /* slot i's line is 1065 + i */
#define IDC_FILES_FOUND 1157
#define IDC_DIALOG_OK 1158

/* ---- preferences dialog (template 103) -------------------------------- */
#define IDC_PREF_BROWSER 1005
#define IDC_PREF_CONNECTIONS 1037
#define IDC_PREF_PROXY 1058
#define IDC_PREF_PORT 1090
#define IDC_PREF_TIMEOUT 1155
#define IDC_PREF_EXISTING_WINDOW 1364
#define IDC_PREF_NEW_WINDOW 1365
#define IDC_PREF_CANCEL 1016
#define IDC_PREF_HELP 1030

/* ---- file details pane (template 162) --------------------------------- */
#define IDC_DETAIL_NAME 1056
#define IDC_DETAIL_DATE 1057
#define IDC_DETAIL_SIZE 1058
#define IDC_DETAIL_URL 1014
#define IDC_DETAIL_OPEN 1315
#define IDC_DETAIL_DELETE 1009

/* ---- online version check (template 164) ------------------------------ */
#define IDC_YOUR_VERSION 1089
#define IDC_YOUR_BUILD 1519
#define IDC_LATEST_VERSION 1090
#define IDC_LATEST_BUILD 1521
#define IDC_YOUR_DATABASE 1092
#define IDC_LATEST_DATABASE 1093
#define IDC_HISTORY 1317
#define IDC_UPGRADE_PROGRAM 1154
#define IDC_UPGRADE_DATABASE 1316
#define IDC_VERSION_OK 1158
#define IDC_VERSION_CANCEL 1159

/* ---- commands posted by the program itself ---------------------------- */
#define IDM_RUN_ENDED 1094 /* a run ended: the open dialog refreshes */

/* ---- timers ------------------------------------------------------------ */
#define IDT_TIMEOUT 181
#define IDT_POLL 1330

/* ---- window messages the program uses as its own ----------------------- */
#define WM_TV_CONNECTION_EVENT 1091 /* FD_CONNECT of a slot's socket */
#define WM_TV_DATA_EVENT 1092       /* FD_READ of a slot's socket */
#define WM_TV_START_NEXT 1095       /* an idle slot takes its next job */
#define WM_TV_LOOKUP_DONE_BASE 1332 /* + slot 0..19: host look-up done */
#define WM_TV_RUN_OVER 1096         /* the last job of a run has ended */
#define WM_TV_CATALOGUE_OVER 1097   /* a catalogue download run has stopped */

/* ---- resource templates: controls the ids above leave out ------------- */
#ifndef IDC_STATIC
#define IDC_STATIC (-1) /* labels, frames and pictures nobody addresses */
#endif

/* about box (template 102) */
#define IDC_ABOUT_OK 1 /* IDOK, as in a message box */
#define IDC_ABOUT_HOME 1041

/* software info pane (template 163) */
#define IDC_INFO_TITLE 1056
#define IDC_INFO_DOWNLOAD 1305
#define IDC_INFO_SIZE 1058
#define IDC_INFO_HOME 1306
#define IDC_INFO_REVIEW 1016
#define IDC_INFO_OPEN_DOWNLOAD 1174
#define IDC_INFO_OPEN_HOME 1171
#define IDC_INFO_OPEN_REVIEW 1172

/* either pane closes on this command, sent by the main window */
#define IDM_PANE_CLOSE 1159

#endif
