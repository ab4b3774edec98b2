/* Loaded into the program under test by qf-peek's message hook: menus live
 * in their own process, so the menu bar is read from inside and written to
 * a file that qf-peek then prints. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define PEEK_MAGIC 0x51465045 /* wParam of the WM_NULL that asks for the menu */
#define PEEK_RECTS 1          /* its lParam when the places of the items are asked for */

/* Writes the menu in UTF-8, one item a line: depth, id, checked, grayed,
 * text; or, with rects, depth, id, the item's place on the screen
 * (left,top,right,bottom) and text, for the items shown now. */
static void DumpMenu(FILE* f, HWND window, HMENU menu, int depth, int rects)
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
        RECT r;
        if (rects && !GetMenuItemRect(depth ? NULL : window, menu, (UINT)i, &r)) continue;
        fprintf(f, "%d\t%u\t", depth, info.hSubMenu ? 0u : info.wID);
        if (rects) fprintf(f, "%ld,%ld,%ld,%ld\t", r.left, r.top, r.right, r.bottom);
        else fprintf(f, "%d\t%d\t", (info.fState & MFS_CHECKED) ? 1 : 0, (info.fState & MFS_GRAYED) ? 1 : 0);
        fwrite(utf8, 1, strlen(utf8), f); /* tabs kept */
        fputc('\n', f);
        if (info.hSubMenu) DumpMenu(f, window, info.hSubMenu, depth + 1, rects);
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
            if (menu) DumpMenu(f, m->hwnd, menu, 0, m->lParam == PEEK_RECTS);
            fclose(f);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
