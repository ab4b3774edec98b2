// The product's MIDI backend: the Windows multimedia MIDI output functions.
#include "engine/midi_seam.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

unsigned MidiOutDeviceCount()
{
    return midiOutGetNumDevs();
}

bool MidiOutDeviceName(int id, char* name, size_t size)
{
    MIDIOUTCAPSA caps;
    memset(&caps, 0, sizeof(caps));
    UINT_PTR device = id == MidiMapperId ? (UINT_PTR)MIDI_MAPPER : (UINT_PTR)(unsigned)id;
    if (midiOutGetDevCapsA(device, &caps, sizeof(caps)) != MMSYSERR_NOERROR) return false;
    if (size == 0) return true;
    size_t n = strnlen(caps.szPname, sizeof(caps.szPname));
    if (n >= size) n = size - 1;
    memcpy(name, caps.szPname, n);
    name[n] = 0;
    return true;
}

bool MidiOutOpenDevice(int id, MidiOutHandle* handle)
{
    HMIDIOUT out = nullptr;
    UINT device = id == MidiMapperId ? MIDI_MAPPER : (UINT)id;
    if (midiOutOpen(&out, device, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    *handle = (MidiOutHandle)out;
    return true;
}

unsigned MidiOutSendShort(MidiOutHandle handle, uint32_t word)
{
    return midiOutShortMsg((HMIDIOUT)handle, word);
}

void MidiOutCloseDevice(MidiOutHandle handle)
{
    midiOutClose((HMIDIOUT)handle);
}
