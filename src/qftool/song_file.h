// qftool's songs: a recording file (.qfi) or a Standard MIDI File, told apart
// by what the file holds, read as recording-file data; and the options that
// say how a MIDI file becomes a recording (as qftool import makes one).
#pragma once

#include <cstdint>

#include "portable/formats/recording_file.h"

struct SongOptions {
    uint32_t track; // AllTracks, or 1..the file's track count
    bool autoKey;   // the key from the song (the default)
    int32_t keyId;  // else this key
    bool given;     // --track or --key was given
};

// Splits the arguments into exactly positionalCount positional ones and the
// options --track N and --key K|auto (K a key identifier as a recording
// stores it, 1297..1332, or a key written as in jianpu, 1=G or 6=e). False
// after a message (the usage line when the count is wrong) on anything else.
bool ParseSongArguments(int argc, char** argv, int positionalCount, const char** positional, SongOptions* options,
                        const char* usage);

// Reads the song at path: a recording file as it is (then no option may be
// given), a MIDI file converted with the options. A file that begins with
// "MThd" is read as MIDI, one that begins with "RIFF" as a recording, any
// other by its name (.mid or .midi as MIDI); with midiOnly only MIDI is read. Notes that no key reaches are counted in a warning. False
// after a message.
bool ReadSong(const char* path, const SongOptions& options, bool midiOnly, RecordingFileData* data);
