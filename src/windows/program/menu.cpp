#include "windows/program/menu.h"

#include <cstdio>

#include "portable/keys/keymap.h"
#include "portable/play/midi_output.h"
#include "portable/play/performance.h"
#include "windows/program/app.h"
#include "windows/program/instruments.h"
#include "windows/program/practice_window.h"
#include "windows/platform/system_text.h"

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

// Appends an item whose text is a text of the program.
static void AppendProgramItem(HMENU menu, UINT flags, UINT_PTR id, const char* text)
{
    WCHAR wide[128];
    ProgramTextToSystem(text, -1, wide, 128);
    AppendMenuW(menu, flags, id, wide);
}

static HMENU ItemsMenu(const MenuItem* items, int count)
{
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < count; i++) AppendProgramItem(menu, MF_STRING, items[i].id, items[i].text);
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
            AppendProgramItem(family, MF_STRING | (program == 0 ? MF_CHECKED : 0), CmdInstrumentBase + program, text);
        }
        wsprintfA(text, "&%c.\t%s", 'A' + f, InstrumentTable[f].name);
        AppendProgramItem(menu, MF_POPUP, (UINT_PTR)family, text);
    }
    return menu;
}

static HMENU KeyMenu()
{
    HMENU menu = CreatePopupMenu();
    for (const KeyItem& item : KeyItems)
        AppendProgramItem(menu, MF_STRING | (item.keyId == DefaultKeyId ? MF_CHECKED : 0), item.keyId, item.text);
    return menu;
}

static HMENU RecordingMenu()
{
    HMENU menu = CreatePopupMenu();
    for (const MenuItem& item : RecordingItems) {
        bool enabled = item.id == CmdStartRecording || item.id == CmdLoad;
        AppendProgramItem(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), item.id, item.text);
    }
    return menu;
}

// The devices' names are the system's, in UTF-8.
static void AppendDeviceItem(HMENU menu, UINT_PTR id, const char* name)
{
    WCHAR wide[DeviceNameSize];
    if (!NameToSystem(name, wide, DeviceNameSize)) wide[0] = 0;
    AppendMenuW(menu, MF_STRING, id, wide);
}

static HMENU DeviceMenu(unsigned deviceCount)
{
    HMENU menu = CreatePopupMenu();
    char name[DeviceNameSize];
    if (MapperAvailable(name, sizeof(name))) AppendDeviceItem(menu, CmdMapper, name);
    for (unsigned d = 0; d < deviceCount && d < 256; d++) {
        // An unreadable name still gets its item, so every id below the count is offered.
        if (!MidiOutDeviceName((int)d, name, sizeof(name))) wsprintfA(name, "MIDI %u", d);
        AppendDeviceItem(menu, CmdDeviceBase + d, name);
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
        AppendProgramItem(menu, MF_STRING | (c == 0 ? MF_CHECKED : 0), CmdChannelBase + c, text);
    }
    return menu;
}

HMENU BuildMainMenu(unsigned deviceCount)
{
    HMENU popups[8] = {ItemsMenu(SwitchItems, 2),        InstrumentMenu(), KeyMenu(),
                       RecordingMenu(),                   ItemsMenu(FunctionItems, 2),
                       DeviceMenu(deviceCount),           ChannelMenu(),    ItemsMenu(HelpItems, 2)};
    AppendPracticeItems(popups[4]);
    CheckMenuItem(popups[0], CmdSwitchOff, MF_BYCOMMAND | MF_CHECKED);
    HMENU bar = CreateMenu();
    for (int i = 0; i < 8; i++) AppendProgramItem(bar, MF_POPUP, (UINT_PTR)popups[i], MenuBarTitles[i]);
    return bar;
}
