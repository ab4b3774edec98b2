// The chorus: one line written a frame at a time and read by three swept
// taps with linear interpolation.
#include "portable/synth/chorus.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float Pi = 3.14159265358979f;
constexpr float DelaySeconds = 0.012f;
constexpr float DepthSeconds = 0.004f;
constexpr float SweepHz = 0.3f;
constexpr int Voices = 3;
constexpr float VoiceGains[Voices][2] = {{0.9f, 0.2f}, {0.2f, 0.9f}, {0.55f, 0.55f}};
constexpr float OutputGain = 0.7f;

uint32_t LineFrames(int sampleRate)
{
    uint32_t needed = (uint32_t)((DelaySeconds + DepthSeconds) * (float)sampleRate) + 3;
    uint32_t size = 1;
    while (size < needed) size <<= 1;
    return size;
}

void Empty(Chorus* c)
{
    memset(c->line, 0, (c->mask + 1) * sizeof(float));
    c->running = c->fading = false;
    c->quietFrames = 0;
    c->fade = 1.0f;
}

} // namespace

size_t ChorusFloats(int sampleRate) { return LineFrames(sampleRate); }

void InitChorus(Chorus* c, int sampleRate, float* memory)
{
    memset(c, 0, sizeof *c);
    c->line = memory;
    c->mask = LineFrames(sampleRate) - 1;
    c->delayFrames = DelaySeconds * (float)sampleRate;
    c->depthFrames = DepthSeconds * (float)sampleRate;
    c->step = SweepHz / (float)sampleRate;
    Empty(c);
}

void RunChorus(Chorus* c, const float* input, float* left, float* right, uint32_t n)
{
    if (!c->running) {
        if (!input) return;
        c->running = true;
    }
    c->quietFrames = input ? 0 : c->quietFrames + n;
    // Each tap's delay at the start and the end of the block; it moves
    // linearly between them.
    float from[Voices], by[Voices];
    float phase1 = c->phase + c->step * (float)n;
    for (int k = 0; k < Voices; k++) {
        float turn = 2.0f * Pi * (float)k / (float)Voices;
        float start = c->delayFrames + c->depthFrames * sinf(2.0f * Pi * c->phase + turn);
        float end = c->delayFrames + c->depthFrames * sinf(2.0f * Pi * phase1 + turn);
        from[k] = start;
        by[k] = (end - start) / (float)n;
    }
    c->phase = phase1 - floorf(phase1);
    float* line = c->line;
    const uint32_t mask = c->mask;
    uint32_t position = c->position;
    for (uint32_t f = 0; f < n; f++, position++) {
        line[position & mask] = input ? input[f] : 0.0f;
        float gain = OutputGain;
        if (c->fading) {
            gain *= c->fade;
            c->fade = c->fade > c->fadeStep ? c->fade - c->fadeStep : 0.0f;
        }
        float outLeft = 0.0f, outRight = 0.0f;
        for (int k = 0; k < Voices; k++) {
            float back = from[k] + by[k] * (float)f;
            uint32_t whole = (uint32_t)back;
            float fraction = back - (float)whole;
            float a = line[(position - whole) & mask], b = line[(position - whole - 1) & mask];
            float y = a + (b - a) * fraction;
            outLeft += VoiceGains[k][0] * y;
            outRight += VoiceGains[k][1] * y;
        }
        left[f] += gain * outLeft;
        right[f] += gain * outRight;
    }
    c->position = position;
    if ((c->fading && c->fade <= 0.0f) || c->quietFrames > mask) Empty(c);
}

void FadeChorus(Chorus* c, uint32_t frames)
{
    if (!c->running) return;
    float step = 1.0f / (float)(frames > 0 ? frames : 1);
    if (c->fading && c->fadeStep >= step) return;
    c->fading = true;
    c->fadeStep = step;
}
