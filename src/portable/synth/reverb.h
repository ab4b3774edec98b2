// The reverb: a plate of the figure-of-eight kind (Dattorro's published
// design): the input through a predelay, a band limit and four diffusing
// allpasses into a tank of two cross-coupled halves, each a modulated
// allpass, a delay, a damping low-pass, an allpass and a delay; the stereo
// output is taken from seven points of the tank for each side. Tuned as a
// room of about 1.2 s. Used by synth.cpp only. Portable; running it takes
// no memory, lock or file.
#pragma once

#include <cstddef>
#include <cstdint>

// A delay line of a power-of-two size over memory of the reverb.
struct ReverbLine {
    float* data;
    uint32_t mask;
    uint32_t length;  // the delay in frames (an allpass's own delay)
};

enum ReverbState : uint8_t { ReverbIdle, ReverbRunning, ReverbFading };

struct Reverb {
    ReverbLine predelay, diffusers[4];
    ReverbLine tankAllpass[2], tankDelay[2], tankAllpass2[2], tankDelay2[2];
    uint32_t position;           // frames run so far, modulo 2^32
    int32_t taps[2][7];          // output points, frames back into their lines
    float excursion;             // frames of the tank's modulation, peak
    float bandwidth, damping;    // one-pole coefficients
    float decay;
    float bandState, dampState[2];
    float lfoPhase, lfoStep;     // turns, and turns a frame
    uint8_t state;
    uint32_t quietFrames;        // frames without input while running
    uint32_t settleFrames;       // input-free frames after which the tank may fall idle
    float fade, fadeStep;        // the output's gain while fading out
    float* memory;
    size_t floats;
};

// The floats of memory a reverb at sampleRate needs.
size_t ReverbFloats(int sampleRate);

// Sets up r for sampleRate over memory (ReverbFloats of it, zeroed), idle.
void InitReverb(Reverb* r, int sampleRate, float* memory);

// Adds n frames of the reverb of input (mono; nullptr for silence) into
// left and right. An idle reverb given no input costs nothing; a running
// one falls idle (its lines emptied to zeros) once its tail is below
// -140 dB with no input.
void RunReverb(Reverb* r, const float* input, float* left, float* right, uint32_t n);

// Fades the output out over frames (at least 1), then empties the reverb.
void FadeReverb(Reverb* r, uint32_t frames);
