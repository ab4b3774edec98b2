/* Looks into the windows of the program under test from outside, the way
 * accessibility tools do: window titles, child controls with their texts and
 * enabled states, the menu bar with check marks and grey items. Prints UTF-8.
 *   qf-peek windows
 *   qf-peek children TITLE
 *   qf-peek menu TITLE
 *   qf-peek command TITLE ID        (posts WM_COMMAND)
 *   qf-peek send TITLE MSG WPARAM LPARAM   (sends a message, prints the result)
 *   qf-peek client TITLE            (client origin on the screen, and size)
 *   qf-peek caret                   (the window with the keyboard focus) */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void PrintUtf8(const char* ansi)
{
    WCHAR wide[2048];
    char utf8[4096];
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 2048);
    if (n <= 0) { fputs(ansi, stdout); return; }
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof(utf8), NULL, NULL);
    fputs(utf8, stdout);
}

static BOOL CALLBACK ListWindow(HWND w, LPARAM unused)
{
    char title[512], cls[128];
    (void)unused;
    GetWindowTextA(w, title, sizeof(title));
    GetClassNameA(w, cls, sizeof(cls));
    RECT r;
    GetWindowRect(w, &r);
    printf("%llu\t%s\t%d\t%ld,%ld,%ld,%ld\t", (unsigned long long)(UINT_PTR)w, cls, IsWindowVisible(w) ? 1 : 0,
           r.left, r.top, r.right, r.bottom);
    PrintUtf8(title);
    printf("\n");
    return TRUE;
}

static BOOL CALLBACK ListChild(HWND w, LPARAM unused)
{
    char text[512], cls[128];
    (void)unused;
    GetWindowTextA(w, text, sizeof(text));
    GetClassNameA(w, cls, sizeof(cls));
    RECT r;
    GetWindowRect(w, &r);
    printf("%d\t%s\t%d\t%d\t%ld,%ld,%ld,%ld\t", GetDlgCtrlID(w), cls, IsWindowEnabled(w) ? 1 : 0,
           IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right, r.bottom);
    PrintUtf8(text);
    printf("\n");
    return TRUE;
}

/* Menus cannot be read across processes here: a hook procedure in a small
 * library runs inside the program, writes the menu bar to a file, and this
 * prints it with each tab shown as \t. */
#define PEEK_MAGIC 0x51465045

static int ListMenu(HWND w)
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
    SendMessageA(w, WM_NULL, PEEK_MAGIC, 0);
    UnhookWindowsHookEx(h);
    FILE* f = fopen(path, "rb");
    if (!f) { fprintf(stderr, "no menu\n"); return 1; }
    char line[512];
    while (fgets(line, sizeof(line), f)) {
        char* end = line + strlen(line);
        while (end > line && (end[-1] == '\n' || end[-1] == '\r')) *--end = 0;
        /* the first four fields are numbers; the text may hold tabs */
        char* text = line;
        for (int i = 0; i < 4 && text; i++) { text = strchr(text, '\t'); if (text) text++; }
        if (!text) continue;
        fwrite(line, 1, (size_t)(text - line), stdout);
        for (char* c = text; *c; c = CharNextA(c)) {
            if (*c == '\t') { *c = 0; PrintUtf8(text); printf("\\t"); text = c + 1; }
        }
        PrintUtf8(text);
        printf("\n");
    }
    fclose(f);
    return 0;
}

/* Wine hands the arguments over in the ANSI code page already. */
static HWND FindTitle(const char* title)
{
    return FindWindowA(NULL, title);
}

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "windows") == 0) {
        EnumWindows(ListWindow, 0);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "caret") == 0) {
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
    HWND w = FindTitle(argv[2]);
    if (!w) {
        fprintf(stderr, "no window titled %s\n", argv[2]);
        return 1;
    }
    if (strcmp(argv[1], "client") == 0) {
        RECT r;
        POINT origin = {0, 0};
        GetClientRect(w, &r);
        ClientToScreen(w, &origin);
        printf("%ld %ld %ld %ld\n", origin.x, origin.y, r.right, r.bottom);
    } else if (strcmp(argv[1], "children") == 0) {
        EnumChildWindows(w, ListChild, 0);
    } else if (strcmp(argv[1], "menu") == 0) {
        return ListMenu(w);
    } else if (strcmp(argv[1], "command") == 0 && argc >= 4) {
        PostMessageA(w, WM_COMMAND, (WPARAM)strtoul(argv[3], NULL, 0), 0);
    } else if (strcmp(argv[1], "send") == 0 && argc >= 6) {
        LRESULT r = SendMessageA(w, (UINT)strtoul(argv[3], NULL, 0), (WPARAM)strtoull(argv[4], NULL, 0),
                                 (LPARAM)strtoll(argv[5], NULL, 0));
        printf("%lld\n", (long long)r);
    } else {
        fprintf(stderr, "unknown request\n");
        return 2;
    }
    return 0;
}
