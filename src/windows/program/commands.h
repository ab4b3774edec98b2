// Command identifiers: one number space for menu items, accelerators,
// toolbar buttons and push buttons. Portable.
#pragma once

constexpr int CmdSwitchOn = 256;
constexpr int CmdSwitchOff = 257;
constexpr int CmdMapper = 511;          // device commands: 512 + device, the mapper 511
constexpr int CmdDeviceBase = 512;
constexpr int CmdDeviceLast = 767;
constexpr int CmdChannelBase = 768;     // 768 + channel index
constexpr int CmdChannelLast = 1023;
constexpr int CmdInstrumentBase = 1024; // 1024 + program
constexpr int CmdHelp = 1280;
constexpr int CmdAbout = 1281;
constexpr int CmdExport = 1282;
constexpr int CmdStartRecording = 1283;
constexpr int CmdStopRecording = 1284;
constexpr int CmdPlay = 1285;
constexpr int CmdLoop = 1286;
constexpr int CmdStopPlaying = 1287;
constexpr int CmdSave = 1288;
constexpr int CmdSaveAs = 1289;
constexpr int CmdLoad = 1296;
constexpr int CmdFirstKey = 1297;
constexpr int CmdLastKey = 1332;
constexpr int CmdAutoBass = 1333;
constexpr int CmdReverb = 1334;
// Practice: on and off (F5), the way (waiting, or at a speed), the passage.
constexpr int CmdPractice = 1350;
constexpr int CmdPracticeWait = 1351;
constexpr int CmdPracticeSpeedFirst = 1352; // 50, 75, 100, 125 % of the song's speed
constexpr int CmdPracticeSpeedLast = 1355;
constexpr int CmdLoopStart = 1356;
constexpr int CmdLoopEnd = 1357;

// The push buttons carry the ids of their commands, in this order.
constexpr int PushButtonIds[5] = {CmdStartRecording, CmdStopRecording, CmdPlay, CmdLoop, CmdStopPlaying};
inline constexpr const char* PushButtonTexts[5] = {"开始录制", "停止录制", "开始播放", "循环播放", "停止播放"};
