// The latency the audio stream reports: opens the program's stream on the
// default endpoint with IAudioClient alone, then trying IAudioClient3 first,
// renders a steady 441 Hz tone for two seconds with each (so that a gap in
// what reaches the endpoint shows: bench/stream_gaps.py finds them in a
// stream written to a file), and prints what each reported.
//
//   qf-audio-stream-bench
#include <windows.h>

#include <cmath>
#include <cstdio>

#include "portable/live/audio_output.h"

static volatile LONG gRendered; // frames rendered by the stream now running
static int gRate;
constexpr double Pi = 3.14159265358979323846;

static bool Prepare(void*, int rate)
{
    gRate = rate;
    return true;
}
static void Render(void*, float* stereo, uint32_t frames, int64_t)
{
    for (uint32_t f = 0; f < frames; f++) {
        double t = (double)(gRendered + (LONG)f) / gRate;
        stereo[2 * f] = stereo[2 * f + 1] = (float)(0.1 * sin(2 * Pi * 441.0 * t));
    }
    InterlockedExchangeAdd(&gRendered, (LONG)frames);
}
static void Discard(void*) {}

static int Measure(const char* name, bool tryClient3)
{
    static const AudioSource silence = {nullptr, Prepare, Render, Discard};
    gRendered = 0;
    if (!StartAudioOutput(&silence, tryClient3)) {
        printf("%-28s no audio output\n", name);
        return 1;
    }
    Sleep(2000);
    StopAudioOutput();
    AudioStreamReport r = LastAudioStreamReport();
    if (r.sampleRate == 0) {
        printf("%-28s no stream could be opened\n", name);
        return 1;
    }
    double rate = r.sampleRate ? r.sampleRate : 1;
    printf("%-28s %s", name, r.lowLatency ? "IAudioClient3" : "IAudioClient");
    if (tryClient3 && !r.lowLatency) printf(" (IAudioClient3 answered 0x%08lx)", (unsigned long)r.client3Result);
    printf("\n    %u Hz, %u channels; period %u frames (%.2f ms); buffer %u frames (%.2f ms); "
           "kept queued %u frames (%.2f ms); stream latency %.2f ms; %ld frames rendered in 2 s\n",
           r.sampleRate, r.channels, r.periodFrames, 1000.0 * r.periodFrames / rate, r.bufferFrames,
           1000.0 * r.bufferFrames / rate, r.fillFrames, 1000.0 * r.fillFrames / rate, r.streamLatency / 10000.0,
           (long)gRendered);
    return 0;
}

int main()
{
    int failed = Measure("IAudioClient only:", false);
    failed += Measure("IAudioClient3 where it works:", true);
    return failed ? 1 : 0;
}
