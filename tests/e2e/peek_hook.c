/* Loaded into the program under test by qf-peek's message hook: menus live
 * in their own process, so the menu bar is read from inside and written to
 * a file that qf-peek then prints. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define PEEK_MAGIC 0x51465045 /* wParam of the WM_NULL that asks for the menu */

/* Writes the menu in UTF-8, one item a line: depth, id, checked, grayed, text. */
static void DumpMenu(FILE* f, HMENU menu, int depth)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++) {
        WCHAR text[256] = L"";
        char utf8[1024] = "";
        MENUITEMINFOW info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 256;
        GetMenuItemInfoW(menu, (UINT)i, TRUE, &info);
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
        fprintf(f, "%d\t%u\t%d\t%d\t", depth, info.hSubMenu ? 0u : info.wID, (info.fState & MFS_CHECKED) ? 1 : 0,
                (info.fState & MFS_GRAYED) ? 1 : 0);
        fwrite(utf8, 1, strlen(utf8), f); /* tabs kept */
        fputc('\n', f);
        if (info.hSubMenu) DumpMenu(f, info.hSubMenu, depth + 1);
    }
}

__declspec(dllexport) LRESULT CALLBACK PeekHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* m = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && m && m->message == WM_NULL && m->wParam == PEEK_MAGIC) {
        char path[MAX_PATH];
        GetTempPathA(MAX_PATH, path);
        strcat(path, "qf-peek-menu.txt");
        FILE* f = fopen(path, "wb");
        if (f) {
            HMENU menu = GetMenu(m->hwnd);
            if (menu) DumpMenu(f, menu, 0);
            fclose(f);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
