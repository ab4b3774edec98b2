// The menu bar as built, the start-up's request to keep the timer
// resolution, and the main window's commands: marks that move, enabled
// states at start-up, the switch and the device commands.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "portable/live/live_device.h"
#include "portable/play/performance.h"
#include "windows/program/document_state.h"
#include "portable/song/recording.h"
#include "windows/program/app.h"
#include "windows/program/main_window.h"
#include "windows/program/menu.h"

static std::string ItemText(HMENU menu, UINT position)
{
    char text[256] = "";
    GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
    return text;
}

static std::string Hex(const std::string& s)
{
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        snprintf(b, sizeof(b), "%02X", c);
        out += b;
    }
    return out;
}

static bool Checked(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
static bool Grayed(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

TEST(MainMenu, PopupsTextsIdsAndMarks)
{
    _wputenv(L"QF_MIDI_DEVICES=Alpha|Beta ♫ Ĳ"); // a name beyond every ANSI code page
    _putenv("QF_MIDI_MAPPER=");
    ResetPerformanceSettings();
    HMENU bar = BuildMainMenu(2);
    ASSERT_EQ(8, GetMenuItemCount(bar));
    // The bytes of the first pop-up's text in code page 936: 开关(&1).
    EXPECT_EQ("BFAAB9D8282631" "29", Hex(ItemText(bar, 0)));
    const char* popups[8] = {"开关(&1)", "乐器(&2)", "调式(&3)", "录音(&4)", "功能(&5)", "设备(&6)", "声道(&7)", "帮助(&8)"};
    for (int i = 0; i < 8; i++) EXPECT_EQ(popups[i], ItemText(bar, i)) << i;

    HMENU instruments = GetSubMenu(bar, 1);
    ASSERT_EQ(16, GetMenuItemCount(instruments));
    EXPECT_EQ("&A.\t钢琴", ItemText(instruments, 0));
    EXPECT_EQ("&P.\t音效", ItemText(instruments, 15));
    HMENU pipes = GetSubMenu(instruments, 9);
    EXPECT_EQ("&6.\t尺八（日本）", ItemText(pipes, 5));
    EXPECT_EQ(1024u + 77, GetMenuItemID(pipes, 5));
    for (int f = 0; f < 16; f++) {
        HMENU family = GetSubMenu(instruments, f);
        ASSERT_EQ(8, GetMenuItemCount(family)) << f;
        for (int i = 0; i < 8; i++) EXPECT_EQ(1024u + 8 * f + i, GetMenuItemID(family, i));
    }
    EXPECT_TRUE(Checked(bar, 1024));

    HMENU keys = GetSubMenu(bar, 2);
    ASSERT_EQ(24, GetMenuItemCount(keys));
    const UINT keyIds[24] = {1297, 1298, 1299, 1300, 1301, 1302, 1303, 1304, 1305, 1312, 1313, 1314,
                             1315, 1316, 1317, 1318, 1319, 1320, 1321, 1328, 1329, 1330, 1331, 1332};
    for (int i = 0; i < 24; i++) {
        EXPECT_EQ(keyIds[i], GetMenuItemID(keys, i));
        EXPECT_EQ(14u, ItemText(keys, i).size()) << i;
    }
    EXPECT_EQ("#F大调\t  Alt+H", ItemText(keys, 7));
    EXPECT_EQ(" a小调\t  Alt+T", ItemText(keys, 17));
    EXPECT_TRUE(Checked(bar, 1297));

    HMENU recording = GetSubMenu(bar, 3);
    const UINT recordingIds[9] = {1283, 1284, 1285, 1286, 1287, 1288, 1289, 1282, 1296};
    ASSERT_EQ(9, GetMenuItemCount(recording));
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(recordingIds[i], GetMenuItemID(recording, i));
        bool enabled = recordingIds[i] == 1283 || recordingIds[i] == 1296;
        EXPECT_EQ(!enabled, Grayed(bar, recordingIds[i])) << recordingIds[i];
    }
    EXPECT_EQ("导出为Midi格式文件(&C)", ItemText(recording, 7));

    HMENU devices = GetSubMenu(bar, 5);
    ASSERT_EQ(3, GetMenuItemCount(devices));
    EXPECT_EQ(511u, GetMenuItemID(devices, 0));
    EXPECT_EQ("QF Capture Mapper", ItemText(devices, 0));
    WCHAR wide[64] = L"";
    GetMenuStringW(devices, 2, wide, 64, MF_BYPOSITION);
    const WCHAR* beyond = L"Beta ♫ Ĳ"; // (the check's own text is GBK)
    EXPECT_STREQ(beyond, wide);
    EXPECT_TRUE(Checked(bar, 511));
    EXPECT_EQ(-1, gSettings.device);

    HMENU channels = GetSubMenu(bar, 6);
    ASSERT_EQ(15, GetMenuItemCount(channels));
    EXPECT_EQ("15", ItemText(channels, 14));
    EXPECT_EQ(782u, GetMenuItemID(channels, 14));
    EXPECT_TRUE(Checked(bar, 768));

    EXPECT_TRUE(Checked(bar, 257));
    EXPECT_FALSE(Checked(bar, 256));
    EXPECT_FALSE(Checked(bar, 1333));
    EXPECT_EQ("关闭(&C)\tAlt+C", ItemText(GetSubMenu(bar, 0), 1));
    DestroyMenu(bar);

    // Without a mapper the list starts with device 0, checked, and it is selected.
    _putenv("QF_MIDI_MAPPER=0");
    bar = BuildMainMenu(2);
    devices = GetSubMenu(bar, 5);
    ASSERT_EQ(2, GetMenuItemCount(devices));
    EXPECT_EQ(512u, GetMenuItemID(devices, 0));
    EXPECT_TRUE(Checked(bar, 512));
    EXPECT_EQ(0, gSettings.device);
    DestroyMenu(bar);
    _putenv("QF_MIDI_MAPPER=");

    _putenv("QF_MIDI_DEVICES=");
}

// A real main window of class QF, created as the program creates it.
class MainWindow : public ::testing::Test {
protected:
    HWND window = nullptr;
    std::string log;

    void SetUp() override
    {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        log = std::string(dir) + "qf-shell-test.log";
        DeleteFileA(log.c_str());
        _putenv(("QF_MIDI_LOG=" + log).c_str());
        _putenv("QF_MIDI_DEVICES=One|Two");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QF"); // no device remembered
        ResetPerformanceSettings();
        gRecording = Recording();
        gDocument = DocumentState();
        gInstance = GetModuleHandleA(nullptr);
        gCommandLine = "";
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = MainWindowProc;
            wc.hInstance = gInstance;
            wc.lpszClassName = "QF";
            ASSERT_NE(0, RegisterClassA(&wc));
            registered = true;
        }
        window = CreateWindowExA(0, "QF", "琴坊", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr, gInstance,
                                 nullptr);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        if (IsWindow(window)) DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        _putenv("QF_MIDI_DEVICES=");
        _putenv("QF_MIDI_LOG=");
    }

    std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        FILE* f = fopen(log.c_str(), "r");
        if (!f) return lines;
        char line[128];
        while (fgets(line, sizeof(line), f)) {
            std::string s(line);
            s = s.substr(s.find(' ') + 1);
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
            lines.push_back(s);
        }
        fclose(f);
        return lines;
    }

    void Command(int id) { SendMessageA(window, WM_COMMAND, id, 0); }
    HMENU Menu() { return GetMenu(window); }
    bool ButtonEnabled(int id) { return IsWindowEnabled(GetDlgItem(window, id)) != 0; }
};

// What the start-up asks of SetProcessInformation: class 4
// (ProcessPowerThrottling) with the 12 bytes {Version 1, ControlMask 4
// (ignore timer resolution throttling under control), StateMask 0 (not
// throttled)}, for the process itself.
namespace {
struct InformationCall {
    int calls = 0;
    HANDLE process = nullptr;
    int informationClass = -1;
    DWORD size = 0;
    ULONG words[3] = {99, 99, 99};
} gInformation;

BOOL WINAPI FakeSetProcessInformation(HANDLE process, PROCESS_INFORMATION_CLASS informationClass, LPVOID information,
                                      DWORD size)
{
    gInformation.calls++;
    gInformation.process = process;
    gInformation.informationClass = (int)informationClass;
    gInformation.size = size;
    if (size == 12) memcpy(gInformation.words, information, 12);
    return FALSE; // as a system that refuses
}
} // namespace

TEST(StartUp, AsksToKeepTheTimerResolutionWhenHidden)
{
    KeepTimerResolution(FakeSetProcessInformation);
    EXPECT_EQ(1, gInformation.calls);
    EXPECT_EQ(GetCurrentProcess(), gInformation.process);
    EXPECT_EQ(4, gInformation.informationClass);
    EXPECT_EQ(12u, gInformation.size);
    EXPECT_EQ(1u, gInformation.words[0]);
    EXPECT_EQ(4u, gInformation.words[1]);
    EXPECT_EQ(0u, gInformation.words[2]);
    KeepTimerResolution(nullptr); // a system without it: nothing happens
    EXPECT_EQ(1, gInformation.calls);
}

TEST_F(MainWindow, StartUpStateCaptionAndOpen)
{
    char caption[64];
    GetWindowTextA(window, caption, sizeof(caption));
    EXPECT_STREQ("琴坊 - [未命名]", caption);
    EXPECT_TRUE(gSettings.switchOn);
    EXPECT_TRUE(Checked(Menu(), 256));
    EXPECT_FALSE(Checked(Menu(), 257));
    EXPECT_EQ((std::vector<std::string>{"open -1 ok", "msg -1 000000c0"}), Lines());
    const int buttons[5] = {1283, 1284, 1285, 1286, 1287};
    for (int id : buttons) EXPECT_EQ(id == 1283, ButtonEnabled(id)) << id;
    char text[32];
    GetWindowTextA(GetDlgItem(window, 1285), text, sizeof(text));
    EXPECT_STREQ("开始播放", text);
    // The bars: velocity at the top (loudest), the bend wheel at rest.
    EXPECT_EQ(1, GetScrollPos(GetDlgItem(window, 1344), SB_CTL));
    EXPECT_EQ(8192, GetScrollPos(GetDlgItem(window, 1345), SB_CTL));
}

TEST_F(MainWindow, SelectionsMoveTheirMarks)
{
    Command(1302);
    EXPECT_TRUE(Checked(Menu(), 1302));
    EXPECT_FALSE(Checked(Menu(), 1297));
    EXPECT_EQ(1302, gSettings.keyId);
    Command(1302); // the same key again stays checked
    EXPECT_TRUE(Checked(Menu(), 1302));
    Command(1306); // a gap in the key ids selects nothing
    EXPECT_EQ(1302, gSettings.keyId);

    Command(1024 + 55);
    EXPECT_TRUE(Checked(Menu(), 1079));
    EXPECT_FALSE(Checked(Menu(), 1024));
    EXPECT_EQ(55, gSettings.instrument);
    Command(1024 + 200); // no such program: nothing changes
    EXPECT_EQ(55, gSettings.instrument);

    Command(768 + 9);
    EXPECT_TRUE(Checked(Menu(), 777));
    EXPECT_FALSE(Checked(Menu(), 768));
    Command(768 + 15); // channel 16 is never chosen
    EXPECT_EQ(9, gSettings.channel);

    Command(1333);
    EXPECT_TRUE(gSettings.autoBass);
    EXPECT_TRUE(Checked(Menu(), 1333));
    Command(1333);
    EXPECT_FALSE(Checked(Menu(), 1333));

    std::vector<std::string> lines = Lines();
    std::vector<std::string> tail(lines.begin() + 2, lines.end());
    EXPECT_EQ((std::vector<std::string>{"msg -1 000037c0", "msg -1 000037cf", "msg -1 000037c9", "msg -1 000037cf"}),
              tail);
}

TEST_F(MainWindow, SwitchAndDeviceCommands)
{
    Command(256); // already on: nothing sent
    EXPECT_EQ(2u, Lines().size());
    Command(512 + 1);
    std::vector<std::string> lines = Lines();
    std::vector<std::string> expected = {"open -1 ok", "msg -1 000000c0"};
    for (int c = 0; c < 16; c++) {
        char m[32];
        snprintf(m, sizeof(m), "msg -1 00007bb%x", c);
        expected.push_back(m);
    }
    expected.insert(expected.end(), {"close -1", "open 1 ok", "msg 1 000000c0", "msg 1 000000cf"});
    EXPECT_EQ(expected, lines);
    EXPECT_TRUE(Checked(Menu(), 513));
    EXPECT_FALSE(Checked(Menu(), 511));
    EXPECT_TRUE(Checked(Menu(), 256));

    Command(257);
    EXPECT_FALSE(gSettings.switchOn);
    EXPECT_TRUE(Checked(Menu(), 257));
    size_t before = Lines().size();
    Command(512); // off: only the selection changes
    EXPECT_EQ(before, Lines().size());
    EXPECT_TRUE(Checked(Menu(), 512));
    EXPECT_FALSE(Checked(Menu(), 513));
    Command(1024 + 3); // instrument while off: nothing sent
    EXPECT_EQ(before, Lines().size());
    Command(256);
    lines = Lines();
    EXPECT_EQ((std::vector<std::string>{"open 0 ok", "msg 0 000003c0", "msg 0 000003cf"}),
              std::vector<std::string>(lines.end() - 3, lines.end()));
}

// The device chosen and opened is the one the next start opens, found again
// by its name wherever it is in the list; a name no device has now leaves
// the start as it was. So is 琴坊音源, which opens without an audio
// endpoint too (here there is none: a first start stays on the mapper).
// The reverb, on at a first start, stays as it was switched.
TEST_F(MainWindow, TheDeviceChosenLastOpensAtTheNextStart)
{
    EXPECT_TRUE(Checked(Menu(), 1334));
    Command(1334);
    Command(512 + 1);
    Command(257);
    Command(512); // chosen but not opened
    static SoundFont font = {};
    const struct {
        const char* devices;
        const char* firstLine; // "": nothing reaches the system's devices
        UINT checked, choose;
    } cases[] = {{"QF_MIDI_DEVICES=One|Two", "open 1 ok", 513, 0}, {"QF_MIDI_DEVICES=Two|One", "open 0 ok", 512, 0},
                 {"QF_MIDI_DEVICES=One", "open -1 ok", 511, 513},     {"QF_MIDI_DEVICES=One", "", 513, 0},
                 {"QF_MIDI_DEVICES=One|Two", "open -1 ok", 511, 0}};
    for (const auto& c : cases) {
        _putenv(c.devices);
        OfferLiveDevice(c.firstLine[0] && c.choose == 0 ? nullptr : &font);
        DestroyWindow(window);
        DeleteFileA(log.c_str());
        ResetPerformanceSettings();
        window = CreateWindowExA(0, "QF", "", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr, gInstance, nullptr);
        EXPECT_EQ(c.firstLine, Lines().empty() ? "" : Lines()[0]) << c.devices;
        EXPECT_TRUE(Checked(Menu(), c.checked) && gSettings.switchOn && !Checked(Menu(), 1334)) << c.devices;
        if (c.choose) Command(c.choose);
    }
    OfferLiveDevice(nullptr);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QF");
}

TEST_F(MainWindow, KeysPlayOnlyWhileOn)
{
    SendMessageA(window, WM_KEYDOWN, 'A', 0x001E0001);
    SendMessageA(window, WM_KEYUP, 'A', 0xC01E0001);
    Command(257);
    SendMessageA(window, WM_KEYDOWN, 'A', 0x001E0001);
    SendMessageA(window, WM_CHAR, 27, 0x00010001);
    std::vector<std::string> lines = Lines();
    EXPECT_EQ("msg -1 007f3c90", lines[2]);
    EXPECT_EQ("msg -1 00003c80", lines[3]);
    EXPECT_EQ("close -1", lines.back());
    EXPECT_EQ(0, gSettings.heldCount[1]);
}

TEST_F(MainWindow, EscThroughAButtonAndAMouseKeyLetGoWhenTheCaptureGoes)
{
    // Esc typed while a push button has the focus still silences everything.
    HWND button = GetDlgItem(window, 1283);
    SendMessageA(button, WM_CHAR, 27, 0x00010001);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(2u + 16u, lines.size());
    EXPECT_EQ("msg -1 00007bbf", lines.back());

    // A key held with the mouse is let go when a menu takes the mouse away.
    MoveWindow(window, 0, 0, 800, 600, TRUE);
    POINT a = {gLayout.keyboardOrigin.x + 38 + 10, gLayout.keyboardOrigin.y + 2 * 39 + 10}; // A
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.x, a.y));
    EXPECT_EQ(30, gSettings.mouseKey);
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, gInstance, nullptr);
    SendMessageA(window, WM_CAPTURECHANGED, 0, (LPARAM)other);
    DestroyWindow(other);
    EXPECT_EQ(NoMouseKey, gSettings.mouseKey);
    lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ("msg -1 007f3c90", lines[lines.size() - 2]);
    EXPECT_EQ("msg -1 00003c80", lines.back());
    EXPECT_EQ(0, gSettings.heldCount[1]);
}

TEST_F(MainWindow, StrayPlaybackMessagesChangeNothing)
{
    Command(1283); // recording
    ASSERT_TRUE(gRecording.isRecording);
    SendMessageA(window, WM_USER + 2, 0, 0); // an end of play that no chain posted
    SendMessageA(window, WM_USER + 2, 1, 0);
    SendMessageA(window, WM_TIMER, 1, 0);    // the start-up play's timer, late
    EXPECT_TRUE(ButtonEnabled(1284));
    EXPECT_FALSE(Grayed(Menu(), 1284));
    EXPECT_FALSE(ButtonEnabled(1283));
    EXPECT_FALSE(ButtonEnabled(1287));
    size_t before = Lines().size();
    SendMessageA(window, WM_USER + 1, 0, 0); // an event of no copy
    SendMessageA(window, WM_USER + 1, 0, 7);
    EXPECT_EQ(before, Lines().size()) << "a stray event sounded";
    EXPECT_EQ(0u, gRecording.count) << "a stray event was recorded";
    Command(1284);
}
