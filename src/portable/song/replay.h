// What a recording sounds like: each recorded key event turned into the
// note messages the program sends for it, in the musical key, channel,
// velocity and auto bass chosen. A press sounds its key's note with the
// event's octave shift (and the bass an octave below); a release ends
// exactly what the latest press of its key sent; a key pressed again before
// its release sounds again, both notes on. Playback, the render, the MIDI
// export and the key score all go through ReplayEvent. Portable.
#pragma once

#include <cstdint>

#include "portable/keys/keymap.h"
#include "portable/song/recording.h"

constexpr int BassChannel = 15; // MIDI channel 16 carries the auto-bass notes

// What one press sent, so that its release ends exactly that, whatever key,
// channel or auto bass is chosen by then.
struct SentNote {
    int16_t note = -1;     // -1: the press sent no note
    int16_t channel = 0;
    int16_t bassNote = -1; // on BassChannel; -1: no bass note
};
constexpr int SentNoteDepth = 4; // presses of one key remembered at once

// The presses of each key not yet released, and what they sent.
struct PressStack {
    uint8_t count[KeyMapSize] = {};
    SentNote sent[KeyMapSize][SentNoteDepth];
};

// The place of the latest of the key's presses (count > 0).
SentNote& LatestPress(PressStack* stack, int index);

// Forgets every press.
void ClearPresses(PressStack* stack);

// What a replay sounds in.
struct ReplaySettings {
    int32_t keyId;
    int32_t channel;  // 0..15
    int32_t velocity; // 1..127
    bool autoBass;
};

// One note on (velocity 1..127) or off (velocity 0).
struct NoteMessage {
    uint8_t channel;
    uint8_t note;
    uint8_t velocity;
};

// The notes of a key at octave and semitone in the settings: its note, then
// the bass note an octave below with auto bass; a note outside 0..127 is
// not sent. The messages go into out (n of them); returns what was sent.
SentNote SoundKey(const ReplaySettings& settings, int64_t octave, int32_t semitone, NoteMessage out[2], int* n);

// The note offs that end what a press sent (the note, then the bass);
// returns how many went into out.
int EndSent(const SentNote& sent, NoteMessage out[2]);

// One recorded event: the messages it sends into out, returns how many.
// Message 257 is a release, any other a press; an event of a key that plays
// nothing sends nothing, and so does a release with no press before it.
int ReplayEvent(PressStack* presses, const ReplaySettings& settings, const RecordedEvent& event, NoteMessage out[2]);

// The note offs that end every press still sounding, key by key, at most
// capacity of them into out; returns how many.
int EndEveryPress(PressStack* presses, NoteMessage* out, int capacity);

// A whole recording replayed: take gets every message in order with its
// time in milliseconds from the start and the index of the event that sent
// it; with endHeld, then the ends of the presses still sounding at the last
// event's time (index count).
using ReplayTake = void (*)(void* context, uint64_t ms, uint32_t event, const NoteMessage& message);
void ReplayRecording(const RecordedEvent* events, uint32_t count, const ReplaySettings& settings, bool endHeld,
                     ReplayTake take, void* context);
