// The chorus: the input delayed three times over, each delay swept by a
// slow sine a third of a turn apart from the others (12 ms, 4 ms either
// way, 0.3 Hz), the three spread left, right and in the middle. Used by
// synth.cpp only. Portable; running it takes no memory, lock or file.
#pragma once

#include <cstddef>
#include <cstdint>

struct Chorus {
    float* line;               // the input's last frames, a power of two of them
    uint32_t mask;
    uint32_t position;         // frames written so far, modulo 2^32
    float delayFrames, depthFrames;
    float phase, step;         // turns, and turns a frame
    bool running;
    bool fading;
    uint32_t quietFrames;      // frames without input while running
    float fade, fadeStep;      // the output's gain while fading out
};

// The floats of memory a chorus at sampleRate needs.
size_t ChorusFloats(int sampleRate);

// Sets up c for sampleRate over memory (ChorusFloats of it, zeroed), idle.
void InitChorus(Chorus* c, int sampleRate, float* memory);

// Adds n frames of the chorus of input (mono; nullptr for silence) into
// left and right. An idle chorus given no input costs nothing; a running
// one falls idle once its line holds nothing but zeros.
void RunChorus(Chorus* c, const float* input, float* left, float* right, uint32_t n);

// Fades the output out over frames (at least 1), then empties the chorus.
void FadeChorus(Chorus* c, uint32_t frames);
