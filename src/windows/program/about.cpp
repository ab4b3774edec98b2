// The about box with its painted links, and the binding to the HTML Help
// control that shows the help file.
#include "windows/program/about.h"

#include <shellapi.h>

#include "windows/program/display.h"
#include "windows/program/app.h"
#include "windows/platform/system_text.h"

// The about box's links: the control that shows each, the text shown and
// the target opened. The project has no home page yet; these addresses are
// placeholders in a reserved domain.
struct AboutLink {
    int controlId;
    const char* text;
    const char* target;
};

static constexpr AboutLink AboutLinks[4] = {
    {1002, "qf@example.org", "mailto:qf@example.org"},
    {1003, "https://qf.example.org/", "https://qf.example.org/"},
    {1004, "https://qf.example.org/download/", "https://qf.example.org/download/"},
    {1005, "https://qf.example.org/download/qf-setup.exe", "https://qf.example.org/download/qf-setup.exe"},
};

constexpr int TitleControlId = 1008;
constexpr int HandCursorId = 124;

static bool gLinkVisited[4];     // for the whole run
static HWND gLinkControls[4];
static RECT gLinkAreas[4];       // in the dialog's client coordinates
static HWND gTitleControl;
static HFONT gLabelFont;         // where the box's font may lack the labels' glyphs

static bool InsideArea(const RECT& r, int x, int y)
{
    return r.left < x && x < r.right && r.top < y && y < r.bottom;
}

static int LinkAt(LPARAM lParam)
{
    int x = (short)LOWORD(lParam), y = (short)HIWORD(lParam);
    for (int i = 0; i < 4; i++)
        if (InsideArea(gLinkAreas[i], x, y)) return i;
    return -1;
}

static void HandCursor()
{
    SetCursor(LoadCursorA(gInstance, MAKEINTRESOURCEA(HandCursorId)));
}

static void OpenLink(int i)
{
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    ShowCursor(TRUE);
    WCHAR target[128];
    ProgramTextToSystem(AboutLinks[i].target, -1, target, 128);
    ShellExecuteW(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
    ShowCursor(FALSE);
    HandCursor();
    gLinkVisited[i] = true;
    PaintLinkText(gLinkControls[i], AboutLinks[i].text, true);
}

static INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        for (int i = 0; i < 4; i++) {
            gLinkControls[i] = GetDlgItem(dialog, AboutLinks[i].controlId);
            GetWindowRect(gLinkControls[i], &gLinkAreas[i]);
            ScreenToClient(dialog, (POINT*)&gLinkAreas[i].left);
            ScreenToClient(dialog, (POINT*)&gLinkAreas[i].right);
        }
        gTitleControl = GetDlgItem(dialog, TitleControlId);
        gLabelFont = NewProgramTextFont((HGDIOBJ)SendMessageW(dialog, WM_GETFONT, 0, 0));
        for (HWND c = GetWindow(dialog, GW_CHILD); c && gLabelFont; c = GetWindow(c, GW_HWNDNEXT))
            SendMessageW(c, WM_SETFONT, (WPARAM)gLabelFont, FALSE);
        return TRUE;
    case WM_DESTROY:
        if (gLabelFont) DeleteObject(gLabelFont);
        gLabelFont = nullptr;
        return FALSE;
    case WM_PAINT:
        for (int i = 0; i < 4; i++) PaintLinkText(gLinkControls[i], AboutLinks[i].text, gLinkVisited[i]);
        PaintTitleText(gTitleControl, ProgramTitle, RGB(255, 0, 0), 240, 1);
        return FALSE;
    case WM_MOUSEMOVE:
        if (LinkAt(lParam) >= 0) HandCursor();
        else SetCursor(LoadCursor(nullptr, IDC_ARROW));
        return FALSE;
    case WM_LBUTTONDOWN: {
        int i = LinkAt(lParam);
        if (i >= 0) OpenLink(i);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void ShowAboutBox(HWND owner)
{
    DialogBoxParamW(gInstance, L"AboutBox", owner, AboutDialogProc, 0);
}

// The HTML Help control, loaded at the first request. Once loading has
// failed no further try is made. Its ANSI entry takes the topic; a path in
// a folder whose name the ANSI code page cannot hold goes to its wide one.
typedef HWND(WINAPI* HtmlHelpProc)(HWND, LPCSTR, UINT, DWORD_PTR);
typedef HWND(WINAPI* HtmlHelpWideProc)(HWND, LPCWSTR, UINT, DWORD_PTR);

struct HelpEntryBinding {
    HMODULE library;
    HtmlHelpProc entry;          // ordinal 14, HtmlHelpA
    HtmlHelpWideProc wideEntry;  // ordinal 15, HtmlHelpW
    bool failed;
};

static HelpEntryBinding gHelp;

// Loads the library once; false when it cannot be had.
static bool LoadHelpLibrary()
{
    if (!gHelp.library && !gHelp.failed) {
        // The registered path is read and loaded in Unicode: a Windows
        // folder whose name the ANSI code page cannot hold still works.
        HKEY key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                          KEY_READ, &key) == ERROR_SUCCESS) {
            WCHAR path[MAX_PATH + 1] = {};
            DWORD size = MAX_PATH * sizeof(WCHAR);
            DWORD type = 0;
            LONG read = RegQueryValueExW(key, nullptr, nullptr, &type, (BYTE*)path, &size);
            RegCloseKey(key);
            if (read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
                path[MAX_PATH] = 0;
                WCHAR expanded[MAX_PATH + 1];
                DWORD n = type == REG_EXPAND_SZ ? ExpandEnvironmentStringsW(path, expanded, MAX_PATH + 1) : 0;
                gHelp.library = LoadLibraryW(n > 0 && n <= MAX_PATH + 1 ? expanded : path);
            }
        }
        if (!gHelp.library) gHelp.library = LoadLibraryW(L"hhctrl.ocx");
        if (!gHelp.library) gHelp.failed = true;
    }
    return !gHelp.failed;
}

static HWND HtmlHelpA(HWND owner, LPCSTR file, UINT command, DWORD_PTR data)
{
    if (!LoadHelpLibrary()) return nullptr;
    if (!gHelp.entry) {
        gHelp.entry = (HtmlHelpProc)(void*)GetProcAddress(gHelp.library, MAKEINTRESOURCEA(14));
        if (!gHelp.entry) {
            gHelp.failed = true;
            return nullptr;
        }
    }
    return gHelp.entry(owner, file, command, data);
}

static HWND HtmlHelpW(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data)
{
    if (!LoadHelpLibrary()) return nullptr;
    if (!gHelp.wideEntry) {
        gHelp.wideEntry = (HtmlHelpWideProc)(void*)GetProcAddress(gHelp.library, MAKEINTRESOURCEA(15));
        if (!gHelp.wideEntry) {
            gHelp.failed = true;
            return nullptr;
        }
    }
    return gHelp.wideEntry(owner, file, command, data);
}

void ShowHelpTopic()
{
    static const char Topic[] = "qf.chm::/default.htm";
    // The help file sits beside the program; the current folder may be
    // another one (a recording opened by a double-click), so name it in full
    // when it is not found there.
    if (GetFileAttributesW(L"qf.chm") != INVALID_FILE_ATTRIBUTES) {
        HtmlHelpA(nullptr, Topic, 0 /* HH_DISPLAY_TOPIC */, 0);
        return;
    }
    WCHAR path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    WCHAR* slash = n > 0 && n < MAX_PATH ? wcsrchr(path, L'\\') : nullptr;
    if (!slash) {
        HtmlHelpA(nullptr, Topic, 0, 0);
        return;
    }
    wcscpy(slash + 1, L"qf.chm::/default.htm");
    char ansiPath[2 * (MAX_PATH + 32)];
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, ansiPath, sizeof ansiPath, nullptr,
                                     &lost);
    if (length > 0 && !lost)
        HtmlHelpA(nullptr, ansiPath, 0, 0);
    else
        HtmlHelpW(nullptr, path, 0, 0);
}
