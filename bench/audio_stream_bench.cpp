// The latency the audio stream reports: opens the program's stream on the
// default endpoint with IAudioClient alone, then trying IAudioClient3 first,
// renders silence for a second with each, and prints what each reported.
//
//   qf-audio-stream-bench
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "portable/live/audio_output.h"

static volatile LONG gRendered; // frames rendered by the stream now running

static bool Prepare(void*, int) { return true; }
static void Render(void*, float* stereo, uint32_t frames, int64_t)
{
    memset(stereo, 0, sizeof(float) * 2 * frames);
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
    Sleep(1000);
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
           "kept queued %u frames (%.2f ms); stream latency %.2f ms; %ld frames rendered in 1 s\n",
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
