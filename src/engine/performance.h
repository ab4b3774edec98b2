// The current performance: output device, musical key, instrument, channel,
// velocity, auto bass, and the octave latch of the keys now held. Portable.
#pragma once

#include <cstdint>

#include "engine/midi_seam.h"

constexpr int BassChannel = 15;      // MIDI channel 16 carries the auto-bass notes
constexpr int NoMouseKey = 255;
constexpr int VelocityBarId = 1344;
constexpr int PitchBendBarId = 1345;
constexpr int PitchBendRest = 8191;  // the value of the bar at rest

// What one press sent, so that its release ends exactly that, whatever key,
// channel or auto bass is chosen by then.
struct SentNote {
    int16_t note = -1;     // -1: the press sent no note
    int16_t channel = 0;
    int16_t bassNote = -1; // on BassChannel; -1: no bass note
};
constexpr int SentNoteDepth = 4; // presses of one key remembered at once

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
    uint8_t pressCount[54] = {};      // counted presses per key-map index
    bool letGo[54] = {};              // let go when the focus left; key-up still to come
    SentNote sent[54][SentNoteDepth]; // what the counted presses sent, the latest last
    uint8_t replayCount[54] = {};     // replayed presses not yet released
    SentNote replayed[54][SentNoteDepth];
};

extern PerformanceSettings gSettings;

// Restores every field to its value at program start.
void ResetPerformanceSettings();

// The counter of held keys for an octave state (-1, 0, +1).
inline int32_t& HeldCount(int32_t state) { return gSettings.heldCount[state + 1]; }
