// qftool's songs: a recording file (.qfi) or a Standard MIDI File, read by
// the portable song reader, its messages written to standard error; and the
// options that say how a MIDI file becomes a recording.
#pragma once

#include <cstdint>

#include "portable/formats/recording_file.h"
#include "portable/formats/song_file.h"

// Splits the arguments into exactly positionalCount positional ones and the
// options --track N and --key K|auto (K a key identifier as a recording
// stores it, 1297..1332, or a key written as in jianpu, 1=G or 6=e). False
// after a message (the usage line when the count is wrong) on anything else.
bool ParseSongArguments(int argc, char** argv, int positionalCount, const char** positional, SongOptions* options,
                        const char* usage);

// Writes the message of a song read (an error or a warning), if any:
// "qftool: " before it unless it names a place in a score.
void ShowSongMessage(const SongFile& song, const char* path);

// Reads the song at path: a recording file as it is (then no option may be
// given), a MIDI file converted with the options. A file that begins with
// "MThd" is read as MIDI, one that begins with "RIFF" as a recording, any
// other by its name (.mid or .midi as MIDI); with midiOnly only MIDI is read. Notes that no key reaches are counted in a warning. False
// after a message.
bool ReadSong(const char* path, const SongOptions& options, bool midiOnly, RecordingFileData* data);
