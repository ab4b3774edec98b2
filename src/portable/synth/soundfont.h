// The SoundFont 2 file (RIFF form "sfbk", the published 2.01 format): its
// 16-bit sample data and its presets, instruments, zones and modulators,
// checked in full when read. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "portable/synth/generators.h"

// A zone of a preset or an instrument: the generators it sets, its key and
// velocity range, and what it sounds (an instrument for a preset zone, a
// sample for an instrument zone). A global zone's values were already folded
// into each zone of its preset or instrument when the file was read.
struct SfZone {
    uint64_t setMask;                 // bit n: generator n is set in gen[n]
    int16_t gen[SfGeneratorCount];
    uint8_t keyLow, keyHigh, velLow, velHigh;
    uint32_t target;                  // instrument or sample index
    // Into SoundFont::modulators: the global zone's, then the zone's own
    // (which replace identical global ones).
    uint32_t globalModulator, globalModulatorCount;
    uint32_t firstModulator, modulatorCount;
};

struct SfPreset {
    char name[21];
    uint16_t program, bank;
    uint32_t firstZone, zoneCount;    // into SoundFont::presetZones
};

struct SfInstrument {
    char name[21];
    uint32_t firstZone, zoneCount;    // into SoundFont::instrumentZones
};

struct SfSample {
    char name[21];
    uint32_t start, end, loopStart, loopEnd; // sample points in SoundFont::sampleData
    uint32_t sampleRate;
    uint8_t originalPitch;
    int8_t pitchCorrection;           // cents
    bool rom;                         // a ROM sample: no data here, never sounds
};

// The parsed font with its sample data; read-only once loaded, shareable by
// several Synth. Everything is from malloc and freed by FreeSoundFont.
struct SoundFont {
    char name[257];                   // INAM, or empty
    int16_t* sampleData;
    uint32_t sampleFrames;
    SfSample* samples;
    uint32_t sampleCount;
    SfPreset* presets;
    uint32_t presetCount;
    SfInstrument* instruments;
    uint32_t instrumentCount;
    SfZone* presetZones;
    uint32_t presetZoneCount;
    SfZone* instrumentZones;
    uint32_t instrumentZoneCount;
    SfModulator* modulators;          // preset and instrument zones' alike
    uint32_t modulatorCount;
};

// From bytes in memory (tests, fuzzer). False and a one-line English message
// (what is wrong, e.g. "pdta: pbag index 812 beyond the 640 bags") into
// message on any damage; nothing kept then.
bool ReadSoundFont(const uint8_t* bytes, size_t size, SoundFont* font, char* message, size_t messageSize);

// From an open file (the caller opens and closes it, so UTF-8 names work on
// Windows through OpenPathFile of files/recording_file.h). The sample data
// is read straight into its place: the file is never held twice in memory.
bool LoadSoundFont(FILE* file, SoundFont* font, char* message, size_t messageSize);

// Frees what a successful read holds and empties the font.
void FreeSoundFont(SoundFont* font);

// The preset of bank and program, or -1 when the font has none.
int32_t FindPreset(const SoundFont* font, uint32_t bank, uint32_t program);
