// The product's MIDI backend: the Windows multimedia MIDI output functions.
#include "portable/play/system_midi.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

unsigned SystemMidiOutDeviceCount()
{
    return midiOutGetNumDevs();
}

bool SystemMidiOutDeviceName(int id, char* name, size_t size)
{
    // Read in Unicode, so that a name beyond the system's code page keeps
    // every character.
    MIDIOUTCAPSW caps;
    memset(&caps, 0, sizeof(caps));
    UINT_PTR device = id == MidiMapperId ? (UINT_PTR)MIDI_MAPPER : (UINT_PTR)(unsigned)id;
    if (midiOutGetDevCapsW(device, &caps, sizeof(caps)) != MMSYSERR_NOERROR) return false;
    if (size == 0) return true;
    char utf8[4 * MAXPNAMELEN];
    int units = (int)wcsnlen(caps.szPname, MAXPNAMELEN);
    int n = WideCharToMultiByte(CP_UTF8, 0, caps.szPname, units, utf8, (int)sizeof(utf8), nullptr, nullptr);
    CopyDeviceName(utf8, n > 0 ? (size_t)n : 0, name, size);
    return true;
}

bool SystemMidiOutOpenDevice(int id, MidiOutHandle* handle)
{
    HMIDIOUT out = nullptr;
    UINT device = id == MidiMapperId ? MIDI_MAPPER : (UINT)id;
    if (midiOutOpen(&out, device, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    *handle = (MidiOutHandle)out;
    return true;
}

unsigned SystemMidiOutSendShort(MidiOutHandle handle, uint32_t word)
{
    return midiOutShortMsg((HMIDIOUT)handle, word);
}

void SystemMidiOutCloseDevice(MidiOutHandle handle)
{
    midiOutClose((HMIDIOUT)handle);
}
