// Every MIDI message the program sends, and the output device's life:
// switch on and off, device change, the start-up open. Portable: the device
// is reached through the MIDI seam. Message boxes and menu marks are the
// window's business; these procedures report what happened.
#pragma once

#include <cstdint>

#include "portable/play/midi_seam.h"

// The 32-bit short-message word: status + channel, then two data bytes.
constexpr uint32_t PackShortMessage(uint32_t status, uint32_t channel, uint32_t data1, uint32_t data2)
{
    return (status + channel) | (data1 << 8) | (data2 << 16);
}

unsigned SendShortMessage(MidiOutHandle out, uint32_t status, uint32_t channel, uint32_t data1, uint32_t data2);

// Note on/off of a MIDI note 0..127 (the player works the note out with
// NoteNumber and remembers it, so that a release ends what its press began).
unsigned SendNoteOn(MidiOutHandle out, int32_t channel, int32_t note, int32_t velocity);
unsigned SendNoteOff(MidiOutHandle out, int32_t channel, int32_t note, int32_t velocity);
unsigned SendProgramChange(MidiOutHandle out, int32_t channel, int32_t program);
unsigned SendPitchBend(MidiOutHandle out, int32_t channel, int32_t value); // 0..0x3FFF

// The current instrument to the selected channel, then to the bass channel.
void SendInstrument();

// All Notes Off on channels 0..15 in order.
void SilenceAllChannels();

enum SwitchResult { SwitchAlreadyOn, SwitchOpened, SwitchFailed };

// Opens the selected device and sends the instrument to both channels.
SwitchResult SwitchOutputOn();

// Silences every channel and closes the device; false when it was off.
bool SwitchOutputOff();

// The open at start-up: on success one program change on the selected
// channel only. False when the device could not be opened.
bool StartupOpenOutput();

// The device list for the device menu: whether the mapper's capabilities
// can be read (when not, the selected device becomes 0).
bool MapperAvailable(char* name, unsigned size);

// The device (-1 the mapper, else 0..count-1) whose name is name (UTF-8),
// the first one of that name; false when there is none.
bool FindDeviceByName(const char* name, int32_t* device);
