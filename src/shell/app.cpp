#include "shell/app.h"

HINSTANCE gInstance;
HWND gMainWindow;
HBITMAP gInstrumentStrip;
HBITMAP gKeyCapStrip;
COLORREF gBackgroundColor = RGB(20, 100, 20);
const char* gCommandLine = "";
Layout gLayout;

void CheckCommand(int id, bool checked)
{
    CheckMenuItem(GetMenu(gMainWindow), (UINT)id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void EnableCommand(int id, bool enabled)
{
    EnableMenuItem(GetMenu(gMainWindow), (UINT)id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void EnablePushButton(int id, bool enabled)
{
    EnableWindow(GetDlgItem(gMainWindow, id), enabled);
}

void RepaintMainWindow()
{
    InvalidateRect(gMainWindow, nullptr, TRUE);
}
