// One walk through a Standard MIDI File (format 0 or 1): its header
// checked, then every track's events read into one list, in time order, of
// what the readers of the file use (channel messages, tempo changes, track
// names and key signatures), each at its tick counted from the start of
// the song. Running status is understood; system-exclusive events and the
// other meta events are passed over; every length and offset is checked
// against the file. And the time of a tick through the file's tempo map,
// kept exact and rounded once to a microsecond or to a frame of a sample
// rate. The notes (midi_import) and the timed messages (midi_messages) are
// read through it. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// What an event of the list is, and what its value holds.
enum MidiFileEventKind : uint8_t {
    MidiChannelEvent,      // the message packed as midiOutShortMsg packs it (status | data1 << 8 | data2 << 16)
    MidiTempoEvent,        // microseconds a quarter note (a tempo event of three bytes)
    MidiTrackNameEvent,    // the length of its text (maybe 0), which is at offset in the file image
    MidiKeySignatureEvent, // its two bytes as written: sharps (signed) | mode << 8
};

struct MidiFileEvent {
    uint64_t tick;  // from the start of the song
    size_t offset;  // where a track name's text is in the file image
    uint32_t order; // as read, so that equal ticks keep the file's order
    uint32_t value;
    uint16_t track; // 0-based, in the order of the file's track chunks
    uint8_t kind;   // a MidiFileEventKind
    uint8_t padding;
};

struct MidiFile {
    MidiFileEvent* events; // from malloc, count records, in time order (the same tick:
                           // by track, then as written); FreeMidiFile frees them
    uint32_t count;
    uint32_t trackCount; // as the header says; every one of them was found
    // Times are counted exactly in units of a microsecond over unitsPerUs:
    // the ticks of a quarter note, or SMPTE frames a second times ticks a
    // frame. SMPTE ticks have a length of their own, smpteTickUnits, which
    // no tempo changes.
    uint64_t unitsPerUs;
    bool smpte;
    uint64_t smpteTickUnits;
};

// Writes a message (printf's way) into message, when there is room for
// one; always false, so that a failure can say it and return at once.
bool MidiFail(char* message, size_t messageSize, const char* format, ...);

// Walks a file image: true with *file filled, else false with a message in
// English (naming the place in the file) in message and nothing to free.
bool ReadMidiFile(const uint8_t* bytes, size_t size, MidiFile* file, char* message, size_t messageSize);

void FreeMidiFile(MidiFile* file);

// The running time of a file's ticks through its tempo map, asked in time
// order: the time of a tick is the sum, over the stretches of one tempo
// before it, of ticks x units a tick (a tempo counts from its tick on),
// kept exact so that nothing drifts.
struct MidiClock {
    const MidiFile* file;
    uint32_t next;         // the next event of the file to look at for a tempo
    uint64_t stretchStart; // the time where the present tempo began, in units
    uint64_t stretchTick;  // and its tick
    uint64_t perTick;      // units a tick in it
};

// A clock at the start of the song, at 120 crotchets a minute until a
// tempo says otherwise.
void StartMidiClock(MidiClock* clock, const MidiFile* file);

// The time of tick (no earlier than the tick asked before) rounded to the
// nearest microsecond: false with a message when it does not fit in 2^63
// of the file's units.
bool MidiTickMicroseconds(MidiClock* clock, uint64_t tick, uint64_t* us, char* message, size_t messageSize);

// The time of tick (no earlier than the tick asked before) as a frame at
// rate (1..1,000,000 a second), rounded once to the nearest: false with a
// message when its frame does not fit in 2^62.
bool MidiTickFrame(MidiClock* clock, uint64_t tick, uint32_t rate, uint64_t* frame, char* message, size_t messageSize);
