// The SoundFont 2.01 generators and modulators as constant data: each
// generator's number, default, range and whether a preset may set it; the
// default modulators every voice starts with. Portable.
#pragma once

#include <cstdint>

// Generator numbers of the format (its section 8.1.2).
enum SfGenerator : int {
    GenStartAddrsOffset = 0,
    GenEndAddrsOffset = 1,
    GenStartloopAddrsOffset = 2,
    GenEndloopAddrsOffset = 3,
    GenStartAddrsCoarseOffset = 4,
    GenModLfoToPitch = 5,
    GenVibLfoToPitch = 6,
    GenModEnvToPitch = 7,
    GenInitialFilterFc = 8,
    GenInitialFilterQ = 9,
    GenModLfoToFilterFc = 10,
    GenModEnvToFilterFc = 11,
    GenEndAddrsCoarseOffset = 12,
    GenModLfoToVolume = 13,
    GenChorusEffectsSend = 15,
    GenReverbEffectsSend = 16,
    GenPan = 17,
    GenDelayModLfo = 21,
    GenFreqModLfo = 22,
    GenDelayVibLfo = 23,
    GenFreqVibLfo = 24,
    GenDelayModEnv = 25,
    GenAttackModEnv = 26,
    GenHoldModEnv = 27,
    GenDecayModEnv = 28,
    GenSustainModEnv = 29,
    GenReleaseModEnv = 30,
    GenKeynumToModEnvHold = 31,
    GenKeynumToModEnvDecay = 32,
    GenDelayVolEnv = 33,
    GenAttackVolEnv = 34,
    GenHoldVolEnv = 35,
    GenDecayVolEnv = 36,
    GenSustainVolEnv = 37,
    GenReleaseVolEnv = 38,
    GenKeynumToVolEnvHold = 39,
    GenKeynumToVolEnvDecay = 40,
    GenInstrument = 41,
    GenKeyRange = 43,
    GenVelRange = 44,
    GenStartloopAddrsCoarseOffset = 45,
    GenKeynum = 46,
    GenVelocity = 47,
    GenInitialAttenuation = 48,
    GenEndloopAddrsCoarseOffset = 50,
    GenCoarseTune = 51,
    GenFineTune = 52,
    GenSampleId = 53,
    GenSampleModes = 54,
    GenScaleTuning = 56,
    GenExclusiveClass = 57,
    GenOverridingRootKey = 58,
    SfGeneratorCount = 61, // the numbers a file may use: 0..60
    // Not a generator of the file: the destination "initial pitch" of the
    // pitch wheel modulator, in cents.
    GenPitch = 61,
    VoiceGeneratorCount = 62,
};

struct GeneratorInfo {
    int16_t defaultValue;
    int16_t low, high;  // the range a summed value is held to
    bool presetLevel;   // false: a preset zone's value is ignored
};

// Indexed by generator number (the internal pitch last). Unused and
// reserved numbers are kept at 0 and never read.
inline constexpr GeneratorInfo GeneratorTable[VoiceGeneratorCount] = {
    {0, 0, 32767, false},           // 0 startAddrsOffset (added to the sample's start)
    {0, -32768, 0, false},          // 1 endAddrsOffset
    {0, -32768, 32767, false},      // 2 startloopAddrsOffset
    {0, -32768, 32767, false},      // 3 endloopAddrsOffset
    {0, 0, 32767, false},           // 4 startAddrsCoarseOffset
    {0, -12000, 12000, true},       // 5 modLfoToPitch
    {0, -12000, 12000, true},       // 6 vibLfoToPitch
    {0, -12000, 12000, true},       // 7 modEnvToPitch
    {13500, 1500, 13500, true},     // 8 initialFilterFc
    {0, 0, 960, true},              // 9 initialFilterQ
    {0, -12000, 12000, true},       // 10 modLfoToFilterFc
    {0, -12000, 12000, true},       // 11 modEnvToFilterFc
    {0, -32768, 0, false},          // 12 endAddrsCoarseOffset
    {0, -960, 960, true},           // 13 modLfoToVolume
    {0, 0, 0, false},               // 14 unused
    {0, 0, 1000, true},             // 15 chorusEffectsSend
    {0, 0, 1000, true},             // 16 reverbEffectsSend
    {0, -500, 500, true},           // 17 pan
    {0, 0, 0, false},               // 18 unused
    {0, 0, 0, false},               // 19 unused
    {0, 0, 0, false},               // 20 unused
    {-12000, -12000, 5000, true},   // 21 delayModLFO
    {0, -16000, 4500, true},        // 22 freqModLFO
    {-12000, -12000, 5000, true},   // 23 delayVibLFO
    {0, -16000, 4500, true},        // 24 freqVibLFO
    {-12000, -12000, 5000, true},   // 25 delayModEnv
    {-12000, -12000, 8000, true},   // 26 attackModEnv
    {-12000, -12000, 5000, true},   // 27 holdModEnv
    {-12000, -12000, 8000, true},   // 28 decayModEnv
    {0, 0, 1000, true},             // 29 sustainModEnv
    {-12000, -12000, 8000, true},   // 30 releaseModEnv
    {0, -1200, 1200, true},         // 31 keynumToModEnvHold
    {0, -1200, 1200, true},         // 32 keynumToModEnvDecay
    {-12000, -12000, 5000, true},   // 33 delayVolEnv
    {-12000, -12000, 8000, true},   // 34 attackVolEnv
    {-12000, -12000, 5000, true},   // 35 holdVolEnv
    {-12000, -12000, 8000, true},   // 36 decayVolEnv
    {0, 0, 1440, true},             // 37 sustainVolEnv
    {-12000, -12000, 8000, true},   // 38 releaseVolEnv
    {0, -1200, 1200, true},         // 39 keynumToVolEnvHold
    {0, -1200, 1200, true},         // 40 keynumToVolEnvDecay
    {0, 0, 0, false},               // 41 instrument (ends a preset zone)
    {0, 0, 0, false},               // 42 reserved
    {0, 0, 0, false},               // 43 keyRange (read by the zone itself)
    {0, 0, 0, false},               // 44 velRange (read by the zone itself)
    {0, -32768, 32767, false},      // 45 startloopAddrsCoarseOffset
    {-1, -1, 127, false},           // 46 keynum
    {-1, -1, 127, false},           // 47 velocity
    {0, 0, 1440, true},             // 48 initialAttenuation
    {0, 0, 0, false},               // 49 reserved
    {0, -32768, 32767, false},      // 50 endloopAddrsCoarseOffset
    {0, -120, 120, true},           // 51 coarseTune
    {0, -99, 99, true},             // 52 fineTune
    {0, 0, 0, false},               // 53 sampleID (ends an instrument zone)
    {0, 0, 3, false},               // 54 sampleModes
    {0, 0, 0, false},               // 55 reserved
    {100, 0, 1200, true},           // 56 scaleTuning
    {0, 0, 127, false},             // 57 exclusiveClass
    {-1, -1, 127, false},           // 58 overridingRootKey
    {0, 0, 0, false},               // 59 unused
    {0, 0, 0, false},               // 60 endOper
    {0, -32768, 32767, false},      // the pitch wheel's initial pitch, cents
};

// One modulator as the file stores it (pmod and imod records).
struct SfModulator {
    uint16_t source;       // controller index, palette, direction, polarity, curve
    uint16_t destination;  // a generator number
    int16_t amount;
    uint16_t amountSource;
    uint16_t transform;    // 0 linear, 2 absolute value
};

// The source palette of the general controllers (a source without the CC flag).
constexpr uint16_t ModSourceNone = 0;
constexpr uint16_t ModSourceVelocity = 2;
constexpr uint16_t ModSourceKey = 3;
constexpr uint16_t ModSourcePolyPressure = 10;
constexpr uint16_t ModSourceChannelPressure = 13;
constexpr uint16_t ModSourcePitchWheel = 14;
constexpr uint16_t ModSourceBendRange = 16;
constexpr uint16_t ModSourceLink = 127;
constexpr uint16_t ModSourceCc = 0x80;       // the index is a MIDI controller
constexpr uint16_t ModSourceNegative = 0x100;
constexpr uint16_t ModSourceBipolar = 0x200;
constexpr uint16_t ModCurveConcave = 1 << 10;
constexpr uint16_t ModCurveConvex = 2 << 10;
constexpr uint16_t ModCurveSwitch = 3 << 10;

// The default modulators of the format (its section 8.4). The pitch wheel's
// range is read as semitones out of 127, so 12700 cents give 100 cents a
// semitone. Velocity lowers the cutoff along one continuous curve, by up to
// two octaves for the softest notes (the later revision of the format; the
// first one adds a switch at 64 as its amount source, which contradicts its
// own text). Controller 10 spans the pan range once: 0 hard left, 32 halfway
// to the left, 64 in the middle, 127 right.
constexpr int DefaultModulatorCount = 10;
inline constexpr SfModulator DefaultModulators[DefaultModulatorCount] = {
    {ModSourceVelocity | ModSourceNegative | ModCurveConcave, GenInitialAttenuation, 960, 0, 0},
    {ModSourceVelocity | ModSourceNegative | ModCurveConcave, GenInitialFilterFc, -2400, 0, 0},
    {ModSourceChannelPressure, GenVibLfoToPitch, 50, 0, 0},
    {ModSourceCc | 1, GenVibLfoToPitch, 50, 0, 0},
    {ModSourceCc | 7 | ModSourceNegative | ModCurveConcave, GenInitialAttenuation, 960, 0, 0},
    {ModSourceCc | 10 | ModSourceBipolar, GenPan, 500, 0, 0},
    {ModSourceCc | 11 | ModSourceNegative | ModCurveConcave, GenInitialAttenuation, 960, 0, 0},
    {ModSourceCc | 91, GenReverbEffectsSend, 200, 0, 0},
    {ModSourceCc | 93, GenChorusEffectsSend, 200, 0, 0},
    {ModSourcePitchWheel | ModSourceBipolar, GenPitch, 12700, ModSourceBendRange, 0},
};

// A velocity-to-cutoff modulator in either of the format's forms: a
// unipolar velocity source of any curve to the initial cutoff, with no
// amount source or a velocity switch as its amount source. Fonts name the
// default one this way to switch it off (amount 0) or replace it.
constexpr bool IsVelocityToCutoff(const SfModulator& m)
{
    return (m.source & (0x7F | ModSourceCc | ModSourceBipolar)) == ModSourceVelocity &&
           m.destination == GenInitialFilterFc &&
           (m.amountSource == ModSourceNone ||
            (m.amountSource & (0x7F | ModSourceCc | ModSourceBipolar | 0xFC00)) == (ModSourceVelocity | ModCurveSwitch));
}

// True when two modulators are the same in the format's sense (source,
// destination and amount source alike; velocity-to-cutoff ones whatever
// their form): a later one replaces the earlier.
constexpr bool SameModulator(const SfModulator& a, const SfModulator& b)
{
    return (a.source == b.source && a.destination == b.destination && a.amountSource == b.amountSource) ||
           (IsVelocityToCutoff(a) && IsVelocityToCutoff(b));
}
