// The main window's pictures and texts: the keyboard picture with its key
// caps, the instrument picture, the status texts, and the font and text
// painters that the about box uses too.
#pragma once

#include <windows.h>

// The drawing surface of one key event: the window's DC with the key-label
// font and the black brush selected, and a memory DC holding the key caps.
struct KeySurface {
    HWND window;
    HDC dc;
    HDC keyCapDc;
    HFONT labelFont;
    HGDIOBJ oldCapBitmap;
};

// Prepares the surface for one key event; EndKeySurface releases it all.
void BeginKeySurface(HWND window, KeySurface* surface);
void EndKeySurface(KeySurface* surface);

// The WM_PAINT handler of the main window.
void PaintMainWindow(HWND window);

// A font of the given height in tenths of a point for dc; attributes: bit 0
// bold, 1 italic, 2 underline, 3 strike-out. The caller deletes it.
HFONT MakePointFont(HDC dc, const char* face, int tenths, int attributes, BYTE charset = DEFAULT_CHARSET);

// Paints a link text (ASCII) over a child control (purple once visited).
void PaintLinkText(HWND control, const char* text, bool visited);

// Paints a centred text of the program over a child control.
void PaintTitleText(HWND control, const char* text, COLORREF colour, int tenths, int attributes);
