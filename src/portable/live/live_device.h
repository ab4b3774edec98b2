// The built-in synthesizer as an output device. The window thread's messages
// go through a lock-free queue to the render thread, which hands them to the
// synthesizer at the start of the next period and renders. The device keeps
// each channel's program and bend, so that a stream that reopens (another
// endpoint, another rate) plays on as before with no note left sounding.
// Portable: the sound goes out through platform/audio_output.h.
#pragma once

#include <cstdint>

#include "portable/synth/soundfont.h"

// Its name in the device menu and the status line (UTF-8).
constexpr char LiveDeviceName[] = u8"琴坊音源";

// Offers the built-in device over font (nullptr: none) after the system's
// devices; where the system has no MIDI device, only when there is an audio
// output to play it. Called at start-up, before the device list is read.
void OfferLiveDevice(const SoundFont* font);

// Starts the audio stream with the synthesizer over font; false when no
// stream could be opened.
bool OpenLiveDevice(const SoundFont* font);

// Hands one packed short message to the render thread; never waits. False
// when the queue is full (the message is dropped).
bool SendLiveMessage(uint32_t word);

// Stops the stream and lets the synthesizer go.
void CloseLiveDevice();
