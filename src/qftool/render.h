// qftool render: a recording or a MIDI file through the program's own
// synthesizer into a 16-bit stereo WAV file.
#pragma once

#include <cstddef>
#include <cstdint>

// The SoundFont used when none is given: qf.sf2 beside the tool, else the
// General MIDI font that Debian's timgm6mb-soundfont installs.
constexpr const char* SystemSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* ToolSoundFontName = "qf.sf2";

// qftool render FILE.qfi|SONG.mid OUT.wav [--key K] [--instrument P]
// [--bass 0|1] [--sf2 FILE] [--rate HZ] [--track N] [--reverb 0|1]
// [--chorus 0|1]: the
// arguments after the command word. A recording plays as the program plays
// it (--key, --instrument and --bass as for export); a MIDI file plays as
// it is, every channel with its programs, controllers and bends, the
// percussion on channel 10 (--track N: that track alone, with the file's
// tempo map; --key, --instrument and --bass are refused). --reverb 0 and
// --chorus 0 leave that effect out. Exit status 0 when the file was written, 1 otherwise
// (with a message, and no file).
int RenderCommand(int argc, char** argv);

// One MIDI message at its frame.
struct RenderMessage {
    uint64_t frame;
    uint32_t message;
};

enum MidiRenderResult { MidiRenderNotMidi, MidiRenderFailed, MidiRenderRead };

// The messages of the MIDI file at path, in time order with frames at rate
// (track 0: every track, else that track): MidiRenderRead with *messages
// from malloc; MidiRenderFailed after a message; MidiRenderNotMidi, nothing
// said, when the file is no MIDI file or cannot be read.
MidiRenderResult ReadMidiRender(const char* path, uint32_t track, uint32_t rate, RenderMessage** messages,
                              size_t* count);
