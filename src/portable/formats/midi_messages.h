// A Standard MIDI File (format 0 or 1) as the channel messages it plays:
// every note, controller, program change, pressure and pitch bend of its
// tracks, each at its frame of a sample rate, timed exactly through the
// file's tempo map. Running status is understood; meta events other than
// tempo changes and system-exclusive events are passed over; every length
// and offset is checked against the file. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// One channel message, packed as midiOutShortMsg packs it (status | data1
// << 8 | data2 << 16), at its frame counted from the start of the song.
struct MidiTimedMessage {
    uint64_t frame;
    uint32_t message;
    uint16_t track;  // 0-based, in the order of the file's track chunks
    uint16_t padding;
};

struct MidiMessageSong {
    MidiTimedMessage* messages; // from malloc, in time order (the same frame:
                                // by track, then as written)
    uint32_t count;
    uint32_t trackCount;
};

// Reads a file image with frames at sampleRate (1..1,000,000): true with
// *song filled, else false with a message in English (naming the place in
// the file) and nothing to free. A song whose frames do not fit in 2^62 is
// refused as too long.
bool ReadMidiMessages(const uint8_t* bytes, size_t size, uint32_t sampleRate, MidiMessageSong* song, char* message,
                      size_t messageSize);

void FreeMidiMessages(MidiMessageSong* song);
