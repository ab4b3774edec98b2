// Fuzz target: the MIDI file reader on any bytes, and the conversion of what
// it accepts into key presses, in the song's own key and in one other.
#include <cstdlib>

#include "portable/formats/midi_import.h"
#include "portable/formats/midi_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MidiSong song;
    char message[200];
    if (!ParseMidiFile(data, size, &song, message, sizeof message)) return 0;
    int32_t keys[2] = {ChooseSongKey(song, AllTracks), 1314};
    for (int32_t keyId : keys) {
        SongKeys out;
        if (!SongKeyEvents(song, size % 3, keyId, &out)) free(out.events);
    }
    FreeMidiSong(&song);
    return 0;
}
