// qftool render: a recording through the program's own synthesizer into a
// 16-bit stereo WAV file.
#pragma once

// The SoundFont used when none is given: qf.sf2 beside the tool, else the
// General MIDI font that Debian's timgm6mb-soundfont installs.
constexpr const char* SystemSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* ToolSoundFontName = "qf.sf2";

// qftool render FILE.qfi|SONG.mid OUT.wav [--key K] [--instrument P]
// [--bass 0|1] [--sf2 FILE] [--rate HZ] [--track N]: the arguments after the
// command word (a MIDI file is read as import reads it, --key and --track
// choosing its key and track). Exit
// status 0 when the file was written, 1 otherwise (with a message, and no
// file).
int RenderCommand(int argc, char** argv);
