#include "windows/program/app.h"

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

void KeepTimerResolution(SetProcessInformationProc setInformation)
{
    if (!setInformation) return;
    // The request is under control (ControlMask) and switched off (not in
    // StateMask): the timer resolution is not to be throttled.
    PROCESS_POWER_THROTTLING_STATE state = {};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    setInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
}
