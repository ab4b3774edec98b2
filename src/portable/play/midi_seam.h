// The five operations of MIDI output, over every device the program offers:
// the system's devices (system_midi.h: winmm in the product, capture in
// tests, chosen at link time) and, after them at index = the system's count,
// the built-in synthesizer (live/device_seam.cpp). Nothing else in the
// program knows which device it has.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uintptr_t MidiOutHandle;

constexpr int MidiMapperId = -1; // MIDI_MAPPER

// Room for a device's name in UTF-8 with its terminator (the system's names
// hold at most 31 UTF-16 units).
constexpr size_t DeviceNameSize = 128;

// Copies the first length bytes of a UTF-8 name into name (size bytes, at
// least 1), cut before the character that does not fit.
inline void CopyDeviceName(const char* text, size_t length, char* name, size_t size)
{
    if (length >= size) {
        length = size - 1;
        while (length > 0 && ((unsigned char)text[length] & 0xC0) == 0x80) length--;
    }
    for (size_t i = 0; i < length; i++) name[i] = text[i];
    name[length] = 0;
}

// The number of MIDI output devices, the built-in one included.
unsigned MidiOutDeviceCount();

// Copies the display name of device id (-1 the mapper) into name as UTF-8,
// at most size bytes with the terminator (cut at a character boundary).
// False when the capabilities cannot be read.
bool MidiOutDeviceName(int id, char* name, size_t size);

// Opens device id (-1 the mapper). False, and *handle untouched, on failure.
bool MidiOutOpenDevice(int id, MidiOutHandle* handle);

// Sends one packed short message; returns the platform's result (0 is success).
unsigned MidiOutSendShort(MidiOutHandle handle, uint32_t word);

// Closes an open device.
void MidiOutCloseDevice(MidiOutHandle handle);
