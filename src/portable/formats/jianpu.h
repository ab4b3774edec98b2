// Songs in jianpu (numbered notation): a plain-text score read into notes,
// the notes turned into the key presses and releases that play them on this
// keyboard, and a recording listed as the keys to press. Portable (no
// windows.h); used by qftool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "portable/song/recording.h"

// Lengths are counted in parts of a beat that divide evenly by 32 (a plain
// note is 32 of its 32nds, q 16, s 8, d 4) and by every odd tuplet count up
// to 15, so that a triplet or quintuplet of them is exact.
constexpr uint64_t ScoreUnitsPerBeat = 32 * 45045;
constexpr int32_t DefaultScoreTempo = 90; // beats per minute
constexpr int32_t LowestScoreTempo = 10;
constexpr int32_t HighestScoreTempo = 500;

// Each note is released this many milliseconds before its written end (at
// most a quarter of its length), so that a repeated note strikes again.
constexpr uint32_t ReleaseGapMs = 30;

// Presses this close to the first press of a line of the key listing join it.
constexpr uint32_t ChordWindowMs = 30;

// One note or rest of a score, in the order written.
// A repeat is written out: the notes of the passage appear twice.
struct ScoreNote {
    int32_t note;      // MIDI note number; -1 for a rest
    uint64_t length;   // in ScoreUnitsPerBeat parts of a beat
    int32_t halfBeats; // the tempo in force, in half beats a minute (4=90 is 180, 4.=60 is 180)
    uint32_t line;     // where it is written (1-based)
    uint32_t column;
    bool tied;         // tied to the next note: one press lasts for both when it is the same note
};

struct Score {
    ScoreNote* notes; // from malloc, count records; FreeScore releases them
    uint32_t count;
    int32_t keyId;    // the musical key in force at the first sounding note
};

// Where a score went wrong and what was expected there. Columns count the
// characters of the line from 1 (a Chinese character is one).
struct ScoreError {
    uint32_t line;
    uint32_t column;
    char text[300]; // UTF-8
};

// Reads a score from the bytes of its file (UTF-8 with or without a byte
// order mark, else GBK; UTF-16 is refused with a message that says how to
// save it). True with *score filled; false with *error filled and nothing to
// free. A score without a sounding note is an error.
bool ParseScore(const uint8_t* bytes, size_t size, Score* score, ScoreError* error);

void FreeScore(Score* score);

// The key that plays a MIDI note in the musical key keyId, and the octave
// shift it needs: no shift if one reaches it, else Shift (+1), else Ctrl
// (-1); among equal keys the home and letter rows. False when none does.
bool ChooseKey(int32_t note, int32_t keyId, uint32_t* scanCode, int32_t* octaveShift);

// The major key (or, when minor, the minor key) whose degree 1 (that of its
// relative major for a minor key) has the pitch class given (0 is C).
int32_t KeyOfPitchClass(int32_t pitchClass, bool minor);

// The key that a mark "1=X" (major) or "6=x" (minor) names, X a letter A..G
// with a # or b before or after it; false when it names none.
bool KeyOfMark(const char* text, size_t length, int32_t* keyId);

// The mark that names a key as a score writes it ("1=bE", "6=#f"), or "".
const char* KeyMarkName(int32_t keyId);

// The key presses and releases that play the score, as the keyboard reports
// them, timed by the tempo to the millisecond without drift. True with
// *events (from malloc) and *count; false with *error naming the note that
// no key reaches, or one beyond the length a recording can hold.
bool ScoreEvents(const Score& score, RecordedEvent** events, uint32_t* count, ScoreError* error);

// The name of the key of a scan code on a US keyboard ("A", ";", "["), or
// "" for a scan code that plays nothing.
const char* KeyCapName(uint32_t scanCode);

// Prints the keys to press for a recording, one line per press (or chord):
// "<seconds with three decimals>" then, for each key, two blanks,
// "[Shift+|Ctrl+]<key> <degree with ' or , marks>". The presses are those
// that playback sounds in the musical key keyId; records that play nothing
// are left out but their time counts.
void WriteKeyScore(FILE* out, const RecordedEvent* events, uint32_t count, int32_t keyId);
