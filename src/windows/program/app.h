// What the window-side subsystems share: the program-wide handles and
// layout values, the playback message, and the few helpers that change
// menu marks, enabled states and the picture.
#pragma once

#include <windows.h>

#include "windows/program/commands.h"

// One recorded event to sound: wParam the playback copy's event array,
// lParam the event's index.
constexpr UINT WM_PLAYEVENT = WM_USER + 1;

// The program's name: the title of its windows and of the about box.
inline constexpr char ProgramTitle[] = "琴坊";

extern HINSTANCE gInstance;
extern HWND gMainWindow;
extern HBITMAP gInstrumentStrip; // bitmap 110: fifteen 171 x 141 pictures
extern HBITMAP gKeyCapStrip;     // bitmap 114: four 38 x 39 key caps
extern COLORREF gBackgroundColor;
extern const char* gCommandLine; // the text after the program's name, UTF-8

// The main window's layout values, set at creation and on every size.
struct Layout {
    int charWidth = 0;  // extent of "M" in the default font
    int charHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    POINT keyboardOrigin = {0, 0}; // top-left corner of the keyboard picture
};
extern Layout gLayout;

// Menu items of the main window's menu bar, by command id.
void CheckCommand(int id, bool checked);
void EnableCommand(int id, bool enabled);
// The push buttons (ids 1283..1287).
void EnablePushButton(int id, bool enabled);
// Invalidates the whole client area with erase.
void RepaintMainWindow();

// kernel32's SetProcessInformation (Windows 8 and later), looked up at start.
using SetProcessInformationProc = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);

// Asks the system through setInformation to keep honouring the program's
// timer resolution while its windows are minimised or covered (Windows 11
// stops otherwise). Nothing happens when setInformation is null; a refusal
// is ignored.
void KeepTimerResolution(SetProcessInformationProc setInformation);
