// The Standard MIDI File reader: the notes of the one walk through the file,
// timed in microseconds, with its key signature and what each track says.
#include "portable/formats/midi_import.h"

#include <cstdlib>
#include <cstring>

#include "portable/formats/midi_file.h"

namespace {

// What a channel event tells of its track: a note start off the percussion
// channel counts, the first program change there is the track's instrument.
void NoteChannelEvent(MidiTrackFacts* facts, uint8_t status, uint8_t first, uint8_t second)
{
    int32_t channel = status & 0x0F;
    if (channel == PercussionChannel) return;
    if ((status & 0xF0) == 0xC0 && facts->program < 0) {
        facts->program = first;
        if (facts->channel < 0) facts->channel = channel;
    }
    if ((status & 0xF0) == 0x90 && second > 0) {
        if (facts->noteCount++ == 0) facts->channel = channel;
    }
}

bool IsNote(const MidiFileEvent& e)
{
    return e.kind == MidiChannelEvent && ((e.value & 0xF0) == 0x80 || (e.value & 0xF0) == 0x90);
}

// The notes, the key signature and the tracks' facts from the file's
// events, which are in time order (and so, within a track, as written).
bool TakeEvents(const MidiFile& file, MidiSong* song, char* message, size_t messageSize)
{
    MidiClock clock;
    StartMidiClock(&clock, &file);
    for (uint32_t i = 0; i < file.count; i++) {
        const MidiFileEvent& e = file.events[i];
        MidiTrackFacts* facts = &song->tracks[e.track];
        uint8_t status = (uint8_t)e.value, first = (uint8_t)(e.value >> 8), second = (uint8_t)(e.value >> 16);
        if (e.kind == MidiTrackNameEvent && e.value > 0 && facts->nameLength == 0) {
            facts->nameOffset = e.offset;
            facts->nameLength = e.value;
        }
        int32_t sharps = (int8_t)status; // a key signature's first byte
        if (e.kind == MidiKeySignatureEvent && sharps >= -7 && sharps <= 7 && first <= 1 && !song->hasKeySignature) {
            song->hasKeySignature = true; // the first of the file
            song->sharps = sharps;
            song->minor = first == 1;
        }
        if (e.kind == MidiChannelEvent) NoteChannelEvent(facts, status, first, second);
        if (!IsNote(e)) continue;
        MidiNoteEvent& note = song->events[song->count++];
        note = {0, e.track, (uint8_t)(status & 0x0F), first, (status & 0xF0) == 0x90 ? second : (uint8_t)0, {0, 0, 0}};
        if (!MidiTickMicroseconds(&clock, e.tick, &note.timeUs, message, messageSize)) return false;
    }
    return true;
}

} // namespace

bool LooksLikeMidiFile(const uint8_t* bytes, size_t size)
{
    return size >= 4 && memcmp(bytes, "MThd", 4) == 0;
}

bool ParseMidiFile(const uint8_t* bytes, size_t size, MidiSong* song, char* message, size_t messageSize)
{
    MidiFile file;
    if (!ReadMidiFile(bytes, size, &file, message, messageSize)) return false;
    uint32_t notes = 0;
    for (uint32_t i = 0; i < file.count; i++) notes += IsNote(file.events[i]);
    MidiSong read = {(MidiNoteEvent*)malloc((size_t)notes * sizeof(MidiNoteEvent) + 1), 0, file.trackCount, false, 0,
                     false, (MidiTrackFacts*)malloc((size_t)file.trackCount * sizeof(MidiTrackFacts))};
    bool ok = read.events && read.tracks ? true : MidiFail(message, messageSize, "out of memory");
    for (uint32_t i = 0; ok && i < file.trackCount; i++) read.tracks[i] = {0, 0, 0, -1, -1};
    ok = ok && TakeEvents(file, &read, message, messageSize);
    FreeMidiFile(&file);
    if (!ok) {
        FreeMidiSong(&read);
        return false;
    }
    *song = read;
    return true;
}

void FreeMidiSong(MidiSong* song)
{
    free(song->events);
    free(song->tracks);
    song->events = nullptr;
    song->tracks = nullptr;
    song->count = 0;
}
