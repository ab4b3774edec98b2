// The plate reverb: its lines laid out over one block of memory, and the
// per-frame walk through the input diffusers and the two halves of the tank.
#include "portable/synth/reverb.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float DesignRate = 29761.0f;   // the rate the published delays are given at
constexpr float Pi = 3.14159265358979f;

// Delays in frames at DesignRate.
constexpr float PredelayFrames = 298.0f; // 10 ms
constexpr float DiffuserFrames[4] = {142, 107, 379, 277};
constexpr float DiffuserCoefficients[4] = {0.75f, 0.75f, 0.625f, 0.625f};
constexpr float TankAllpassFrames[2] = {672, 908};
constexpr float TankDelayFrames[2] = {4453, 4217};
constexpr float TankAllpass2Frames[2] = {1800, 2656};
constexpr float TankDelay2Frames[2] = {3720, 3163};
constexpr float ExcursionFrames = 16.0f;
constexpr float DecayDiffusion1 = 0.70f;
constexpr float DecayDiffusion2 = 0.50f;

// The output points of each side: which line (0..5: the tank delay, its
// second allpass and its second delay, of the left half then the right),
// how far back, and the sign.
struct Tap {
    uint8_t line;
    float frames;
    float sign;
};
constexpr Tap OutputTaps[2][7] = {
    {{3, 266, 1}, {3, 2974, 1}, {4, 1913, -1}, {5, 1996, 1}, {0, 1990, -1}, {1, 187, -1}, {2, 1066, -1}},
    {{0, 353, 1}, {0, 3627, 1}, {1, 1228, -1}, {2, 2673, 1}, {3, 2111, -1}, {4, 335, -1}, {5, 121, -1}},
};

constexpr float ModulationHz = 0.9f;
constexpr float BandwidthHz = 12000.0f;  // the input's band limit
constexpr float DampingHz = 9000.0f;     // the tank's losses above this
constexpr float DecaySeconds = 1.0f;     // to -60 dB, in the middle of the band
constexpr float LoopSeconds = 21589.0f / DesignRate; // once round both halves
constexpr float OutputGain = 0.6f * 0.74f; // the published 0.6, and a full send about as loud as the dry sound
constexpr float QuietLevel = 1e-7f;      // -140 dB: the tail is over
constexpr float SettleSeconds = 0.5f;     // without input this long, the input's diffusers have died away
constexpr float Tiny = 1e-18f;           // added and taken off again: smaller values become 0

struct Layout {
    uint32_t lengths[13];
    uint32_t sizes[13];
    size_t floats;
};

uint32_t PowerOfTwoAbove(uint32_t n)
{
    uint32_t size = 1;
    while (size <= n) size <<= 1;
    return size;
}

uint32_t Scaled(float frames, int sampleRate) { return (uint32_t)lrintf(frames * (float)sampleRate / DesignRate); }

// The lines in their order: predelay, 4 diffusers, then per half the tank
// allpass, delay, second allpass, second delay.
Layout LayOut(int sampleRate)
{
    Layout l = {};
    l.lengths[0] = Scaled(PredelayFrames, sampleRate);
    for (int i = 0; i < 4; i++) l.lengths[1 + i] = Scaled(DiffuserFrames[i], sampleRate);
    for (int h = 0; h < 2; h++) {
        l.lengths[5 + 4 * h] = Scaled(TankAllpassFrames[h], sampleRate);
        l.lengths[6 + 4 * h] = Scaled(TankDelayFrames[h], sampleRate);
        l.lengths[7 + 4 * h] = Scaled(TankAllpass2Frames[h], sampleRate);
        l.lengths[8 + 4 * h] = Scaled(TankDelay2Frames[h], sampleRate);
    }
    uint32_t excursion = Scaled(ExcursionFrames, sampleRate) + 2;
    for (int i = 0; i < 13; i++) {
        bool modulated = i == 5 || i == 9;
        l.sizes[i] = PowerOfTwoAbove(l.lengths[i] + (modulated ? excursion : 0) + 1);
        l.floats += l.sizes[i];
    }
    return l;
}

inline float Read(const ReverbLine& line, uint32_t position, uint32_t back)
{
    return line.data[(position - back) & line.mask];
}

// Every value goes into a line rounded to a multiple of about 1e-25 (the
// smallest fall to 0), so that no line ever holds a denormal number, with
// or without the processor's own flushing.
inline void Write(ReverbLine& line, uint32_t position, float x) { line.data[position & line.mask] = (x + Tiny) - Tiny; }

// An allpass of its line's length: the line holds x - g * (the line's output).
inline float Allpass(ReverbLine& line, uint32_t position, float x, float g)
{
    float delayed = Read(line, position, line.length);
    float w = x - g * delayed;
    Write(line, position, w);
    return delayed + g * w;
}

// The same with its delay moved by offset frames (linear interpolation).
inline float ModulatedAllpass(ReverbLine& line, uint32_t position, float x, float g, float offset)
{
    float back = (float)line.length + offset;
    uint32_t whole = (uint32_t)back;
    float fraction = back - (float)whole;
    float a = Read(line, position, whole), b = Read(line, position, whole + 1);
    float delayed = a + (b - a) * fraction;
    float w = x - g * delayed;
    Write(line, position, w);
    return delayed + g * w;
}

float OnePole(float hz, int sampleRate) { return 1.0f - expf(-2.0f * Pi * hz / (float)sampleRate); }

// The predelay and the diffusers, the first lines of the memory.
size_t InputFloats(const Reverb* r) { return (size_t)(r->tankAllpass[0].data - r->memory); }

void Empty(Reverb* r)
{
    memset(r->memory, 0, r->floats * sizeof(float));
    r->bandState = r->dampState[0] = r->dampState[1] = 0.0f;
    r->lfoPhase = 0.0f;
    r->quietFrames = 0;
    r->fade = 1.0f;
    r->state = ReverbIdle;
}

} // namespace

size_t ReverbFloats(int sampleRate) { return LayOut(sampleRate).floats; }

void InitReverb(Reverb* r, int sampleRate, float* memory)
{
    Layout l = LayOut(sampleRate);
    memset(r, 0, sizeof *r);
    r->memory = memory;
    r->floats = l.floats;
    ReverbLine* lines[13] = {&r->predelay,        &r->diffusers[0],   &r->diffusers[1],  &r->diffusers[2],
                             &r->diffusers[3],    &r->tankAllpass[0], &r->tankDelay[0],  &r->tankAllpass2[0],
                             &r->tankDelay2[0],   &r->tankAllpass[1], &r->tankDelay[1],  &r->tankAllpass2[1],
                             &r->tankDelay2[1]};
    float* at = memory;
    for (int i = 0; i < 13; i++) {
        *lines[i] = {at, l.sizes[i] - 1, l.lengths[i]};
        at += l.sizes[i];
    }
    for (int side = 0; side < 2; side++)
        for (int t = 0; t < 7; t++) r->taps[side][t] = (int32_t)Scaled(OutputTaps[side][t].frames, sampleRate);
    r->excursion = ExcursionFrames * (float)sampleRate / DesignRate;
    r->bandwidth = OnePole(BandwidthHz, sampleRate);
    r->damping = OnePole(DampingHz, sampleRate);
    // Four passes of the decay gain each time round the tank.
    r->decay = powf(10.0f, -3.0f * LoopSeconds / (4.0f * DecaySeconds));
    r->lfoStep = ModulationHz / (float)sampleRate;
    r->settleFrames = (uint32_t)(SettleSeconds * (float)sampleRate);
    Empty(r);
}

void RunReverb(Reverb* r, const float* input, float* left, float* right, uint32_t n)
{
    if (r->state == ReverbIdle) {
        if (!input) return;
        r->state = ReverbRunning;
    }
    // Long without input, the diffusers hold only what is far below
    // hearing: emptied, they hold zeros rather than ever smaller numbers.
    uint32_t quiet = input ? 0 : r->quietFrames + n;
    if (quiet >= r->settleFrames && r->quietFrames < r->settleFrames) {
        memset(r->memory, 0, InputFloats(r) * sizeof(float));
        r->bandState = 0.0f;
    }
    r->quietFrames = quiet;
    // The tank's two modulations, a quarter turn apart, move linearly
    // across the block.
    float phase0 = r->lfoPhase, phase1 = phase0 + r->lfoStep * (float)n;
    float sin0 = sinf(2.0f * Pi * phase0), sin1 = sinf(2.0f * Pi * phase1);
    float cos0 = cosf(2.0f * Pi * phase0), cos1 = cosf(2.0f * Pi * phase1);
    r->lfoPhase = phase1 - floorf(phase1);
    float perFrame = 1.0f / (float)n;
    const ReverbLine* outputs[6] = {&r->tankDelay[0], &r->tankAllpass2[0], &r->tankDelay2[0],
                                    &r->tankDelay[1], &r->tankAllpass2[1], &r->tankDelay2[1]};
    const float decay = r->decay, bandwidth = r->bandwidth, damping = r->damping;
    float band = r->bandState, damp0 = r->dampState[0], damp1 = r->dampState[1];
    uint32_t position = r->position;
    float peak = 0.0f;
    float gain = OutputGain * r->fade;
    for (uint32_t f = 0; f < n; f++, position++) {
        float x = input ? input[f] : 0.0f;
        Write(r->predelay, position, x);
        x = Read(r->predelay, position, r->predelay.length);
        band += bandwidth * (x - band);
        band = (band + Tiny) - Tiny;
        x = band;
        for (int i = 0; i < 4; i++) x = Allpass(r->diffusers[i], position, x, DiffuserCoefficients[i]);

        float t = (float)f * perFrame;
        float modLeft = r->excursion * (sin0 + (sin1 - sin0) * t);
        float modRight = r->excursion * (cos0 + (cos1 - cos0) * t);
        float fromLeft = decay * Read(r->tankDelay2[0], position, r->tankDelay2[0].length);
        float fromRight = decay * Read(r->tankDelay2[1], position, r->tankDelay2[1].length);

        float a = ModulatedAllpass(r->tankAllpass[0], position, x + fromRight, -DecayDiffusion1, modLeft);
        Write(r->tankDelay[0], position, a);
        a = Read(r->tankDelay[0], position, r->tankDelay[0].length);
        damp0 += damping * (a - damp0);
        a = Allpass(r->tankAllpass2[0], position, decay * damp0, DecayDiffusion2);
        Write(r->tankDelay2[0], position, a);

        float b = ModulatedAllpass(r->tankAllpass[1], position, x + fromLeft, -DecayDiffusion1, modRight);
        Write(r->tankDelay[1], position, b);
        b = Read(r->tankDelay[1], position, r->tankDelay[1].length);
        damp1 += damping * (b - damp1);
        b = Allpass(r->tankAllpass2[1], position, decay * damp1, DecayDiffusion2);
        Write(r->tankDelay2[1], position, b);

        float out[2] = {0.0f, 0.0f};
        for (int side = 0; side < 2; side++)
            for (int t2 = 0; t2 < 7; t2++)
                out[side] += OutputTaps[side][t2].sign *
                             Read(*outputs[OutputTaps[side][t2].line], position, (uint32_t)r->taps[side][t2]);
        if (r->state == ReverbFading) {
            gain = OutputGain * r->fade;
            r->fade = r->fade > r->fadeStep ? r->fade - r->fadeStep : 0.0f;
        }
        left[f] += gain * out[0];
        right[f] += gain * out[1];
        float level = fabsf(out[0]) + fabsf(out[1]);
        peak = level > peak ? level : peak;
    }
    r->position = position;
    // Memory this small is flushed rather than left to turn denormal.
    r->bandState = fabsf(band) < 1e-20f ? 0.0f : band;
    r->dampState[0] = fabsf(damp0) < 1e-20f ? 0.0f : damp0;
    r->dampState[1] = fabsf(damp1) < 1e-20f ? 0.0f : damp1;
    bool over = r->state == ReverbFading ? r->fade <= 0.0f
                                         : r->quietFrames >= r->settleFrames && OutputGain * peak < QuietLevel;
    if (over) Empty(r);
}

void FadeReverb(Reverb* r, uint32_t frames)
{
    if (r->state == ReverbIdle) return;
    float step = 1.0f / (float)(frames > 0 ? frames : 1);
    if (r->state == ReverbFading && r->fadeStep >= step) return;
    r->state = ReverbFading;
    r->fadeStep = step;
}
