// The current performance: output device, musical key, instrument, channel,
// velocity, auto bass, and the octave latch of the keys now held. Portable.
#pragma once

#include <cstdint>

#include "portable/play/midi_seam.h"
#include "portable/song/replay.h"

constexpr int NoMouseKey = 255;
constexpr int VelocityBarId = 1344;
constexpr int PitchBendBarId = 1345;
constexpr int PitchBendRest = 8191;  // the value of the bar at rest

struct PerformanceSettings {
    bool switchOn = false;      // the output device is open
    MidiOutHandle midiOut = 0;
    int32_t device = -1;        // -1 the MIDI mapper, else 0..255
    int32_t keyId = 1297;       // C major
    int32_t instrument = 0;     // General MIDI program 0..127
    int32_t channel = 0;        // 0..14, shown as 1..15
    int32_t velocity = 127;     // 1..127
    bool autoBass = false;
    int32_t octaveState = 0;    // -1, 0, +1: the shift shared by the keys held
    int32_t heldCount[3] = {0, 0, 0}; // keys held per octave state -1, 0, +1
    int32_t mouseKey = NoMouseKey;    // key-map index held with the mouse
    PressStack held;                  // the counted presses per key-map index and what they sent
    bool letGo[KeyMapSize] = {};      // let go when the focus left; key-up still to come
    PressStack replayed;              // replayed presses not yet released
};

extern PerformanceSettings gSettings;

// Restores every field to its value at program start.
void ResetPerformanceSettings();

// The counter of held keys for an octave state (-1, 0, +1).
inline int32_t& HeldCount(int32_t state) { return gSettings.heldCount[state + 1]; }
