// The qftool commands that read songs from recording or MIDI files.
#pragma once

// qftool info FILE [--track N] [--key K|auto]: the recording's header lines
// and one line per event.
int SongInfoCommand(int argc, char** argv);

// qftool keys FILE [--track N] [--key K|auto]: the keys to press.
int SongKeysCommand(int argc, char** argv);

// qftool import SONG.mid OUT.qfi [--track N] [--key K|auto]: a MIDI file as
// a recording of key presses.
int ImportCommand(int argc, char** argv);
