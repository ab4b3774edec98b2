/* Looks into the windows of the program under test from outside, the way
 * accessibility tools do: window titles, child controls with their texts and
 * enabled states, the menu bar with check marks and grey items. Texts are
 * read as Unicode and printed as UTF-8, whatever the ANSI code page; titles
 * on the command line are taken as Unicode too.
 *   qf-peek windows
 *   qf-peek children TITLE
 *   qf-peek menu TITLE
 *   qf-peek menurects TITLE         (the places on the screen of the menu items
 *                                    shown now: the bar's, an open pop-up's)
 *   qf-peek command TITLE ID        (posts WM_COMMAND)
 *   qf-peek send TITLE MSG WPARAM LPARAM   (sends a message, prints the result)
 *   qf-peek client TITLE            (client origin on the screen, and size)
 *   qf-peek settext TITLE TEXT      (puts TEXT into the control of that window's
 *                                    thread that has the keyboard focus)
 *   qf-peek caret                   (the window with the keyboard focus)
 *   qf-peek listbox TITLE           (the lines of that window's list box, each
 *                                    after 1 when selected, else 0, and a tab)
 * Exit status 0 when done, 1 when the window or the answer is missing. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static void PrintWide(const WCHAR* text)
{
    char utf8[8192];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL) > 0) fputs(utf8, stdout);
}

static BOOL CALLBACK ListWindow(HWND w, LPARAM unused)
{
    WCHAR title[1024];
    char cls[128];
    (void)unused;
    title[0] = 0;
    GetWindowTextW(w, title, 1024);
    GetClassNameA(w, cls, sizeof(cls));
    RECT r;
    GetWindowRect(w, &r);
    printf("%llu\t%s\t%d\t%ld,%ld,%ld,%ld\t", (unsigned long long)(UINT_PTR)w, cls, IsWindowVisible(w) ? 1 : 0,
           r.left, r.top, r.right, r.bottom);
    PrintWide(title);
    printf("\n");
    return TRUE;
}

static BOOL CALLBACK ListChild(HWND w, LPARAM unused)
{
    WCHAR text[1024];
    char cls[128];
    (void)unused;
    text[0] = 0;
    GetWindowTextW(w, text, 1024);
    /* One line a control: line breaks in its text are shown as the unit separator 0x1F. */
    for (WCHAR* c = text; *c; c++)
        if (*c == L'\r') memmove(c, c + 1, (wcslen(c + 1) + 1) * sizeof(WCHAR)), c--;
        else if (*c == L'\n') *c = L'\x1F';
    GetClassNameA(w, cls, sizeof(cls));
    RECT r;
    GetWindowRect(w, &r);
    printf("%d\t%s\t%d\t%d\t%ld,%ld,%ld,%ld\t", GetDlgCtrlID(w), cls, IsWindowEnabled(w) ? 1 : 0,
           IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right, r.bottom);
    PrintWide(text);
    printf("\n");
    return TRUE;
}

/* Menus cannot be read across processes here: a hook procedure in a small
 * library runs inside the program, writes the menu bar to a file in UTF-8,
 * and this prints it with each tab shown as \t. */
#define PEEK_MAGIC 0x51465045

static int ListMenu(HWND w, LPARAM request)
{
    char dll[MAX_PATH], path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, dll, MAX_PATH);
    while (n > 0 && dll[n - 1] != '\\') n--;
    strcpy(dll + n, "qf-peek-hook.dll");
    HMODULE library = LoadLibraryA(dll);
    HOOKPROC hook = library ? (HOOKPROC)(void*)GetProcAddress(library, "PeekHook") : NULL;
    if (!hook) { fprintf(stderr, "no hook library\n"); return 1; }
    GetTempPathA(MAX_PATH, path);
    strcat(path, "qf-peek-menu.txt");
    DeleteFileA(path);
    HHOOK h = SetWindowsHookExA(WH_CALLWNDPROC, hook, library, GetWindowThreadProcessId(w, NULL));
    if (!h) { fprintf(stderr, "no hook\n"); return 1; }
    DWORD_PTR answer = 0;
    LRESULT sent = SendMessageTimeoutA(w, WM_NULL, PEEK_MAGIC, request, SMTO_ABORTIFHUNG, 10000, &answer);
    UnhookWindowsHookEx(h);
    if (!sent) { fprintf(stderr, "the window did not answer\n"); return 1; }
    FILE* f = fopen(path, "rb");
    if (!f) { fprintf(stderr, "no menu\n"); return 1; }
    char line[2048];
    while (fgets(line, sizeof(line), f)) {
        char* end = line + strlen(line);
        while (end > line && (end[-1] == '\n' || end[-1] == '\r')) *--end = 0;
        /* the first four fields (three with places) are numbers; the text may hold tabs */
        char* text = line;
        for (int i = 0; i < (request ? 3 : 4) && text; i++) { text = strchr(text, '\t'); if (text) text++; }
        if (!text) continue;
        fwrite(line, 1, (size_t)(text - line), stdout);
        for (char* c = text; *c; c++) {
            if (*c == '\t') fputs("\\t", stdout);
            else fputc(*c, stdout);
        }
        printf("\n");
    }
    fclose(f);
    return 0;
}

int main(void)
{
    int argc = 0;
    WCHAR** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    if (argc >= 2 && wcscmp(argv[1], L"windows") == 0) {
        EnumWindows(ListWindow, 0);
        return 0;
    }
    if (argc >= 2 && wcscmp(argv[1], L"caret") == 0) {
        GUITHREADINFO info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(0, &info);
        printf("%llu\t%llu\n", (unsigned long long)(UINT_PTR)info.hwndFocus,
               (unsigned long long)(UINT_PTR)info.hwndActive);
        return 0;
    }
    if (argc < 3) {
        fprintf(stderr, "usage: qf-peek windows|caret|children TITLE|menu TITLE|command TITLE ID|send TITLE MSG W L\n");
        return 2;
    }
    HWND w = FindWindowW(NULL, argv[2]);
    if (!w) {
        fprintf(stderr, "no window titled ");
        PrintWide(argv[2]);
        fprintf(stderr, "\n");
        return 1;
    }
    const WCHAR* request = argv[1];
    if (wcscmp(request, L"client") == 0) {
        RECT r;
        POINT origin = {0, 0};
        GetClientRect(w, &r);
        ClientToScreen(w, &origin);
        printf("%ld %ld %ld %ld\n", origin.x, origin.y, r.right, r.bottom);
    } else if (wcscmp(request, L"children") == 0) {
        EnumChildWindows(w, ListChild, 0);
    } else if (wcscmp(request, L"menu") == 0) {
        return ListMenu(w, 0);
    } else if (wcscmp(request, L"menurects") == 0) {
        return ListMenu(w, 1);
    } else if (wcscmp(request, L"listbox") == 0) {
        HWND list = FindWindowExW(w, NULL, L"ListBox", NULL);
        LRESULT count = list ? SendMessageW(list, LB_GETCOUNT, 0, 0) : -1;
        LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
        for (LRESULT i = 0; i < count; i++) {
            WCHAR line[1024] = L"";
            if (SendMessageW(list, LB_GETTEXTLEN, (WPARAM)i, 0) < 1024)
                SendMessageW(list, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
            printf("%d\t", i == selected ? 1 : 0);
            PrintWide(line);
            printf("\n");
        }
        if (count < 0) { fprintf(stderr, "no list box\n"); return 1; }
    } else if (wcscmp(request, L"settext") == 0 && argc >= 4) {
        GUITHREADINFO info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        DWORD_PTR result = 0;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, NULL), &info) || !info.hwndFocus ||
            !SendMessageTimeoutW(info.hwndFocus, WM_SETTEXT, 0, (LPARAM)argv[3], SMTO_ABORTIFHUNG, 10000, &result) ||
            !result) {
            fprintf(stderr, "the text could not be set\n");
            return 1;
        }
    } else if (wcscmp(request, L"command") == 0 && argc >= 4) {
        if (!PostMessageW(w, WM_COMMAND, (WPARAM)wcstoul(argv[3], NULL, 0), 0)) {
            fprintf(stderr, "the command could not be posted\n");
            return 1;
        }
    } else if (wcscmp(request, L"send") == 0 && argc >= 6) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(w, (UINT)wcstoul(argv[3], NULL, 0), (WPARAM)_wcstoui64(argv[4], NULL, 0),
                                 (LPARAM)_wcstoi64(argv[5], NULL, 0), SMTO_ABORTIFHUNG, 10000, &result)) {
            fprintf(stderr, "the window did not answer the message\n");
            return 1;
        }
        printf("%lld\n", (long long)(LRESULT)result);
    } else {
        fprintf(stderr, "unknown request\n");
        return 2;
    }
    return 0;
}
