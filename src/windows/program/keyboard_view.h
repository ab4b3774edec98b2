// The keyboard and instrument-picture steps of the main window's paint
// handler, shared inside the display.
#pragma once

#include "windows/program/display.h"

// Draws every key of the keyboard picture idle into the paint DC dc, with
// the label font and black brush, and leaves SYSTEM_FONT selected.
void PaintKeyboard(HWND window, HDC dc);

// Copies the current instrument's picture to its place above the keyboard.
void PaintInstrumentPicture(HWND window, HDC dc);
