// The program's compiled resources as the program finds them (the about box
// template control by control, the accelerator table, the pictures, icon and
// hand cursor), and the about box itself: link areas, cursor and hit test.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "windows/program/about.h"
#include "windows/program/app.h"

// The resources are read from the program itself, which is built beside the
// tests folder.
static HMODULE Program()
{
    static HMODULE module = [] {
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string dir(path, n);
        dir.resize(dir.find_last_of('\\'));      // ...\tests
        dir.resize(dir.find_last_of('\\') + 1);  // the build folder
        return LoadLibraryExA((dir + "qf-capture.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }();
    return module;
}

static const BYTE* ResourceData(const char* name, const char* type, DWORD* size = nullptr)
{
    HRSRC found = FindResourceA(Program(), name, type);
    if (!found) return nullptr;
    if (size) *size = SizeofResource(Program(), found);
    return (const BYTE*)LockResource(LoadResource(Program(), found));
}

// A cursor over a DLGTEMPLATEEX: words, double words, and the
// string-or-ordinal fields.
struct TemplateReader {
    const BYTE* at;
    const BYTE* end;
    bool overrun = false;

    const BYTE* Take(size_t n)
    {
        if ((size_t)(end - at) < n) {
            overrun = true;
            return nullptr;
        }
        const BYTE* p = at;
        at += n;
        return p;
    }
    WORD Word()
    {
        const BYTE* p = Take(2);
        return p ? (WORD)(p[0] | p[1] << 8) : 0;
    }
    DWORD Dword()
    {
        WORD low = Word();
        return low | (DWORD)Word() << 16;
    }
    short Short() { return (short)Word(); }
    std::wstring Text()
    {
        std::wstring s;
        for (WORD c; !overrun && (c = Word()) != 0;) s += (wchar_t)c;
        return s;
    }
    // An ordinal as "#n", a name as itself.
    std::wstring NameOrOrdinal()
    {
        const BYTE* mark = at;
        if (Word() == 0xFFFF) return L"#" + std::to_wstring(Word());
        at = mark;
        return Text();
    }
    void AlignDword(const BYTE* base)
    {
        while ((at - base) % 4 && !overrun) Take(1);
    }
};

struct TemplateControl {
    int id;
    const wchar_t* cls;   // predefined class ordinal
    const wchar_t* text;  // nullptr: any non-empty text
    DWORD style;          // besides WS_CHILD | WS_VISIBLE
    short x, y, cx, cy;
};

static constexpr DWORD LinkStyle = WS_GROUP;
static constexpr TemplateControl AboutControls[] = {
    {IDOK, L"#128", L"确定", BS_DEFPUSHBUTTON | WS_TABSTOP, 99, 184, 50, 14},
    {-1, L"#130", L"BITMAP", SS_BITMAP | SS_REALSIZEIMAGE, 7, 7, 13, 13},
    {-1, L"#130", nullptr, SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 115, 64, 108, 8},
    {-1, L"#130", L"下载地址一：", WS_GROUP, 7, 150, 45, 8},
    {1004, L"#130", L"", LinkStyle, 58, 150, 141, 11},
    {-1, L"#130", L"下载地址二：", WS_GROUP, 7, 170, 46, 8},
    {1005, L"#130", L"", LinkStyle, 58, 170, 179, 10},
    {1003, L"#130", L"", LinkStyle, 58, 130, 151, 10},
    {1002, L"#130", L"", LinkStyle, 58, 110, 97, 10},
    {-1, L"#130", L"联系：", WS_GROUP, 7, 110, 23, 8},
    {1008, L"#130", L"", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 126, 35, 88, 20},
    {-1, L"#130", L"主页：", WS_GROUP, 7, 130, 23, 8},
};
constexpr int AboutControlCount = sizeof(AboutControls) / sizeof(AboutControls[0]);

TEST(ProgramResources, AboutBoxTemplateAsTabled)
{
    ASSERT_TRUE(Program()) << "qf-capture.exe beside the tests folder";
    DWORD size = 0;
    const BYTE* data = ResourceData("AboutBox", MAKEINTRESOURCEA(5) /* RT_DIALOG */, &size);
    ASSERT_TRUE(data);
    TemplateReader r{data, data + size};

    EXPECT_EQ(r.Word(), 1);       // extended template
    EXPECT_EQ(r.Word(), 0xFFFF);
    r.Dword();                    // help id
    EXPECT_EQ(r.Dword(), (DWORD)WS_EX_CLIENTEDGE);
    EXPECT_EQ(r.Dword(), (DWORD)(WS_POPUP | DS_MODALFRAME | DS_CENTER | DS_SETFONT));
    EXPECT_EQ(r.Word(), AboutControlCount);
    short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
    EXPECT_EQ((std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy)),
              "100,50 249x205");
    EXPECT_EQ(r.NameOrOrdinal(), L"");  // no menu
    EXPECT_EQ(r.NameOrOrdinal(), L"");  // the standard dialog class
    EXPECT_EQ(r.Text(), L"");           // no caption
    EXPECT_EQ(r.Word(), 10);            // points
    r.Word();                           // weight
    r.Word();                           // italic, character set
    EXPECT_EQ(r.Text(), L"MS Sans Serif");

    for (int i = 0; i < AboutControlCount && !r.overrun; i++) {
        const TemplateControl& c = AboutControls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(c.id));
        r.AlignDword(data);
        r.Dword();  // help id
        EXPECT_EQ(r.Dword(), 0u);
        EXPECT_EQ(r.Dword(), c.style | WS_CHILD | WS_VISIBLE);
        short rect[4] = {r.Short(), r.Short(), r.Short(), r.Short()};
        short want[4] = {c.x, c.y, c.cx, c.cy};
        EXPECT_EQ(0, memcmp(rect, want, sizeof(rect))) << rect[0] << "," << rect[1] << " " << rect[2] << "x" << rect[3];
        EXPECT_EQ((int)r.Dword(), c.id);
        EXPECT_EQ(r.NameOrOrdinal(), c.cls);
        std::wstring text = r.NameOrOrdinal();
        if (c.text)
            EXPECT_TRUE(text == c.text);
        else
            EXPECT_FALSE(text.empty());
        WORD extra = r.Word();
        r.Take(extra);
    }
    EXPECT_FALSE(r.overrun);
    EXPECT_EQ(r.at, r.end) << "nothing after the last control";
}

TEST(ProgramResources, AcceleratorsPicturesIconAndCursor)
{
    ASSERT_TRUE(Program());
    static constexpr struct {
        WORD key;
        WORD id;
    } Accelerators[27] = {
        {'A', 1302}, {'B', 1303}, {'C', 1297}, {'D', 1298}, {'E', 1299}, {'F', 1300}, {'G', 1301},
        {'H', 1304}, {'I', 1305}, {'J', 1312}, {'K', 1313}, {'L', 1314}, {'M', 1315}, {'N', 1316},
        {'O', 256},  {'P', 1317}, {'Q', 1318}, {'R', 1319}, {'S', 257},  {'T', 1320}, {'U', 1321},
        {'V', 1328}, {'W', 1329}, {'X', 1330}, {'Y', 1331}, {'Z', 1332}, {VK_F5, 1350},
    };
    DWORD size = 0;
    const BYTE* table = ResourceData("QF", MAKEINTRESOURCEA(9) /* RT_ACCELERATOR */, &size);
    ASSERT_TRUE(table);
    ASSERT_EQ(size, 27u * 8);  // flags, key, command, padding
    for (int i = 0; i < 27; i++) {
        const WORD* entry = (const WORD*)(table + 8 * i);
        WORD last = i == 26 ? 0x80 : 0;
        WORD alt = i < 26 ? FALT : 0; // F5 alone starts and stops practice
        EXPECT_EQ(entry[0], FVIRTKEY | alt | FNOINVERT | last) << "entry " << i;
        EXPECT_EQ(entry[1], Accelerators[i].key) << "entry " << i;
        EXPECT_EQ(entry[2], Accelerators[i].id) << "entry " << i;
    }

    const char* bitmaps[] = {"Bitmap", MAKEINTRESOURCEA(107), MAKEINTRESOURCEA(110), MAKEINTRESOURCEA(114)};
    for (const char* bitmap : bitmaps)
        EXPECT_TRUE(ResourceData(bitmap, MAKEINTRESOURCEA(2) /* RT_BITMAP */))
            << (IS_INTRESOURCE(bitmap) ? std::to_string((UINT_PTR)bitmap) : bitmap);
    EXPECT_TRUE(ResourceData("QF", MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */));

    // The hand cursor: its one image carries the hot spot (10, 2).
    const BYTE* group = ResourceData(MAKEINTRESOURCEA(124), MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */);
    ASSERT_TRUE(group);
    ASSERT_GE(((const WORD*)group)[2], 1);
    WORD image = *(const WORD*)(group + 6 + 12);  // the first entry's resource id
    const WORD* cursor = (const WORD*)ResourceData(MAKEINTRESOURCEA(image), MAKEINTRESOURCEA(1) /* RT_CURSOR */);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor[0], 10);
    EXPECT_EQ(cursor[1], 2);
}

// The live about box, examined from a timer that runs inside its modal loop.
struct AboutProbe {
    HWND owner;
    bool ownerDisabled;
    bool ran;
    RECT area[4];        // the link areas, client coordinates of the box
    bool noNotify;       // no link static has SS_NOTIFY
    HCURSOR inside, border, outside, afterBorderClick;
    int titleRed, linkDark, linkPurple;
};
static AboutProbe gProbe;

static BOOL CALLBACK FindDialog(HWND w, LPARAM out)
{
    char cls[16];
    GetClassNameA(w, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    *(HWND*)out = w;
    return FALSE;
}

static HWND ThreadDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&found);
    return found;
}

// Pixels of a control that match, read at once through a DIB copy.
static int CountPixels(HWND control, bool (*match)(COLORREF))
{
    RECT r;
    GetClientRect(control, &r);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = r.right;
    bi.bmiHeader.biHeight = -r.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC source = GetDC(control);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, r.right, r.bottom, source, 0, 0, SRCCOPY);
    GdiFlush();
    int n = 0;
    for (int i = 0; i < r.right * r.bottom; i++) {
        DWORD v = ((const DWORD*)bits)[i];  // 0x00RRGGBB
        n += match(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF)) ? 1 : 0;
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(control, source);
    DeleteObject(copy);
    return n;
}

static HCURSOR CursorAt(HWND dialog, int x, int y)
{
    SetCursor(nullptr);
    SendMessageA(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    return GetCursor();
}

static void CALLBACK ProbeAboutBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = ThreadDialog();
    if (!dialog) return;
    KillTimer(nullptr, timer);
    AboutProbe& p = gProbe;
    p.ran = true;
    p.ownerDisabled = !IsWindowEnabled(p.owner) && GetWindow(dialog, GW_OWNER) == p.owner;
    UpdateWindow(dialog);

    static const int Links[4] = {1002, 1003, 1004, 1005};
    p.noNotify = true;
    for (int i = 0; i < 4; i++) {
        HWND link = GetDlgItem(dialog, Links[i]);
        GetWindowRect(link, &p.area[i]);
        MapWindowPoints(nullptr, dialog, (POINT*)&p.area[i], 2);
        p.noNotify = p.noNotify && !(GetWindowLongA(link, GWL_STYLE) & SS_NOTIFY);
    }
    const RECT& home = p.area[1];
    int midY = (home.top + home.bottom) / 2;
    p.inside = CursorAt(dialog, home.left + 1, midY);
    p.border = CursorAt(dialog, home.left, midY);
    p.outside = CursorAt(dialog, home.right + 2, midY);
    // A press on the border line opens nothing and leaves the link unvisited.
    SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(home.left, midY));
    p.afterBorderClick = GetCursor();

    p.titleRed = CountPixels(GetDlgItem(dialog, 1008), [](COLORREF c) { return c == RGB(255, 0, 0); });
    p.linkDark = CountPixels(GetDlgItem(dialog, 1003), [](COLORREF c) {
        return GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
    });
    p.linkPurple = CountPixels(GetDlgItem(dialog, 1003), [](COLORREF c) { return c == RGB(150, 0, 150); });
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST(AboutBoxWin, LinkAreasCursorAndStrictHitTest)
{
    ASSERT_TRUE(Program());
    HINSTANCE saved = gInstance;
    gInstance = Program();
    gProbe = AboutProbe{};
    gProbe.owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                 nullptr);
    UINT_PTR timer = SetTimer(nullptr, 0, 50, ProbeAboutBox);
    ShowAboutBox(gProbe.owner);  // returns once the probe has pressed OK
    KillTimer(nullptr, timer);
    EXPECT_TRUE(IsWindowEnabled(gProbe.owner)) << "the owner is enabled again";
    DestroyWindow(gProbe.owner);
    gInstance = saved;

    ASSERT_TRUE(gProbe.ran);
    const AboutProbe& p = gProbe;
    EXPECT_TRUE(p.ownerDisabled) << "modal over its owner";
    EXPECT_TRUE(p.noNotify);
    for (int i = 0; i < 4; i++) EXPECT_LT(p.area[i].left, p.area[i].right);
    // The areas stand one under the other: contact, home page, two downloads.
    EXPECT_LT(p.area[0].bottom, p.area[1].top);
    EXPECT_LT(p.area[1].bottom, p.area[2].top);
    EXPECT_LT(p.area[2].bottom, p.area[3].top);

    // The hand is known by its hot spot (10, 2).
    ICONINFO info = {};
    ASSERT_TRUE(p.inside && GetIconInfo(p.inside, &info));
    EXPECT_EQ(info.xHotspot * 100 + info.yHotspot, 1002u) << "one pixel inside the home-page link: the hand";
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    EXPECT_EQ(p.border, arrow) << "on its left border";
    EXPECT_EQ(p.outside, arrow) << "right of it";
    EXPECT_EQ(p.afterBorderClick, arrow) << "a press on the border opens nothing";

    EXPECT_GT(p.titleRed, 20) << "the red title";
    EXPECT_GT(p.linkDark, 20) << "the home-page link in black";
    EXPECT_EQ(p.linkPurple, 0) << "not visited";
}
