// A MIDI song as key presses on this keyboard, as a jianpu score becomes
// one: each note on the key whose cap shows its degree in the musical key,
// with the octave shift that reaches it (none where none is needed). Portable.
#pragma once

#include <cstdint>

#include "portable/formats/midi_import.h"
#include "portable/song/recording.h"

// All the tracks, or one of them (1..trackCount).
constexpr uint32_t AllTracks = 0;

// The musical key of a song: the one its first key signature names, else
// the one of the 24 that puts the most of its notes (of the track chosen,
// percussion left out) on keys without a shift; among equals the first in
// menu order.
int32_t ChooseSongKey(const MidiSong& song, uint32_t track);

// What the conversion gives.
struct SongKeys {
    RecordedEvent* events; // from malloc, count records
    uint32_t count;
    uint32_t leftOut;      // notes that no key reaches in the musical key
};

// The presses and releases that play the notes of song (of one track or
// all) in the musical key keyId. A note's press and release come at its
// start and end, in whole milliseconds rounded from its time, so nothing
// drifts; a note that starts while its key is down releases the key first,
// and the end of a note that no longer holds its key is passed over. Keys
// still down at the end are released at the time of the song's last note
// event. nullptr on success with *out filled, else a message in English.
const char* SongKeyEvents(const MidiSong& song, uint32_t track, int32_t keyId, SongKeys* out);
