// The export of a recording as a Standard MIDI File: format 0 with one track,
// or format 1 with a second track an octave lower on channel 16 when auto
// bass is on. Each note is written at the pitch playback sounds it: its
// key's note in the musical key with the record's octave shift (the bass an
// octave below that); a note that falls outside 0..127 is left out, its wait
// carried on to the next. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portable/song/recording.h"

constexpr uint32_t ExportDivision = 192;   // ticks per quarter note
constexpr uint32_t ExportTempo = 759494;   // microseconds per quarter note
constexpr uint32_t LargestDeltaTime = 0x0FFFFFFF;

// Writes the file at path; 1 when written, 0 otherwise. The file is written
// beside path under a temporary name and replaces path only when written in
// full; on failure an earlier file at path stays as it was. A keyId that is
// no musical key fails the export unless no event plays a note.
int ExportMidiFile(const RecordedEvent* events, uint32_t count, int32_t keyId, int32_t instrument,
                   int autoBass, const char* path);

// The whole file in memory (from malloc, *size bytes), or nullptr when the
// key has no transposition (and some event plays) or memory ran out.
uint8_t* BuildMidiFile(const RecordedEvent* events, uint32_t count, int32_t keyId, int32_t instrument,
                       int autoBass, size_t* size);

// Ticks of the export's clock for a delay in milliseconds.
uint64_t DelayTicks(uint64_t milliseconds);
