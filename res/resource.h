// Resource ids of smsutil.dll. Shared by the resource script and the code.
#pragma once

// Bitmaps: the plugin button and the friend function button's two images.
#define IDB_SMS_LEVEL2                  2019
#define IDB_SMS_LEVEL3                  3020

// Order dialog (template 3021).
#define IDD_ORDER                       3021
#define IDC_ORDER_BROWSER               3059
#define IDC_ORDER_RETRY                 3064
#define IDC_ORDER_STATUS                3065

// View message dialog (template 13008).
#define IDD_VIEW_MESSAGE                13008
#define IDC_VIEW_HISTORY                567
#define IDC_VIEW_REPLY                  3017
#define IDC_VIEW_BACK_NEXT              3018
#define IDC_VIEW_SENDER_CAPTION         3030
#define IDC_VIEW_SENDER                 3031
#define IDC_VIEW_BODY                   3040
#define IDC_VIEW_PANEL                  3071

// Message history popup (template 13010).
#define IDD_HISTORY_POPUP               13010
#define IDC_HISTORY_LIST                3039

// Send message dialog (template 13013).
#define IDD_SEND_MESSAGE                13013
#define IDC_SEND_YEAR                   3033
#define IDC_SEND_MONTH                  3034
#define IDC_SEND_DAY                    3035
#define IDC_SEND_HOUR                   3036
#define IDC_SEND_MINUTE                 3037
#define IDC_SEND_RECIPIENT_CAPTION      3045
#define IDC_SEND_RECIPIENT              3046
#define IDC_SEND_HISTORY                3048
#define IDC_SEND_SEND                   3049
#define IDC_SEND_SIGN_CHECK             3050
#define IDC_SEND_SCHEDULE_CHECK         3051
#define IDC_SEND_SIGNATURE              3052
#define IDC_SEND_MESSAGE                3063
#define IDC_SEND_FRAME                  3066

// Strings.
#define IDS_SCHEDULED_LABEL             14000
#define IDS_SYSTEM_SENDER               14001
#define IDS_SEND_CAPTION                14002
#define IDS_EMPTY_MESSAGE               14003
#define IDS_NEXT                        14004
#define IDS_BACK                        14005
#define IDS_DATE_LABEL                  14006
#define IDS_TIME_LABEL                  14007
#define IDS_UNDELIVERED_NOTICE          14008
#define IDS_SEND_OFFLINE                14009
#define IDS_SEND_TIMEOUT                14011
#define IDS_PLUGIN_NAME                 14012
#define IDS_COUNTER_SINGLE_BYTE         14013
#define IDS_COUNTER_CHINESE             14014
#define IDS_COUNTER_HINT                14015
#define IDS_PLUGIN_CAPTION              14016
#define IDS_COUNTER_FREE_LINE           14017
#define IDS_SENDING                     14018
#define IDS_SEND_DIALOG_CAPTION         14019
#define IDS_NO_NEXT_MESSAGE             14021
#define IDS_VIEW_CAPTION                14022
#define IDS_ORDER_OFFLINE               14023
#define IDS_ORDER_STARTING              14024
#define IDS_ORDER_TIMEOUT               14025
#define IDS_ORDER_FAILED                14026
#define IDS_NO_SERVICE                  14027
#define IDS_NOT_A_FRIEND                14028
#define IDS_CONTACT_NO_SERVICE          14029
// 14030 to 14036: what the service window tells the user about the message
// file: changes it cannot take now (14030, with one of the reasons 14031 to
// 14033 in its "(?)"), and a damaged file found at log-in (14034 to 14036).
#define IDS_STORE_HELD                  14030
#define IDS_STORE_NO_SPACE              14031
#define IDS_STORE_BUSY                  14032
#define IDS_STORE_FAILED                14033
#define IDS_STORE_REPAIRED              14034
#define IDS_STORE_MOVED                 14035
#define IDS_STORE_UNCHECKED             14036
// Added where a message's text is shown cut (the view dialog, the history).
#define IDS_TEXT_CUT                    14037

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif
