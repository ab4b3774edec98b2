// What the audio output decides without the system, so that it can be
// checked anywhere: which audio client serves the stream, and the rendered
// stereo in the endpoint's own sample layout. Portable.
#pragma once

#include <cstdint>

// The calls that initialise a shared-mode stream, each answering an HRESULT
// (negative: failure).
struct StreamCalls {
    void* context;
    bool hasClient3; // the endpoint gave an IAudioClient3
    // IAudioClient3::GetSharedModeEnginePeriod: the smallest period it offers.
    int32_t (*enginePeriod)(void* context, uint32_t* minimumFrames);
    // IAudioClient3::InitializeSharedAudioStream with that period.
    int32_t (*initializeClient3)(void* context, uint32_t periodFrames);
    // IAudioClient::Initialize with the device's minimum period.
    int32_t (*initializeClient)(void* context);
};

struct StreamChoice {
    int32_t result;        // the stream's HRESULT: negative when no client could initialise it
    bool lowLatency;       // IAudioClient3 serves it
    uint32_t periodFrames; // the period asked of IAudioClient3
    int32_t client3Result; // what made the IAudioClient3 path fail; 0 when it served or was not tried
};

// IAudioClient3 with the smallest engine period where it works, else
// IAudioClient.
StreamChoice InitializeStream(const StreamCalls& calls);

// The frames the render thread keeps waiting in the stream's buffer after
// each period's event: one period with IAudioClient3's small periods (the
// engine reads it at its next pass), two with IAudioClient's, never more
// than the buffer; the whole buffer when the period is not known.
uint32_t FillFrames(bool lowLatency, uint32_t periodFrames, uint32_t bufferFrames);

// The endpoint's samples: float32 or 16-bit integers, any channel count.
struct SampleLayout {
    uint32_t channels;
    bool isFloat;
};

// Puts frames of interleaved stereo into out in layout: left and right into
// the first two channels, silence in the rest, their mean for one channel.
void SpreadStereo(const float* stereo, uint32_t frames, const SampleLayout& layout, void* out);
