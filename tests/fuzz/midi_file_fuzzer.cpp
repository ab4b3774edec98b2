// Fuzz target: the MIDI file readers on any bytes (its notes, and its timed
// messages at a rate taken from the input), and the conversion of the notes
// it accepts into key presses, in the song's own key and in one other.
#include <cstdlib>

#include "files/midi_import.h"
#include "files/midi_messages.h"
#include "tools/midi_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MidiSong song;
    char message[200];
    MidiMessageSong messages;
    if (ReadMidiMessages(data, size, size % 2 ? 96000 : 22050, &messages, message, sizeof message))
        FreeMidiMessages(&messages);
    if (!ParseMidiFile(data, size, &song, message, sizeof message)) return 0;
    int32_t keys[2] = {ChooseSongKey(song, AllTracks), 1314};
    for (int32_t keyId : keys) {
        SongKeys out;
        if (!SongKeyEvents(song, size % 3, keyId, &out)) free(out.events);
    }
    FreeMidiSong(&song);
    return 0;
}
