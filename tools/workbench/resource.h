/*
 * The workbench's resource names, control ids and texts: the tests that
 * drive the workbench read them too.
 */
#ifndef TOOLS_WORKBENCH_RESOURCE_H
#define TOOLS_WORKBENCH_RESOURCE_H

/* Window classes, the title and the program's resources. */
#define WORKBENCH_CLASS         "TarnellWorkbench"
#define FITTED_TEXT_CLASS       "TarnellWorkbenchFittedText"
#define BITMAP_VIEW_CLASS       "TarnellWorkbenchBitmapView"
#define WORKBENCH_TITLE         "Tarnell Library Workbench"
#define WORKBENCH_TILE_BITMAP   "WORKBENCH_TILE"

/* Group boxes, one per topic. */
#define IDC_SYSTEM_GROUP        1001
#define IDC_DATES_GROUP         1002
#define IDC_CHOOSERS_GROUP      1003
#define IDC_SIGNALS_GROUP       1004
#define IDC_FILES_GROUP         1005
#define IDC_DRAWING_GROUP       1006

/* This system. */
#define IDC_OS_CAPTION          1101
#define IDC_OS_TEXT             1102
#define IDC_DATE_RULES_CAPTION  1103
#define IDC_DATE_RULES_TEXT     1104
#define IDC_TIME_RULES_CAPTION  1105
#define IDC_TIME_RULES_TEXT     1106

/* Dates. */
#define IDC_TODAY_CAPTION       1201
#define IDC_TODAY_TEXT          1202
#define IDC_NOW_CAPTION         1203
#define IDC_NOW_TEXT            1204
#define IDC_DATE_CAPTION        1205
#define IDC_DATE_FIELD          1206
#define IDC_DATE_PATTERN        1207
#define IDC_NORMAL_CAPTION      1208
#define IDC_NORMAL_TEXT         1209
#define IDC_DAY_NUMBER_CAPTION  1210
#define IDC_DAY_NUMBER_TEXT     1211
#define IDC_DAYS_AHEAD_CAPTION  1212
#define IDC_DAYS_AHEAD_TEXT     1213
#define IDC_DOS_DATE_CAPTION    1214
#define IDC_DOS_DATE_TEXT       1215
#define IDC_DATE_REFUSAL        1216

/* Folder chooser and ports. */
#define IDC_CHOOSE_DIALOG       1301
#define IDC_CHOOSE_SHELL        1302
#define IDC_FOLDER_CAPTION      1303
#define IDC_FOLDER_TEXT         1304
#define IDC_PORTS_CAPTION       1305
#define IDC_PORTS_TEXT          1306

/* Sound cues and reports. */
#define IDC_CUE_ATTENTION       1401
#define IDC_CUE_IP_ACCEPT       1402
#define IDC_CUE_IP_REJECT       1403
#define IDC_CUE_FAILURE         1404
#define IDC_CUE_SUCCESS         1405
#define IDC_MUTE                1406
#define IDC_CODE_CAPTION        1407
#define IDC_CODE_MAJOR          1408
#define IDC_CODE_MINOR          1409
#define IDC_CODE_DETAIL         1410
#define IDC_REPORT_TEXT         1411
#define IDC_ERROR_REPORT        1412
#define IDC_STATUS_REPORT       1413
#define IDC_SAVE_QUESTION       1414
#define IDC_LOG_FORM_CAPTION    1415
#define IDC_LOG_FORM_TEXT       1416
/* The command that the save question sends back to the workbench when
 * the answer is Yes; no control carries it. */
#define IDC_SAVE_NOTES          1417

/* Files. */
#define IDC_FILE_CAPTION        1501
#define IDC_FILE_PATH           1502
#define IDC_BROWSE              1503
#define IDC_CHECK_FILE          1504
#define IDC_VIEW_TAIL           1505
#define IDC_CLEAR_LIST          1506
#define IDC_CHECKSUMS           1507
#define IDC_MESSAGE_LIST        1508

/* Drawing. */
#define IDC_FIT_PATH_CAPTION    1601
#define IDC_FITTED_PATH         1602
#define IDC_FIT_PLAIN_CAPTION   1603
#define IDC_FITTED_PLAIN        1604
#define IDC_CENTRED_CAPTION     1605
#define IDC_CENTRED_VIEW        1606
#define IDC_TILED_CAPTION       1607
#define IDC_TILED_VIEW          1608

/* Texts of the group boxes, captions and buttons. */
#define TEXT_SYSTEM_GROUP       "This system (osinfo, localeconv)"
#define TEXT_DATES_GROUP        "Dates (datetext, dates)"
#define TEXT_CHOOSERS_GROUP     "Folders and ports (folders, ports)"
#define TEXT_SIGNALS_GROUP      "Sound cues and reports (sounds, reports)"
#define TEXT_FILES_GROUP        "Files (checksum, msglist)"
#define TEXT_DRAWING_GROUP      "Drawing (drawing)"
#define TEXT_OS_CAPTION         "Windows:"
#define TEXT_DATE_RULES_CAPTION "Dates:"
#define TEXT_TIME_RULES_CAPTION "Times:"
#define TEXT_TODAY_CAPTION      "Today:"
#define TEXT_NOW_CAPTION        "Now:"
#define TEXT_DATE_CAPTION       "&Date:"
#define TEXT_NORMAL_CAPTION     "Normal form:"
#define TEXT_DAY_NUMBER_CAPTION "Day number:"
#define TEXT_DAYS_AHEAD_CAPTION "From today:"
#define TEXT_DOS_DATE_CAPTION   "MS-DOS date:"
#define TEXT_CHOOSE_DIALOG      "Choose folder (NT 3.51 dialog)..."
#define TEXT_CHOOSE_SHELL       "Choose folder (shell)..."
#define TEXT_FOLDER_CAPTION     "Chosen:"
#define TEXT_PORTS_CAPTION      "Ports present:"
#define TEXT_CUE_ATTENTION      "Attention"
#define TEXT_CUE_IP_ACCEPT      "IP accept"
#define TEXT_CUE_IP_REJECT      "IP reject"
#define TEXT_CUE_FAILURE        "Failure"
#define TEXT_CUE_SUCCESS        "Success"
#define TEXT_MUTE               "&Mute the cues"
#define TEXT_CODE_CAPTION       "Code:"
#define TEXT_ERROR_REPORT       "&Error report..."
#define TEXT_STATUS_REPORT      "S&tatus report..."
#define TEXT_SAVE_QUESTION      "Save &question..."
#define TEXT_LOG_FORM_CAPTION   "Log form:"
#define TEXT_FILE_CAPTION       "&File:"
#define TEXT_BROWSE             "&Browse..."
#define TEXT_CHECK_FILE         "&Check"
#define TEXT_VIEW_TAIL          "Show t&ail"
#define TEXT_CLEAR_LIST         "C&lear list"
#define TEXT_FIT_PATH_CAPTION   "As a path:"
#define TEXT_FIT_PLAIN_CAPTION  "As plain text:"
#define TEXT_CENTRED_CAPTION    "Centred:"
#define TEXT_TILED_CAPTION      "Tiled:"

/* Texts that the panels fill in. */
#define TEXT_NO_VALUE           "-"
#define TEXT_REFUSAL_FORMAT     "Refused: \"%s\" is not a date (type %s)."
#define TEXT_DAYS_AHEAD_FORMAT  "%u days ahead"
#define TEXT_NOT_AHEAD          "not within 0 to 999 days ahead"
#define TEXT_DOS_DATE_FORMAT    "0x%04X (reads back as %s)"
#define TEXT_CHECKSUMS_FORMAT   "%lu bytes, CRC-16/XMODEM 0x%04X, CRC-32/MPEG-2 0x%08lX"
#define TEXT_DUMP_TITLE_FORMAT  "First %d bytes of %s:"
#define TEXT_TAIL_TITLE_FORMAT  "Tail of %s:"
#define TEXT_OPEN_FAILED        "The file cannot be opened."
#define TEXT_READ_FAILED        "The file cannot be read."
#define TEXT_NO_PORTS           "none"
#define TEXT_NO_PORT_LIST       "the spooler gave no list"
#define TEXT_NO_FOLDER          "none yet"
#define TEXT_FOLDER_LINE        "Folder chosen: %s"
#define TEXT_CUE_LINE           "Cue played: %s%s"
#define TEXT_MUTED_SUFFIX       " (muted)"
#define TEXT_SAVE_DOCUMENT      "the workbench notes"
#define TEXT_SAVE_LINE          "The save question ran the save command."
#define TEXT_ANSWER_LINE        "The save question was answered %s."
#define TEXT_BAD_CODE           "Each code field takes one to four hexadecimal digits."
#define TEXT_DEFAULT_MAJOR      "0001"
#define TEXT_DEFAULT_MINOR      "0020"
#define TEXT_DEFAULT_DETAIL     "0300"
#define TEXT_DEFAULT_REPORT     "The disc is not ready."
#define TEXT_CHOOSER_TITLE      "Choose a folder"

#endif
