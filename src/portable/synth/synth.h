// The synthesizer: MIDI short messages in, SoundFont voices rendered to the
// sample as stereo float out. Portable; the render path takes no memory, no
// lock and no file, and never waits, so an audio thread may call it. One
// thread sends the messages, one thread renders (they may be the same).
#pragma once

#include <cstdint>

#include "portable/synth/soundfont.h"

struct Synth;

constexpr int SynthMinRate = 22050;
constexpr int SynthMaxRate = 96000;
constexpr uint32_t SynthMaxVoices = 256; // voices sounding at once; more steal the quietest

// All memory the synthesizer will ever use is taken here. nullptr when
// sampleRate is outside 22050..96000 or memory is short. The font must
// outlive the Synth.
Synth* CreateSynth(const SoundFont* font, int sampleRate);
void DestroySynth(Synth* synth);

// One MIDI short message packed as midiOutShortMsg packs it (status | data1
// << 8 | data2 << 16), taking effect at frame `frame` counted from the start
// of the next SynthRender call; a frame beyond that block stays pending for
// the later blocks. Real-time safe. Events at the same frame keep their
// order. Up to SynthQueueSize messages wait at once; beyond that a message
// is dropped.
constexpr uint32_t SynthQueueSize = 4096;
void SynthShortMessage(Synth* synth, uint32_t message, uint32_t frame);

// Renders frames of interleaved stereo float (L, R) into stereo, overwriting
// it. Real-time safe.
void SynthRender(Synth* synth, float* stereo, uint32_t frames);

// Switches the reverb off and on. Called on the rendering thread, between
// SynthRender calls; takes no memory.
void SynthSetReverb(Synth* synth, bool on);

// The number of voices still sounding (0 once everything has died away).
// Called on the rendering thread, between SynthRender calls.
uint32_t SynthSoundingVoices(const Synth* synth);
