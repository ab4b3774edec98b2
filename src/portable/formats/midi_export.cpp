// The MIDI file export.
#include "portable/formats/midi_export.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "portable/formats/recording_file.h"
#include "portable/song/replay.h"

namespace {

constexpr uint8_t HeaderChunk[8] = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
constexpr uint8_t TempoEvent[7] = {0x00, 0xFF, 0x51, 0x03, 0x0B, 0x96, 0xC6};
// After 399 ticks a silent note 1 on and off, then the end of the track: the
// melody track ends a moment after its last note.
constexpr uint8_t MelodyTail[13] = {0x83, 0x0F, 0x90, 0x01, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0xFF, 0x2F, 0x00};
constexpr uint8_t BassTail[4] = {0x00, 0xFF, 0x2F, 0x00};
// A wait longer than the largest delta-time is split: each full step of
// 0x0FFFFFFF ticks is carried by an empty text meta event, which every
// reader passes over, before the event itself with the rest of the wait.
constexpr uint8_t FillerEvent[3] = {0xFF, 0x01, 0x00};
constexpr uint8_t MelodyChannel = 0;
constexpr uint8_t ExportVelocity = 127;

// A track body being built; with no block it only counts the bytes.
struct TrackWriter {
    uint8_t* block;
    uint64_t length;
};

void Put(TrackWriter* w, const uint8_t* bytes, size_t n)
{
    if (w->block) memcpy(w->block + w->length, bytes, n);
    w->length += n;
}

void PutByte(TrackWriter* w, uint8_t byte)
{
    Put(w, &byte, 1);
}

// A delta-time of at most 0x0FFFFFFF ticks as a variable-length quantity.
void PutDelta(TrackWriter* w, uint32_t ticks)
{
    uint8_t bytes[4];
    int n = 0;
    bytes[n++] = ticks & 0x7F;
    while ((ticks >>= 7) != 0) bytes[n++] = 0x80 | (ticks & 0x7F);
    while (n > 0) PutByte(w, bytes[--n]);
}

void PutWait(TrackWriter* w, uint64_t ticks)
{
    for (; ticks > LargestDeltaTime; ticks -= LargestDeltaTime) {
        PutDelta(w, LargestDeltaTime);
        Put(w, FillerEvent, sizeof FillerEvent);
    }
    PutDelta(w, (uint32_t)ticks);
}

// The messages of one channel, each after the wait since the one before.
struct TrackWalk {
    TrackWriter* writer;
    uint8_t channel;
    uint64_t writtenMs; // the time of the last message written
};

void TakeMessage(void* context, uint64_t ms, uint32_t, const NoteMessage& m)
{
    TrackWalk* walk = (TrackWalk*)context;
    if (m.channel != walk->channel) return;
    PutWait(walk->writer, DelayTicks(ms - walk->writtenMs));
    walk->writtenMs = ms;
    uint8_t message[3] = {(uint8_t)((m.velocity ? 0x90 : 0x80) | m.channel), m.note, ExportVelocity};
    Put(walk->writer, message, sizeof message);
}

// Builds one track body (or only counts it). False when an event plays a
// note but keyId has no transposition.
bool BuildTrack(TrackWriter* w, const RecordedEvent* events, uint32_t count, int32_t keyId, int32_t instrument,
                bool bass)
{
    if (!IsKeyId(keyId))
        for (uint32_t i = 0; i < count; i++)
            if (PlayableKey(ScanCodeOf(events[i].keyData))) return false;
    uint8_t channel = bass ? BassChannel : MelodyChannel;
    Put(w, TempoEvent, sizeof TempoEvent);
    uint8_t programChange[3] = {0x00, (uint8_t)(0xC0 | channel), (uint8_t)(instrument & 0x7F)};
    Put(w, programChange, sizeof programChange);
    // The notes as playback sounds them, each at its key's pitch with the
    // record's octave shift; one that the shift puts outside 0..127 is not
    // sounded and is left out, its wait carried on to the next note.
    TrackWalk walk = {w, channel, 0};
    ReplaySettings settings = {keyId, MelodyChannel, ExportVelocity, bass};
    ReplayRecording(events, count, settings, false, TakeMessage, &walk);
    if (bass)
        Put(w, BassTail, sizeof BassTail);
    else
        Put(w, MelodyTail, sizeof MelodyTail);
    return true;
}

void PutBigEndian(uint8_t* at, uint32_t value)
{
    at[0] = (uint8_t)(value >> 24);
    at[1] = (uint8_t)(value >> 16);
    at[2] = (uint8_t)(value >> 8);
    at[3] = (uint8_t)value;
}

} // namespace

uint64_t DelayTicks(uint64_t milliseconds)
{
    // ticks = floor(ms x 192000 / 759494). A carried wait can exceed 32 bits,
    // so the spans of 759494 ms (192000 ticks each) are taken out first and
    // no product overflows.
    uint64_t spans = milliseconds / ExportTempo;
    uint64_t rest = milliseconds % ExportTempo;
    return spans * 192000 + rest * 192000 / ExportTempo;
}

uint8_t* BuildMidiFile(const RecordedEvent* events, uint32_t count, int32_t keyId, int32_t instrument,
                       int autoBass, size_t* size)
{
    int tracks = autoBass ? 2 : 1;
    TrackWriter counted[2] = {{nullptr, 0}, {nullptr, 0}};
    for (int t = 0; t < tracks; t++)
        if (!BuildTrack(&counted[t], events, count, keyId, instrument, t == 1)) return nullptr;
    uint64_t total = 14;
    for (int t = 0; t < tracks; t++) {
        if (counted[t].length > 0xFFFFFFFFu) return nullptr; // no track length field holds it
        total += 8 + counted[t].length;
    }
    if (total > (uint64_t)SIZE_MAX) return nullptr;
    uint8_t* file = (uint8_t*)malloc((size_t)total);
    if (!file) return nullptr;

    memcpy(file, HeaderChunk, sizeof HeaderChunk);
    uint8_t* at = file + sizeof HeaderChunk;
    *at++ = 0;
    *at++ = autoBass ? 1 : 0; // format
    *at++ = 0;
    *at++ = (uint8_t)tracks;
    *at++ = (uint8_t)(ExportDivision >> 8);
    *at++ = (uint8_t)ExportDivision;
    for (int t = 0; t < tracks; t++) {
        memcpy(at, "MTrk", 4);
        PutBigEndian(at + 4, (uint32_t)counted[t].length);
        TrackWriter w = {at + 8, 0};
        BuildTrack(&w, events, count, keyId, instrument, t == 1);
        at += 8 + w.length;
    }
    *size = (size_t)total;
    return file;
}

int ExportMidiFile(const RecordedEvent* events, uint32_t count, int32_t keyId, int32_t instrument,
                   int autoBass, const char* path)
{
    size_t size = 0;
    uint8_t* bytes = BuildMidiFile(events, count, keyId, instrument, autoBass, &size);
    if (!bytes) return 0;
    char* tempPath = nullptr;
    FILE* file = CreateFileBeside(path, &tempPath);
    if (!file) {
        free(bytes);
        return 0;
    }
    bool ok = fwrite(bytes, 1, size, file) == size && fflush(file) == 0;
    free(bytes);
    return FinishFileBeside(file, tempPath, path, ok) ? 1 : 0;
}
