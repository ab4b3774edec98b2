#include "portable/live/live_device.h"

#include "portable/live/message_queue.h"
#include "portable/live/audio_output.h"
#include "portable/synth/synth.h"

namespace {

constexpr uint16_t BendRest = 8192;

struct LiveDevice {
    const SoundFont* font = nullptr;
    Synth* synth = nullptr; // the render thread's while the stream runs
    int sampleRate = 0;
    MessageQueue queue;
    // What the channels were last told, as the render thread took it.
    uint8_t program[16] = {};
    uint16_t bend[16] = {};
};

LiveDevice gLive;

void Track(uint32_t word)
{
    uint32_t status = word & 0xF0, channel = word & 0x0F;
    if (status == 0xC0) gLive.program[channel] = (uint8_t)((word >> 8) & 0x7F);
    else if (status == 0xE0) gLive.bend[channel] = (uint16_t)(((word >> 8) & 0x7F) | ((word >> 16) & 0x7F) << 7);
}

// A new stream: a synthesizer for its rate (the same one cut quiet when the
// rate stays), told each channel's program and bend again.
bool Prepare(void*, int sampleRate)
{
    if (!gLive.synth || gLive.sampleRate != sampleRate) {
        if (gLive.synth) DestroySynth(gLive.synth);
        gLive.synth = CreateSynth(gLive.font, sampleRate);
        gLive.sampleRate = gLive.synth ? sampleRate : 0;
        if (!gLive.synth) return false;
    } else {
        for (uint32_t c = 0; c < 16; c++) SynthShortMessage(gLive.synth, 0xB0 | c | 120 << 8, 0); // all sound off
    }
    for (uint32_t c = 0; c < 16; c++) {
        SynthShortMessage(gLive.synth, 0xC0 | c | (uint32_t)gLive.program[c] << 8, 0);
        uint32_t bend = gLive.bend[c];
        SynthShortMessage(gLive.synth, 0xE0 | c | (bend & 0x7F) << 8 | (bend >> 7) << 16, 0);
    }
    return true;
}

// Everything sent since the last period takes effect at this period's start.
void Render(void*, float* stereo, uint32_t frames)
{
    uint32_t word;
    while (PopMessage(&gLive.queue, &word)) {
        Track(word);
        SynthShortMessage(gLive.synth, word, 0);
    }
    SynthRender(gLive.synth, stereo, frames);
}

void Discard(void*)
{
    uint32_t word;
    while (PopMessage(&gLive.queue, &word)) Track(word);
}

const AudioSource LiveSource = {nullptr, Prepare, Render, Discard};

} // namespace

bool OpenLiveDevice(const SoundFont* font)
{
    gLive.font = font;
    ClearMessageQueue(&gLive.queue);
    for (int c = 0; c < 16; c++) {
        gLive.program[c] = 0;
        gLive.bend[c] = BendRest;
    }
    if (StartAudioOutput(&LiveSource, true)) return true;
    CloseLiveDevice();
    return false;
}

bool SendLiveMessage(uint32_t word)
{
    return PushMessage(&gLive.queue, word);
}

void CloseLiveDevice()
{
    StopAudioOutput();
    if (gLive.synth) DestroySynth(gLive.synth);
    gLive.synth = nullptr;
    gLive.sampleRate = 0;
}
