// The few platform facts that the portable engine asks for. The Windows build
// answers them from the system; the native tests answer them from fakes.
#pragma once

#include <cstdint>

// True while the Shift (Control) key is down at this moment.
bool ShiftKeyDown();
bool ControlKeyDown();

// The millisecond clock (timeGetTime on Windows); wraps at 2^32.
uint32_t MillisecondClock();
