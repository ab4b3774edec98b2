// The about box with its painted links, and the binding to the HTML Help
// control that shows the help file.
#include "shell/about.h"

#include <shellapi.h>

#include "display/display.h"
#include "shell/app.h"

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
    ShellExecuteA(nullptr, nullptr, AboutLinks[i].target, nullptr, nullptr, SW_SHOWNORMAL);
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
        return TRUE;
    case WM_PAINT:
        for (int i = 0; i < 4; i++) PaintLinkText(gLinkControls[i], AboutLinks[i].text, gLinkVisited[i]);
        PaintTitleText(gTitleControl, "琴坊", RGB(255, 0, 0), 240, 1);
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
    DialogBoxParamA(gInstance, "AboutBox", owner, AboutDialogProc, 0);
}

// The HTML Help control, loaded at the first request. Once loading has
// failed no further try is made.
typedef HWND(WINAPI* HtmlHelpProc)(HWND, LPCSTR, UINT, DWORD_PTR);

struct HelpEntryBinding {
    HMODULE library;
    HtmlHelpProc entry;
    bool failed;
};

static HelpEntryBinding gHelp;

static HWND HtmlHelpA(HWND owner, LPCSTR file, UINT command, DWORD_PTR data)
{
    if (!gHelp.library && !gHelp.failed) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                          KEY_READ, &key) == ERROR_SUCCESS) {
            char path[MAX_PATH] = {};
            DWORD size = sizeof(path) - 1;
            DWORD type = 0;
            LONG read = RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE*)path, &size);
            RegCloseKey(key);
            if (read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
                path[sizeof(path) - 1] = 0;
                gHelp.library = LoadLibraryA(path);
            }
        }
        if (!gHelp.library) gHelp.library = LoadLibraryA("hhctrl.ocx");
        if (!gHelp.library) {
            gHelp.failed = true;
            return nullptr;
        }
    }
    if (gHelp.failed) return nullptr;
    if (!gHelp.entry) {
        gHelp.entry = (HtmlHelpProc)(void*)GetProcAddress(gHelp.library, MAKEINTRESOURCEA(14));
        if (!gHelp.entry) {
            gHelp.failed = true;
            return nullptr;
        }
    }
    return gHelp.entry(owner, file, command, data);
}

void ShowHelpTopic()
{
    // The help file sits beside the program; the current folder may be
    // another one (a recording opened by a double-click), so name it in full
    // when it is not found there.
    char topic[MAX_PATH + 32] = "qf.chm::/default.htm";
    if (GetFileAttributesA("qf.chm") == INVALID_FILE_ATTRIBUTES) {
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        char* slash = nullptr; // the last backslash, stepping over double-byte characters
        for (char* c = path; n > 0 && n < MAX_PATH && *c; c = CharNextA(c))
            if (*c == '\\') slash = c;
        if (slash) {
            slash[1] = 0;
            wsprintfA(topic, "%sqf.chm::/default.htm", path);
        }
    }
    HtmlHelpA(nullptr, topic, 0 /* HH_DISPLAY_TOPIC */, 0);
}
