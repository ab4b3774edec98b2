// The sound going out: one shared-mode, event-driven WASAPI stream on the
// default render endpoint, rendered on its own thread registered with MMCSS
// ("Pro Audio"). It follows the default endpoint: when the endpoint goes
// away or another becomes the default, the stream reopens on the new one;
// with no endpoint at all it waits for one without sound. One stream in the
// program at a time.
#pragma once

#include <cstdint>

// The audio clock: a steady count of 100 ns units that every thread reads
// alike (QueryPerformanceCounter on Windows). Messages are stamped with it
// when sent, and the render thread places them by it.
constexpr int64_t AudioClockPerSecond = 10000000;
int64_t AudioClockNow();

// What feeds the stream. Every procedure runs on the render thread.
struct AudioSource {
    void* context;
    // A stream (re)opens at sampleRate: nothing sounding before may go on.
    // False refuses the rate: the stream then asks 48 kHz of the audio
    // engine, which converts (a second refusal: no stream).
    bool (*prepare)(void* context, int sampleRate);
    // Fills frames (at most the stream's buffer) of interleaved stereo float.
    // What was stamped at the clock time start sounds at the block's first
    // frame, and the stamps go on at the stream's rate from there: every
    // message then waits the same time, the audio queued ahead of the block
    // and the block itself.
    void (*render)(void* context, float* stereo, uint32_t frames, int64_t start);
    // No stream plays now: what was sent meanwhile is taken without sound.
    void (*discard)(void* context);
};

// What the stream that opened reports, for the notes on its latency.
struct AudioStreamReport {
    bool lowLatency;        // IAudioClient3 with the engine's smallest period
    int32_t client3Result;  // the IAudioClient3 path's failure (HRESULT), 0 when it served or was not tried
    uint32_t sampleRate;    // 0: no stream has opened yet
    uint32_t channels;
    uint32_t periodFrames;  // the engine's period for this stream
    uint32_t bufferFrames;  // the stream's buffer
    uint32_t fillFrames;    // the frames kept waiting in the buffer after each period's event
    int64_t streamLatency;  // IAudioClient::GetStreamLatency, in 100 ns
};

// True when the system has a default render endpoint now.
bool AudioOutputPresent();

// Starts the render thread, which opens the stream on the default endpoint
// and renders from source (which must outlive the output). Without an
// endpoint, or with one that cannot be opened, it takes what is sent
// without sound and opens the stream when an endpoint comes. tryClient3
// false keeps to IAudioClient (for measurements). False, with nothing left
// running, only when the system has no audio output at all (no WASAPI).
bool StartAudioOutput(const AudioSource* source, bool tryClient3);

// Stops rendering and closes the stream; the source is not called any more.
void StopAudioOutput();

// The report of the stream opened first after StartAudioOutput.
AudioStreamReport LastAudioStreamReport();
