// The engine's platform facts on Windows.
#include "portable/play/system_facts.h"

#include <windows.h>
#include <mmsystem.h>

bool ShiftKeyDown() { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; }

bool ControlKeyDown() { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }

uint32_t MillisecondClock() { return timeGetTime(); }
