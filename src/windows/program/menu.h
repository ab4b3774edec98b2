// The menu bar, built at run time, and the check marks and enabled states
// that the commands move.
#pragma once

#include <windows.h>

#include "windows/program/commands.h"

// The fixed texts of the menu bar: the eight pop-ups in order, and the items
// of the switch, recording, function and help pop-ups.
struct MenuItem {
    int id;
    const char* text;
};

inline constexpr const char* MenuBarTitles[8] = {"开关(&1)", "乐器(&2)", "调式(&3)", "录音(&4)",
                                                 "功能(&5)", "设备(&6)", "声道(&7)", "帮助(&8)"};
inline constexpr MenuItem SwitchItems[2] = {{CmdSwitchOn, "打开(&O)\tAlt+O"}, {CmdSwitchOff, "关闭(&C)\tAlt+C"}};
inline constexpr MenuItem RecordingItems[9] = {
    {CmdStartRecording, "开始录制(&R)"}, {CmdStopRecording, "停止录制(&E)"}, {CmdPlay, "开始播放(&P)"},
    {CmdLoop, "循环播放(&L)"},           {CmdStopPlaying, "停止播放(&O)"},   {CmdSave, "保存录音文件(&S)"},
    {CmdSaveAs, "录音文件另存为(&A)"},   {CmdExport, "导出为Midi格式文件(&C)"}, {CmdLoad, "载入录音文件(&L)"},
};
inline constexpr MenuItem FunctionItems[2] = {{CmdAutoBass, "自动增加低音(&C)"}, {CmdReverb, "混响(&R)"}};
inline constexpr MenuItem HelpItems[2] = {{CmdHelp, "帮助(&H)"}, {CmdAbout, "关于(&A)"}};

// Builds the whole menu bar for deviceCount MIDI output devices. Selects
// device 0 when the MIDI mapper's capabilities cannot be read.
HMENU BuildMainMenu(unsigned deviceCount);

// The menu text of a musical key's item, or nullptr for no key.
const char* KeyMenuText(int keyId);
