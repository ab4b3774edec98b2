#include "windows/platform/audio_stream.h"

#include <cstddef>


StreamChoice InitializeStream(const StreamCalls& calls)
{
    StreamChoice choice = {};
    if (calls.hasClient3) {
        uint32_t minimum = 0;
        int32_t result = calls.enginePeriod(calls.context, &minimum);
        if (result >= 0) {
            choice.periodFrames = minimum;
            result = calls.initializeClient3(calls.context, minimum);
        }
        if (result >= 0) {
            choice.lowLatency = true;
            choice.result = result;
            return choice;
        }
        choice.client3Result = result;
    }
    choice.result = calls.initializeClient(calls.context);
    return choice;
}

uint32_t FillFrames(bool lowLatency, uint32_t periodFrames, uint32_t bufferFrames)
{
    uint32_t frames = (lowLatency ? 1 : 2) * periodFrames;
    return frames > 0 && frames < bufferFrames ? frames : bufferFrames;
}

static int16_t Int16Sample(float value)
{
    if (value != value) return 0; // not a number
    if (value <= -1.0f) return -32767;
    if (value >= 1.0f) return 32767;
    return (int16_t)(value * 32767.0f);
}

void SpreadStereo(const float* stereo, uint32_t frames, const SampleLayout& layout, void* out)
{
    uint32_t channels = layout.channels;
    for (uint32_t f = 0; f < frames; f++) {
        float left = stereo[2 * f], right = stereo[2 * f + 1];
        for (uint32_t c = 0; c < channels; c++) {
            float value = channels == 1 ? 0.5f * (left + right) : c == 0 ? left : c == 1 ? right : 0.0f;
            size_t at = (size_t)f * channels + c;
            if (layout.isFloat) ((float*)out)[at] = value;
            else ((int16_t*)out)[at] = Int16Sample(value);
        }
    }
}
