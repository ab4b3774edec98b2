#include "portable/play/midi_output.h"

#include "portable/play/performance.h"

#include <cstring>

unsigned SendShortMessage(MidiOutHandle out, uint32_t status, uint32_t channel, uint32_t data1, uint32_t data2)
{
    return MidiOutSendShort(out, PackShortMessage(status, channel, data1, data2));
}

unsigned SendNoteOn(MidiOutHandle out, int32_t channel, int32_t note, int32_t velocity)
{
    return SendShortMessage(out, 0x90, (uint32_t)channel, (uint32_t)note, (uint32_t)velocity);
}

unsigned SendNoteOff(MidiOutHandle out, int32_t channel, int32_t note, int32_t velocity)
{
    return SendShortMessage(out, 0x80, (uint32_t)channel, (uint32_t)note, (uint32_t)velocity);
}

unsigned SendProgramChange(MidiOutHandle out, int32_t channel, int32_t program)
{
    return SendShortMessage(out, 0xC0, (uint32_t)channel, (uint32_t)program, 0);
}

unsigned SendPitchBend(MidiOutHandle out, int32_t channel, int32_t value)
{
    return SendShortMessage(out, 0xE0, (uint32_t)channel, (uint32_t)value & 0x7F, (uint32_t)value >> 7);
}

void SendInstrument()
{
    SendProgramChange(gSettings.midiOut, gSettings.channel, gSettings.instrument);
    SendProgramChange(gSettings.midiOut, BassChannel, gSettings.instrument);
}

void SilenceAllChannels()
{
    for (uint32_t channel = 0; channel < 16; channel++)
        SendShortMessage(gSettings.midiOut, 0xB0, channel, 123, 0);
}

SwitchResult SwitchOutputOn()
{
    if (gSettings.switchOn) return SwitchAlreadyOn;
    if (!MidiOutOpenDevice(gSettings.device, &gSettings.midiOut)) return SwitchFailed;
    SendInstrument();
    gSettings.switchOn = true;
    return SwitchOpened;
}

bool SwitchOutputOff()
{
    if (!gSettings.switchOn) return false;
    SilenceAllChannels();
    MidiOutCloseDevice(gSettings.midiOut);
    gSettings.midiOut = 0;
    gSettings.switchOn = false;
    return true;
}

bool StartupOpenOutput()
{
    if (!MidiOutOpenDevice(gSettings.device, &gSettings.midiOut)) return false;
    SendProgramChange(gSettings.midiOut, gSettings.channel, gSettings.instrument);
    gSettings.switchOn = true;
    return true;
}

bool MapperAvailable(char* name, unsigned size)
{
    if (MidiOutDeviceName(MidiMapperId, name, size)) return true;
    gSettings.device = 0;
    return false;
}

bool FindDeviceByName(const char* name, int32_t* device)
{
    char candidate[DeviceNameSize];
    unsigned count = MidiOutDeviceCount();
    for (int32_t id = MidiMapperId; id < (int32_t)count; id++) {
        if (MidiOutDeviceName(id, candidate, sizeof(candidate)) && strcmp(candidate, name) == 0) {
            *device = id;
            return true;
        }
    }
    return false;
}
