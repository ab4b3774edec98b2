// The main window: its procedure, the one dispatcher of every message.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Places the scroll bars, the push buttons and the keyboard picture for a
// client area of width x height.
void LayoutChildren(int width, int height);

// Carries out one command (the low word of WM_COMMAND's wParam).
LRESULT DispatchCommand(HWND window, int id);
