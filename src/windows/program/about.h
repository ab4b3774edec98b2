// The about box and the help file.
#pragma once

#include <windows.h>

// Command 1281: the modal about box.
void ShowAboutBox(HWND owner);

// Command 1280: the help file's start topic; silently nothing when the
// HTML Help control cannot be loaded.
void ShowHelpTopic();
