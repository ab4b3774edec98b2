// The menu bar, built at run time, and the check marks and enabled states
// that the commands move.
#pragma once

#include <windows.h>

// Builds the whole menu bar for deviceCount MIDI output devices. Selects
// device 0 when the MIDI mapper's capabilities cannot be read.
HMENU BuildMainMenu(unsigned deviceCount);

// The menu text of a musical key's item, or nullptr for no key.
const char* KeyMenuText(int keyId);
