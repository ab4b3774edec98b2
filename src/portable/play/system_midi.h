// The system's MIDI output devices: the same five operations as the program's
// seam (midi_seam.h), over the system's devices alone. Two backends implement
// them, chosen at link time: winmm (the product) and capture (tests), which
// logs every call.
#pragma once

#include "portable/play/midi_seam.h"

unsigned SystemMidiOutDeviceCount();
bool SystemMidiOutDeviceName(int id, char* name, size_t size);
bool SystemMidiOutOpenDevice(int id, MidiOutHandle* handle);
unsigned SystemMidiOutSendShort(MidiOutHandle handle, uint32_t word);
void SystemMidiOutCloseDevice(MidiOutHandle handle);
