// The keyboard picture: one key cap with its label and octave dots per
// playable key, drawn idle by the paint handler and in the colour of its
// octave shift while it sounds; and the instrument picture above it.
#include "windows/program/keyboard_view.h"

#include "windows/program/status_text.h"
#include "portable/keys/keymap.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "windows/program/app.h"
#include "windows/program/practice_window.h"
#include "windows/platform/system_text.h"

constexpr int ColumnWidth = 19; // half a key
constexpr int RowHeight = 39;
constexpr int CapWidth = 38;
constexpr int CapHeight = 39;
constexpr int LabelLift = 4; // the label stands 4 pixels above the cell's middle
constexpr int DotSize = 4;
constexpr int CapInset = 4; // the lit face of a cap in practice, inside its edge

static HFONT MakeLabelFont(HDC dc)
{
    return MakePointFont(dc, "Times New Roman", 0, 0);
}

// Label font, black brush and black text into dc, and a memory DC with the
// key caps beside it.
static void PrepareKeySurface(HWND window, HDC dc, KeySurface* surface)
{
    surface->window = window;
    surface->dc = dc;
    surface->labelFont = MakeLabelFont(dc);
    SelectObject(dc, surface->labelFont);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    SetTextColor(dc, RGB(0, 0, 0));
    surface->keyCapDc = CreateCompatibleDC(dc);
    surface->oldCapBitmap = SelectObject(surface->keyCapDc, gKeyCapStrip);
}

// Deletes the memory DC and the label font; the DC itself stays.
static void FinishKeySurface(KeySurface* surface)
{
    if (surface->oldCapBitmap) SelectObject(surface->keyCapDc, surface->oldCapBitmap);
    DeleteDC(surface->keyCapDc);
    SelectObject(surface->dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(surface->labelFont);
    surface->keyCapDc = nullptr;
    surface->labelFont = nullptr;
    surface->oldCapBitmap = nullptr;
}

void BeginKeySurface(HWND window, KeySurface* surface)
{
    PrepareKeySurface(window, GetDC(window), surface);
}

void EndKeySurface(KeySurface* surface)
{
    FinishKeySurface(surface);
    ReleaseDC(surface->window, surface->dc);
    surface->dc = nullptr;
}

void DrawKeyMarker(KeySurface* surface, int index, int pressed, int replay, int replayState)
{
    if (!surface || index < 0 || index >= KeyMapSize) return;
    const KeyMapEntry& key = KeyMap[index];
    if (key.column < 0 || key.row < 0) return;

    HDC dc = surface->dc;
    int x = gLayout.keyboardOrigin.x + ColumnWidth * key.column;
    int y = gLayout.keyboardOrigin.y + RowHeight * key.row;

    int cap = KeyCapIndex(pressed, replay, replayState, gSettings.octaveState);
    // The idle cap also clears a key that sounded.
    BitBlt(dc, x, y, CapWidth, CapHeight, surface->keyCapDc, CapWidth * cap, 0, SRCCOPY);
    // In practice a key to press is lit, the next chord's more faintly.
    int light = pressed ? 0 : PracticeLight(index);
    if (light) {
        RECT face = {x + CapInset, y + CapInset, x + CapWidth - CapInset - 1, y + CapHeight - CapInset - 1};
        HBRUSH brush = CreateSolidBrush(light == 1 ? PracticeNowColour : PracticeNextColour);
        FillRect(dc, &face, brush);
        DeleteObject(brush);
    }

    SetBkMode(dc, TRANSPARENT);
    RECT label = {x, y - LabelLift, x + CapWidth, y + CapHeight - LabelLift};
    WCHAR text[8];
    ProgramTextToSystem(key.label, -1, text, 8);
    DrawTextW(dc, text, -1, &label, DT_SINGLELINE | DT_VCENTER | DT_CENTER);

    OctaveDots dots = OctaveDotsOf(key.octave);
    int cx = x + CapWidth / 2;
    for (int i = 0; i < dots.count; i++) {
        int top = y + dots.top[i];
        Ellipse(dc, cx - DotSize / 2, top, cx + DotSize / 2, top + DotSize);
    }
    SetBkMode(dc, OPAQUE);
}

void PaintKeyboard(HWND window, HDC dc)
{
    KeySurface surface = {};
    PrepareKeySurface(window, dc, &surface);
    for (int i = 0; i < KeyMapSize; i++)
        if (KeyMap[i].column != -1) DrawKeyMarker(&surface, i, 0, 0, 0);
    FinishKeySurface(&surface);
}

void PaintInstrumentPicture(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    int x = (client.right - client.left - InstrumentPictureWidth) / 2;
    int n = InstrumentPictureIndex(gSettings.channel, gSettings.instrument);
    HDC strip = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(strip, gInstrumentStrip);
    BitBlt(dc, x, InstrumentPictureTop, InstrumentPictureWidth, InstrumentPictureHeight, strip,
           InstrumentPictureWidth * n, 0, SRCCOPY);
    if (old) SelectObject(strip, old);
    DeleteDC(strip);
}
