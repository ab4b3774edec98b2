// Learning a song at the keyboard: the song's presses as chords of keys to
// press, what to light, when the song moves on, how each note is judged,
// the passage that repeats and the result. The window forwards the
// player's keys and the clock and draws what this says. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portable/song/recording.h"

// Presses this close to a chord's first press, with the same octave shift,
// belong to it.
constexpr uint32_t PracticeChordWindowMs = 30;
// Timing errors in tempo mode: within this "准", within that "好", else a miss.
constexpr uint32_t ExactWindowMs = 50;
constexpr uint32_t GoodWindowMs = 150;

// One key to press: its scan code and the octave shift it needs (Shift +1,
// Ctrl -1).
struct PracticeNote {
    uint8_t scan;
    int8_t shift;
    uint32_t chord;
};

// Keys pressed together; the song's time of its first press.
struct PracticeChord {
    uint64_t ms;
    uint32_t firstNote;
    uint32_t noteCount;
    int8_t shift;
};

struct PracticeSong {
    PracticeNote* notes;   // from malloc; FreePracticeSong frees them
    uint32_t noteCount;
    PracticeChord* chords;
    uint32_t chordCount;
};

// The song of a recording: every press that playback sounds in keyId and
// that a key reaches with no shift, Shift or Ctrl, in chords. False when
// memory is short; a recording without such a press gives an empty song.
bool BuildPracticeSong(const RecordedEvent* events, uint32_t count, int32_t keyId, PracticeSong* song);
void FreePracticeSong(PracticeSong* song);

enum PracticeMode : uint8_t { PracticeWait, PracticeTempo };
enum Judgement : uint8_t { NotJudged, JudgedExact, JudgedGood, JudgedMiss, JudgedPlayed };

struct PracticeResult {
    uint32_t notes;        // notes played through (each pass of a loop counts)
    uint32_t right;        // wait: in chords without a wrong key; tempo: judged 准 or 好
    uint32_t wrongKeys;
    uint32_t medianErrorMs; // tempo mode: of the notes judged 准 or 好
    bool hasMedian;
};

struct Practice {
    const PracticeSong* song;
    PracticeMode mode;
    uint32_t speedPercent;    // tempo mode: 50, 75, 100 or 125
    uint32_t chord;           // the chord to press now (wait) or the first not yet over (tempo)
    bool looping;             // a passage repeats: chords loopStart..loopEnd
    uint32_t loopStart, loopEnd;
    bool finished;
    // The song's clock: songAnchor at real time realAnchor, running at the
    // speed (wait mode: it holds at the chord to press); reported up to
    // reportedMs. A stretch it jumped over is sounded without its notes.
    int64_t songAnchor;
    uint64_t realAnchor;
    int64_t reportedMs;
    int64_t skippedToMs;
    // Keys down now, and those pressed while the current chord was current
    // (with the shift they were pressed in); wait mode.
    bool down[64];
    bool counted[64];
    int8_t countedShift[64];
    bool chordHadWrongKey;
    Judgement* judged;        // per note, from malloc
    uint32_t errorCounts[GoodWindowMs + 1]; // tempo mode: notes judged 准 or 好 by |timing error| in ms
    PracticeResult result;
};

// Tempo mode starts (and a passage starts again) this long before its first chord.
constexpr uint32_t TempoLeadInMs = 1000;

// Starts practising song (which must outlive the practice) at real time
// nowMs; false when memory is short or the song has no note.
bool StartPractice(Practice* p, const PracticeSong* song, PracticeMode mode, uint32_t speedPercent, uint64_t nowMs);
void StopPractice(Practice* p);

// What a key or the clock changed, for the window to draw and sound.
struct PracticeChange {
    bool moved;            // the chord to press (or the next to judge) is another now
    bool wrongKey;         // the press was no key of the song here
    bool finished;         // the song is over
    bool wrapped;          // the passage started again: what the song sounds ends
    uint32_t judgedNote;   // the note a press or the clock judged, or UINT32_MAX
    Judgement judgement;
};

// A key of the player went down (press) or up, at real time nowMs, in the
// octave shift the player's latch gave it.
PracticeChange PracticeKey(Practice* p, uint32_t scan, int32_t shift, bool press, uint64_t nowMs);

// The stretch of song time the clock passed since the last tick: what the
// accompaniment has in from < ms <= to sounds, but of what lies in
// from < ms <= skippedTo (jumped over to follow the player) only what is no
// note-on.
struct PracticeStretch {
    int64_t from, skippedTo, to;
};

// The clock at real time nowMs: the song's time moves on (misses are judged
// in tempo mode, the passage wraps).
PracticeChange PracticeTick(Practice* p, uint64_t nowMs, PracticeStretch* stretch);

// The song's time at real time nowMs (before the song starts, below 0).
int64_t PracticeSongMs(const Practice* p, uint64_t nowMs);

// The passage to repeat starts (ends) at the current chord; a start after
// the end, or an end before the start, moves the other one there too.
void SetLoopStart(Practice* p);
void SetLoopEnd(Practice* p);

// The chord after the current one, or UINT32_MAX.
uint32_t NextChord(const Practice* p);

// The result so far; the median is worked out here.
PracticeResult PracticeResultNow(const Practice* p);

// Whether a result is better than another: a larger share right, then fewer
// wrong keys, then a smaller median error.
bool BetterResult(const PracticeResult& a, const PracticeResult& b);
