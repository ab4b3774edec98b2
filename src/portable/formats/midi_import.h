// The reading of a Standard MIDI File (format 0 or 1) into the starts and
// ends of its notes, timed in microseconds from the start through the
// file's tempo changes. Running status, note-ons of velocity 0 (ends),
// meta and system-exclusive events are understood; every length and offset
// is checked against the file; each track's name, note count and first
// program change are noted. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// Channel 10, whose notes are drums, not pitches.
constexpr uint8_t PercussionChannel = 9;

// What a track says of itself.
struct MidiTrackFacts {
    size_t nameOffset;   // where the text of its first track-name event is in the file image
    uint32_t nameLength; // its length; 0: none
    uint32_t noteCount;  // its note starts off the percussion channel
    int32_t program;     // its first program change off the percussion channel; -1 none
    int32_t channel;     // the channel of its first such note, else of that program change; -1 none
};

// One note starting or ending.
struct MidiNoteEvent {
    uint64_t timeUs;  // from the start of the song, rounded to the microsecond
    uint16_t track;   // 0-based, in the order of the file's track chunks
    uint8_t channel;  // 0..15
    uint8_t note;     // 0..127
    uint8_t velocity; // 1..127 for a start, 0 for an end
    uint8_t padding[3];
};

struct MidiSong {
    MidiNoteEvent* events; // from malloc, count records, in time order (the same
                           // time: by track, then as written); FreeMidiSong frees them
    uint32_t count;
    uint32_t trackCount;
    bool hasKeySignature;  // the first key signature of the file:
    int32_t sharps;        // -7..7 (flats below 0)
    bool minor;
    MidiTrackFacts* tracks; // trackCount records, from malloc; FreeMidiSong frees them
};

// Reads a file image: true with *song filled, else false with a message in
// English (naming the place in the file) in message and nothing to free.
bool ParseMidiFile(const uint8_t* bytes, size_t size, MidiSong* song, char* message, size_t messageSize);

void FreeMidiSong(MidiSong* song);

// True when bytes begin as a Standard MIDI File does ("MThd").
bool LooksLikeMidiFile(const uint8_t* bytes, size_t size);
