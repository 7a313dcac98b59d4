// Resource ids of the control panel program: window class names and title in the string table,
// and its icons.
#pragma once

#define IDS_MAIN_WINDOW_CLASS 200
#define IDS_CONF_VIEW_WINDOW_CLASS 201
#define IDS_I2C_CONTROL_WINDOW_CLASS 202
#define IDS_APPLICATION_TITLE 203

#define IDI_PROGRAM 101
#define IDI_LOGO 102
#define IDI_CONFIG_FILE 103
#define IDI_LOG_FILE 104
#define IDI_TRANSFER_NONE 106
#define IDI_TRANSFER_SENT 107
#define IDI_TRANSFER_RECEIVED 108
#define IDI_TRANSFER_BOTH 109
#define IDI_NOTICE_OFF 110
#define IDI_NOTICE_ON 111
