// The program's MIDI devices: the system's, then the built-in synthesizer at
// index = the system's count. The system's traffic passes through untouched.
#include "portable/play/midi_seam.h"

#include <cstring>

#include "portable/play/system_midi.h"
#include "portable/live/live_device.h"
#include "portable/live/audio_output.h"

namespace {

const SoundFont* gOfferedFont; // nullptr: the built-in device is not offered
unsigned gLiveId;              // its id: the system's count when it was offered

// Stands for the built-in device where a system handle would be: the
// address of a variable of this program is never a handle of the system's
// MIDI functions (nor of the capture backend, whose handles are 1..257).
char gLiveHandle;

MidiOutHandle LiveHandle() { return (MidiOutHandle)&gLiveHandle; }

bool IsLiveDevice(int id)
{
    return gOfferedFont && id >= 0 && (unsigned)id == gLiveId;
}

} // namespace

void OfferLiveDevice(const SoundFont* font)
{
    gLiveId = SystemMidiOutDeviceCount();
    gOfferedFont = font && (gLiveId > 0 || AudioOutputPresent()) ? font : nullptr;
}

bool LiveDeviceReady(int32_t* id)
{
    if (!gOfferedFont || !AudioOutputPresent()) return false;
    *id = (int32_t)gLiveId;
    return true;
}

// A system device that comes later never takes the built-in device's id.
unsigned MidiOutDeviceCount()
{
    return gOfferedFont ? gLiveId + 1 : SystemMidiOutDeviceCount();
}

bool MidiOutDeviceName(int id, char* name, size_t size)
{
    // The mapper maps to the system's devices: without any it is not offered.
    if (id == MidiMapperId && SystemMidiOutDeviceCount() == 0) return false;
    if (!IsLiveDevice(id)) return SystemMidiOutDeviceName(id, name, size);
    if (size) CopyDeviceName(LiveDeviceName, strlen(LiveDeviceName), name, size);
    return true;
}

bool MidiOutOpenDevice(int id, MidiOutHandle* handle)
{
    if (!IsLiveDevice(id)) return SystemMidiOutOpenDevice(id, handle);
    if (!OpenLiveDevice(gOfferedFont)) return false;
    *handle = LiveHandle();
    return true;
}

unsigned MidiOutSendShort(MidiOutHandle handle, uint32_t word)
{
    if (handle != LiveHandle()) return SystemMidiOutSendShort(handle, word);
    return SendLiveMessage(word) ? 0 : 1;
}

void MidiOutCloseDevice(MidiOutHandle handle)
{
    if (handle != LiveHandle()) SystemMidiOutCloseDevice(handle);
    else CloseLiveDevice();
}
