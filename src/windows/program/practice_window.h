// Practice mode in the window: its commands and menu items, the player's
// keys forwarded to the practice, the clock that moves the song and sounds
// its accompaniment, the lit keys, the strip of coming notes, the status
// line and the result at the end.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// A MIDI short message of the song's accompaniment at its time in the song.
struct AccompanimentMessage {
    uint64_t ms;
    uint32_t word;
};

// Appends the practice items to the function menu.
void AppendPracticeItems(HMENU functionMenu);

// Commands CmdPractice..CmdLoopEnd.
void PracticeCommand(HWND window, int id);

bool PracticeActive();

// Leaves practice mode (Esc, another song, recording or playback): every
// note of the song and of the player ends; no result is shown.
void LeavePractice(HWND window);

// A key the player played, as the note player reports it (before its note
// sounds): counted towards the chord or judged.
void PracticePlayedKey(int32_t message, uint32_t keyData, int32_t octaveShift);

// After a key event: draws what the key changed (the next chord at once),
// and ends the practice with its result when the song is over.
void PracticeAfterKey(HWND window);

// The practice timer (WM_TIMER PracticeTimerId).
constexpr UINT_PTR PracticeTimerId = 2;
void PracticeTimer(HWND window);

// The colours of the keys to press now and of the chord after.
constexpr COLORREF PracticeNowColour = RGB(255, 170, 0);
constexpr COLORREF PracticeNextColour = RGB(255, 226, 160);

// How a key cap is lit: 0 not, 1 a key of the chord to play now, 2 of the
// chord after it.
int PracticeLight(int index);

// The strip of coming notes above the keyboard, and the status line's
// practice text, painted by the paint handler.
void PaintPracticeStrip(HWND window, HDC dc);
bool PracticeStatus(char* text, size_t size);
