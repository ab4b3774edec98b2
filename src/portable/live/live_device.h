// The built-in synthesizer as an output device. The window thread's messages
// go through a lock-free queue to the render thread, stamped with the audio
// clock as they are sent; the render thread places each at the frame its
// stamp gives, so that every message waits the same time and two messages
// a moment apart sound a moment apart. The device keeps each channel's
// program and bend, so that a stream that reopens (another endpoint, another
// rate) or a queue that overflowed plays on as before with no note left
// sounding. Portable: the sound goes out through live/audio_output.h.
#pragma once

#include <cstdint>

#include "portable/synth/soundfont.h"

// Its name in the device menu and the status line (UTF-8).
constexpr char LiveDeviceName[] = u8"琴坊音源";

// Offers the built-in device over font (nullptr: none) after the system's
// devices; where the system has no MIDI device, only when there is an audio
// output to play it. Called at start-up, before the device list is read.
void OfferLiveDevice(const SoundFont* font);

// The built-in device's id, when it is offered and an audio output is there
// to play it now (the device a first start opens); false otherwise.
bool LiveDeviceReady(int32_t* id);

// Starts the render thread with the synthesizer over font. Without an audio
// endpoint it takes the messages without sound until one comes. False only
// when the system has no audio output at all.
bool OpenLiveDevice(const SoundFont* font);

// Hands one packed short message, stamped with the clock now, to the render
// thread; never waits. False when it could not be queued: the queue was full,
// and every note sounding then is ended, as soon as the render thread can,
// with a ramp of a few milliseconds, the channels keeping their programs
// and bends (also those of messages that could not be queued).
bool SendLiveMessage(uint32_t word);

// Switches the synthesizer's reverb; the render thread applies it at its
// next period, and again whenever the stream reopens. On until told.
void SetLiveReverb(bool on);

// Stops the stream and lets the synthesizer go.
void CloseLiveDevice();
