// One voice of the synthesizer: a sample played at a pitch through its
// envelopes, LFOs, low-pass filter and pan, and the channel state it reads.
// Used by synth.cpp only. Portable.
#pragma once

#include <cstdint>

#include "portable/synth/generators.h"
#include "portable/synth/soundfont.h"

// Envelopes, LFOs, pitch and filter move once per this many frames at most.
constexpr uint32_t ControlFrames = 64;
constexpr uint32_t MaxVoiceModulators = 32;

// What a voice reads of its channel; serial changes with every controller,
// pitch bend or pressure message, so a voice recomputes only then.
struct ChannelControls {
    uint8_t cc[128];
    uint16_t pitchBend;       // 0..16383, 8192 at the centre
    uint8_t pressure;
    uint8_t bendSemitones, bendCents;
    uint32_t serial;
};

enum VoiceState : uint8_t { VoiceFree, VoicePlaying, VoiceReleased, VoiceKilled };
enum EnvelopeStage : uint8_t { EnvDelay, EnvAttack, EnvHold, EnvDecay, EnvSustain, EnvRelease, EnvDone };

// A piecewise envelope: each stage runs from `from` to `to` in `length`
// frames. The volume envelope's attack is linear in amplitude, its other
// stages linear in level (1 at 0 dB, 0 at -96 dB, the format's range: a
// decay or release time is the time for 96 dB). The modulation envelope's
// stages are in its 0..1 value; its attack rises along the format's convex
// curve (fast at first), the others are linear, and, as FluidSynth steps
// it (so that a sweep lands where the fonts expect it), a stage that ends
// inside a chunk hands over at the chunk's end and its shortest hold is
// 1 ms.
struct Envelope {
    uint8_t stage;
    uint32_t done, length;
    float from, to;
    uint32_t delay, attack, hold, decay, release; // frames; decay and release for the whole range
    float sustain;
    bool modulation; // the modulation envelope, with its convex attack and steps
};

struct Lfo {
    uint32_t delay; // frames still to wait
    float phase;    // 0..1, the triangle rising from 0 at phase 0
    float step;     // phase per frame
};

// A low-pass biquad's coefficients (b2 equals b0), with the resonance's gain.
struct Biquad {
    float b0, b1, a1, a2;
};

struct Voice {
    uint8_t state, channel, key, velocity;
    bool sustained;     // its key is up; the pedal holds it
    bool looping, wrapped, filtered;
    uint8_t loopMode;
    uint8_t exclusiveClass;
    uint64_t order;     // the note it belongs to: larger is later

    const int16_t* data;
    uint32_t start, end, loopStart, loopEnd;
    uint64_t position;  // 32.32 sample points
    uint64_t increment;
    float rateRatio;    // the sample's rate over the output rate
    int8_t pitchCorrection; // the sample's own, cents

    int32_t gen[VoiceGeneratorCount];  // instrument plus preset values
    float mod[VoiceGeneratorCount];    // what the modulators add
    SfModulator mods[MaxVoiceModulators];
    uint32_t modCount;
    uint32_t channelSerial;

    // Derived from gen + mod when the channel changes.
    float pitchCents;   // from the root key, tunings and the wheel; no LFO or envelope
    float attenuation;  // cB
    float panLeft, panRight;
    float filterCents, filterQ;
    float halfInverseQ, resonanceGain; // from filterQ: the filter's 1 / 2Q and its gain
    float modLfoToPitch, vibLfoToPitch, modEnvToPitch, modLfoToFilter, modEnvToFilter, modLfoToVolume;
    float reverbSend, chorusSend; // 0..1 of the voice's level

    Envelope volEnv, modEnv;
    Lfo modLfo, vibLfo;

    float lastFilterCents, lastFilterQ; // what the coefficients were computed for
    Biquad filter;        // as the last chunk ended
    Biquad filterStep;    // a frame, towards this chunk's coefficients
    float z1, z2;

    float amplitude;          // at the end of the last chunk, without pan
    float gainLeft, gainRight, gainReverb, gainChorus;
    uint32_t killLeft;        // frames of the closing ramp still to go
};

struct VoiceSetup {
    const SoundFont* font;
    const SfZone* presetZone;
    const SfZone* instrumentZone;
    uint8_t channel, key, velocity;
    uint64_t order;
    float outputRate;
};

// Sets up v for a note from a preset zone and an instrument zone: the
// generators summed as the format prescribes, the modulators, the sample
// and its loop, the envelopes and LFOs. False when the zone sounds nothing
// (a ROM sample, an empty range).
bool StartVoice(Voice* v, const VoiceSetup& setup, const ChannelControls& channel);

// Where a voice's frames go: the stereo mix and the effects' two mono
// inputs (reverb and chorus), each taken only while open. A voice whose
// send gains are 0 leaves the effect inputs untouched; sent says whether
// it added to one.
struct VoiceBuses {
    float* left;
    float* right;
    float* reverb;
    float* chorus;
    bool reverbOpen, chorusOpen;
    bool sentReverb, sentChorus;
};

// Adds n frames (n <= ControlFrames) of the voice into the buses. The voice
// becomes free when it has died away.
void RenderVoice(Voice* v, const ChannelControls& channel, VoiceBuses* buses, uint32_t n, float outputRate);

// The key is up: the envelopes go to their release.
void ReleaseVoice(Voice* v);

// Ends the voice with a short ramp of frames.
void KillVoice(Voice* v, uint32_t frames);
