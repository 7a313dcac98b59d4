// Identifiers of the main window's child controls, timers and status bar parts, and the few
// control constants the window code shares. Other parts of the program find the controls by
// these ids.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int IdStatusBar = 1100;
constexpr int IdInterfaceGroup = 1101;
constexpr int IdConnectDeviceButton = 1102;
constexpr int IdDisplayData = 1103;
constexpr int IdAfeDetection = 1104;
constexpr int IdViewConf = 1105;
constexpr int IdConfigLogGroup = 1106;
constexpr int IdConfigPathEdit = 1107;
constexpr int IdLogPathEdit = 1108;
constexpr int IdLogDataButton = 1109;
constexpr int IdLogEntryCount = 1110;
constexpr int IdLogFileName = 1111;
constexpr int IdDeviceControlsGroup = 1112;
constexpr int IdGetStatus = 1113;
constexpr int IdGpioLevel1 = 1114;
constexpr int IdGpioLevel2 = 1115;
constexpr int IdGpioLevel3 = 1116;
constexpr int IdGpioDirection1 = 1117;
constexpr int IdGpioDirection2 = 1118;
constexpr int IdGpioDirection3 = 1119;
constexpr int IdExtTrigger = 1120;
constexpr int IdBattery = 1121;
constexpr int IdI2c = 1122;
constexpr int IdGainALabel = 1123;
constexpr int IdGainA = 1124;
constexpr int IdGainBLabel = 1125;
constexpr int IdGainB = 1126;
constexpr int IdDividerLabel = 1127;
constexpr int IdExcitationLabel = 1128;
constexpr int IdImpedanceGroup = 1129;
constexpr int IdStatusDataGroup = 1130;
constexpr int IdChannelHeader = 1131;
constexpr int IdModuleScaleLabel = 1132;
constexpr int IdModuleScale = 1133;
constexpr int IdModuleFixedScale = 1134;
constexpr int IdModuleXLog = 1135;
constexpr int IdModuleYLog = 1136;
constexpr int IdPhaseScaleLabel = 1137;
constexpr int IdPhaseScale = 1138;
constexpr int IdPhaseFixedScale = 1139;
constexpr int IdPhaseXLog = 1140;
constexpr int IdLoadShunt = 1149;
constexpr int IdLoadComp = 1150;
constexpr int IdLoadDac = 1151;
constexpr int IdLoadPhase = 1152;
constexpr int IdEnableComp = 1153;
constexpr int IdMeasureComp = 1154;
constexpr int Id10x = 1155;
constexpr int IdRadioP = 1156;
constexpr int IdRadioD = 1157;
constexpr int IdLogoFrame = 1160;
constexpr int IdConfigFileButton = 1161;
constexpr int IdLogFileButton = 1162;
constexpr int IdEtchedLine = 1163;
constexpr int IdStart = 1164;
constexpr int IdDividerTrackbar = 1165;
constexpr int IdExcitationTrackbar = 1166;
constexpr int IdStatusText = 1167;
constexpr int IdColumnHeader = 1168;
constexpr int IdFrequencyList = 1169;

// Controls whose ids lie in this range get the Tahoma font.
constexpr int FirstTahomaId = 1100;
constexpr int LastTahomaId = 1157;

constexpr UINT_PTR TimerStatusReset = 500;
constexpr UINT_PTR TimerDeviceInfo = 501;
constexpr UINT_PTR TimerDeviceWatch = 502;
constexpr UINT_PTR TimerSentReset = 503;
constexpr UINT_PTR TimerReceivedReset = 504;
// While a log runs: rows waiting in the log buffer are written once they have waited a second.
constexpr UINT_PTR TimerLogFlush = 505;
constexpr UINT LogFlushCheckMs = 100;

// Status bar parts.
constexpr int StatusPartConnection = 0;
constexpr int StatusPartActivity = 1;
constexpr int StatusPartRate = 2;
constexpr int StatusPartNotice = 3;
constexpr int StatusPartPeriod = 4;
constexpr int StatusPartError = 5;
constexpr int StatusPartCount = 6;

// Excitation trackbar in mode "P": the level shown and sent is this maximum minus the position.
constexpr int ExcitationRangeP = 255;
// In mode "D" the trackbar runs 0..4095 and the level goes out with the D-mode excitation
// command, which the library does not know (it answers with its unknown-command text).
constexpr int ExcitationRangeD = 4095;
constexpr uint32_t CommandExcitationD = 21;

// A style bit every edit field of the program's layouts carries; it names no edit style.
constexpr DWORD LayoutEditBit = 0x0200;
