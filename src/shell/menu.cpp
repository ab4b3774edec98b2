#include "shell/menu.h"

#include <cstdio>

#include "engine/keymap.h"
#include "engine/midi_output.h"
#include "engine/performance.h"
#include "shell/app.h"
#include "shell/instruments.h"

// The key items in menu order, with their accelerators.
struct KeyItem {
    int keyId;
    const char* text;
};

static constexpr KeyItem KeyItems[KeyCount] = {
    {1297, " C大调\t  Alt+C"}, {1298, " D大调\t  Alt+D"}, {1299, " E大调\t  Alt+E"},
    {1300, " F大调\t  Alt+F"}, {1301, " G大调\t  Alt+G"}, {1302, " A大调\t  Alt+A"},
    {1303, " B大调\t  Alt+B"}, {1304, "#F大调\t  Alt+H"}, {1305, "#C大调\t  Alt+I"},
    {1312, "bB大调\t  Alt+J"}, {1313, "bE大调\t  Alt+K"}, {1314, "bA大调\t  Alt+L"},
    {1315, " c小调\t  Alt+M"}, {1316, " d小调\t  Alt+N"}, {1317, " e小调\t  Alt+P"},
    {1318, " f小调\t  Alt+Q"}, {1319, " g小调\t  Alt+R"}, {1320, " a小调\t  Alt+T"},
    {1321, " b小调\t  Alt+U"}, {1328, "#f小调\t  Alt+V"}, {1329, "#c小调\t  Alt+W"},
    {1330, "#g小调\t  Alt+X"}, {1331, "#d小调\t  Alt+Y"}, {1332, "#a小调\t  Alt+Z"},
};

const char* KeyMenuText(int keyId)
{
    for (const KeyItem& item : KeyItems)
        if (item.keyId == keyId) return item.text;
    return nullptr;
}

struct MenuItem {
    int id;
    const char* text;
};

static constexpr MenuItem RecordingItems[] = {
    {CmdStartRecording, "开始录制(&R)"}, {CmdStopRecording, "停止录制(&E)"}, {CmdPlay, "开始播放(&P)"},
    {CmdLoop, "循环播放(&L)"},           {CmdStopPlaying, "停止播放(&O)"},   {CmdSave, "保存录音文件(&S)"},
    {CmdSaveAs, "录音文件另存为(&A)"},   {CmdExport, "导出为Midi格式文件(&C)"}, {CmdLoad, "载入录音文件(&L)"},
};

static HMENU SwitchMenu()
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, CmdSwitchOn, "打开(&O)\tAlt+O");
    AppendMenuA(menu, MF_STRING | MF_CHECKED, CmdSwitchOff, "关闭(&C)\tAlt+C");
    return menu;
}

static HMENU InstrumentMenu()
{
    HMENU menu = CreatePopupMenu();
    char text[100];
    for (int f = 0; f < 16; f++) {
        HMENU family = CreatePopupMenu();
        for (int i = 0; i < 8; i++) {
            int program = 8 * f + i;
            wsprintfA(text, "&%d.\t%s", i + 1, InstrumentTable[f].instruments[i]);
            AppendMenuA(family, MF_STRING | (program == 0 ? MF_CHECKED : 0), CmdInstrumentBase + program, text);
        }
        wsprintfA(text, "&%c.\t%s", 'A' + f, InstrumentTable[f].name);
        AppendMenuA(menu, MF_POPUP, (UINT_PTR)family, text);
    }
    return menu;
}

static HMENU KeyMenu()
{
    HMENU menu = CreatePopupMenu();
    for (const KeyItem& item : KeyItems)
        AppendMenuA(menu, MF_STRING | (item.keyId == DefaultKeyId ? MF_CHECKED : 0), item.keyId, item.text);
    return menu;
}

static HMENU RecordingMenu()
{
    HMENU menu = CreatePopupMenu();
    for (const MenuItem& item : RecordingItems) {
        bool enabled = item.id == CmdStartRecording || item.id == CmdLoad;
        AppendMenuA(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), item.id, item.text);
    }
    return menu;
}

static HMENU FunctionMenu()
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, CmdAutoBass, "自动增加低音(&C)");
    return menu;
}

static HMENU DeviceMenu(unsigned deviceCount)
{
    HMENU menu = CreatePopupMenu();
    char name[64];
    if (MapperAvailable(name, sizeof(name))) AppendMenuA(menu, MF_STRING, CmdMapper, name);
    for (unsigned d = 0; d < deviceCount && d < 256; d++) {
        // An unreadable name still gets its item, so every id below the count is offered.
        if (!MidiOutDeviceName((int)d, name, sizeof(name))) wsprintfA(name, "MIDI %u", d);
        AppendMenuA(menu, MF_STRING, CmdDeviceBase + d, name);
    }
    CheckMenuItem(menu, 0, MF_BYPOSITION | MF_CHECKED);
    return menu;
}

static HMENU ChannelMenu()
{
    HMENU menu = CreatePopupMenu();
    char text[8];
    for (int c = 0; c < 15; c++) {
        wsprintfA(text, "%d", c + 1);
        AppendMenuA(menu, MF_STRING | (c == 0 ? MF_CHECKED : 0), CmdChannelBase + c, text);
    }
    return menu;
}

static HMENU HelpMenu()
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, CmdHelp, "帮助(&H)");
    AppendMenuA(menu, MF_STRING, CmdAbout, "关于(&A)");
    return menu;
}

HMENU BuildMainMenu(unsigned deviceCount)
{
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)SwitchMenu(), "开关(&1)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)InstrumentMenu(), "乐器(&2)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)KeyMenu(), "调式(&3)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)RecordingMenu(), "录音(&4)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)FunctionMenu(), "功能(&5)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)DeviceMenu(deviceCount), "设备(&6)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)ChannelMenu(), "声道(&7)");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)HelpMenu(), "帮助(&8)");
    return bar;
}
