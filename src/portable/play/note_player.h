// Playing: live key events with the octave latch, replayed events, Esc, the
// velocity and pitch-bend bars, the mouse on the keyboard picture, and the
// selections of key, instrument, channel and auto bass. Portable.
#pragma once

#include <cstdint>

// The drawing surface that the window prepares for one key event.
struct KeySurface;

// Draws one key cap with its label and dots; provided by the display.
// pressed: 1 sounding, 0 idle; replay: 1 for playback, with replayState the
// recorded octave shift; a live press shows the latched shift.
void DrawKeyMarker(KeySurface* surface, int index, int pressed, int replay, int replayState);

// What the program does with each live key event the player plays: a
// counted press that sounds, and every release of a playable key (the
// recording hook). Nothing until one is set.
using PlayedKeyHook = void (*)(int32_t message, uint32_t keyData, int32_t octaveShift);
void SetPlayedKeyHook(PlayedKeyHook hook);

// A live key press (256) or release (257); keyData is the key message's
// parameter word (scan code in bits 16..23, previous-state flag in bit 30).
// A release ends exactly what its press sent (note, channel, bass note),
// whatever is chosen by then.
void PlayKeyEvent(KeySurface* surface, uint32_t message, uint32_t keyData);

// Whether the key of a key message's parameter word is held: its press was
// counted and it has not been let go.
bool KeyCountedAsHeld(uint32_t keyData);

// One recorded event, sounded with its recorded octave shift; touches
// neither the latch nor the recording. Message 257 is a release, any other
// a press; a note that the shift takes outside 0..127 is not sent. A
// release ends what the replayed press of its key sent.
void ReplayKeyEvent(KeySurface* surface, uint32_t message, uint32_t keyData, int32_t octaveShift);

// The keyboard focus has gone to another window, or a menu has opened:
// every key still held, from the keyboard or the mouse, is let go as its
// key-up would let it go (and recorded so while recording). The key-ups that
// come later for these keys change nothing.
void LetGoOfHeldKeys(KeySurface* surface);

// Forgets every held and replayed key (the latch becomes free); the octave
// state stays.
void ReleaseHeldKeys();

// Esc: forgets every held key and silences all channels.
void EscapeKey();

// Velocity after a scroll code of the velocity bar (thumb: the thumb position
// for SB_THUMBPOSITION/SB_THUMBTRACK). False for a code that changes nothing.
bool VelocityAfterScroll(int32_t velocity, int code, int thumb, int32_t* result);

// The pitch-bend value a scroll code of the bend bar stands for: the dragged
// thumb while tracking, the rest value when let go. False for other codes.
bool PitchBendAfterScroll(int code, int thumb, int32_t* value);

// The key-map index under a click at (x, y) on a keyboard picture whose
// top-left corner is (left, top), or -1 when no key is there.
int MouseKeyAt(unsigned x, unsigned y, int left, int top);

// Selections (the window moves the menu marks and repaints). The instrument
// and channel go out at once while the output is on.
void SelectChannel(int32_t channel);
void SelectInstrument(int32_t program);
void SelectKey(int32_t keyId);
void ToggleAutoBass();
