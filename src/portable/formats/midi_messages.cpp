// The Standard MIDI File read as timed channel messages: those of the one
// walk through the file, each at its frame.
#include "portable/formats/midi_messages.h"

#include <cstdlib>

#include "portable/formats/midi_file.h"

bool ReadMidiMessages(const uint8_t* bytes, size_t size, uint32_t sampleRate, MidiMessageSong* song, char* message,
                      size_t messageSize)
{
    if (sampleRate == 0 || sampleRate > 1000000)
        return MidiFail(message, messageSize, "a sample rate of %u is none", sampleRate);
    MidiFile file;
    if (!ReadMidiFile(bytes, size, &file, message, messageSize)) return false;
    uint32_t count = 0;
    for (uint32_t i = 0; i < file.count; i++) count += file.events[i].kind == MidiChannelEvent;
    MidiMessageSong read = {(MidiTimedMessage*)malloc((size_t)count * sizeof(MidiTimedMessage) + 1), 0,
                            file.trackCount};
    bool ok = read.messages ? true : MidiFail(message, messageSize, "out of memory");
    MidiClock clock;
    StartMidiClock(&clock, &file);
    for (uint32_t i = 0; ok && i < file.count; i++) {
        const MidiFileEvent& e = file.events[i];
        if (e.kind != MidiChannelEvent) continue;
        MidiTimedMessage& out = read.messages[read.count++];
        out = {0, e.value, e.track, 0};
        ok = MidiTickFrame(&clock, e.tick, sampleRate, &out.frame, message, messageSize);
    }
    FreeMidiFile(&file);
    if (!ok) {
        FreeMidiMessages(&read);
        return false;
    }
    *song = read;
    return true;
}

void FreeMidiMessages(MidiMessageSong* song)
{
    free(song->messages);
    song->messages = nullptr;
    song->count = 0;
}
