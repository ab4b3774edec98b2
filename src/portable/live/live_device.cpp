#include "portable/live/live_device.h"

#include <atomic>

#include "portable/live/message_queue.h"
#include "portable/live/audio_output.h"
#include "portable/synth/synth.h"

namespace {

constexpr uint16_t BendRest = 8192;
constexpr uint32_t TellMessages = 3 * 16; // all sound off, program and bend on every channel
// The messages one period hands to the synthesizer at most, so that its
// queue always has room for them and for the channels told again; more
// wait for the next period.
constexpr uint32_t MessagesPerPeriod = SynthQueueSize - TellMessages;

struct LiveDevice {
    const SoundFont* font = nullptr;
    MessageQueue queue;
    // The window thread's: what each channel was last told, also by a
    // message that could not be queued. The render thread reads it to tell
    // a new or cut synthesizer again.
    std::atomic<uint8_t> program[16];
    std::atomic<uint16_t> bend[16];
    // Set by the window thread when a message could not be queued; from then
    // on it queues nothing until the render thread has cut every note and
    // cleared it. (Sequentially consistent with the channels above: the
    // render thread clears it, then reads them, and sees every message the
    // window thread could not queue.)
    std::atomic<bool> overflowed{false};
    std::atomic<bool> reverb{true};
    // The render thread's while the stream runs.
    Synth* synth = nullptr;
    int sampleRate = 0;
    bool reverbApplied = true;
};

LiveDevice gLive;

void Track(uint32_t word)
{
    uint32_t status = word & 0xF0, channel = word & 0x0F;
    if (status == 0xC0) gLive.program[channel] = (uint8_t)((word >> 8) & 0x7F);
    else if (status == 0xE0) gLive.bend[channel] = (uint16_t)(((word >> 8) & 0x7F) | ((word >> 16) & 0x7F) << 7);
}

// Tells every channel its program and bend at the block's first frame, after
// cutting what sounds (All Sound Off: a ramp of a few milliseconds).
void TellChannels(bool cut)
{
    for (uint32_t c = 0; c < 16; c++) {
        if (cut) SynthShortMessage(gLive.synth, 0xB0 | c | 120 << 8, 0);
        SynthShortMessage(gLive.synth, 0xC0 | c | (uint32_t)gLive.program[c] << 8, 0);
        uint32_t bend = gLive.bend[c];
        SynthShortMessage(gLive.synth, 0xE0 | c | (bend & 0x7F) << 8 | (bend >> 7) << 16, 0);
    }
}

void ApplyReverb()
{
    bool on = gLive.reverb.load(std::memory_order_relaxed);
    if (on != gLive.reverbApplied) SynthSetReverb(gLive.synth, on);
    gLive.reverbApplied = on;
}

// A new stream: a synthesizer for its rate (the same one cut quiet when the
// rate stays), told each channel's program and bend again, and the reverb.
bool Prepare(void*, int sampleRate)
{
    bool cut = gLive.synth && gLive.sampleRate == sampleRate;
    if (!cut) {
        if (gLive.synth) DestroySynth(gLive.synth);
        gLive.synth = CreateSynth(gLive.font, sampleRate);
        gLive.sampleRate = gLive.synth ? sampleRate : 0;
        if (!gLive.synth) return false;
    }
    TellChannels(cut);
    gLive.reverbApplied = gLive.reverb.load(std::memory_order_relaxed);
    SynthSetReverb(gLive.synth, gLive.reverbApplied);
    return true;
}

// The frame of the block at which a message stamped `stamp` sounds: 0 for a
// stamp before the block's time, the last frame for one beyond it (a stamp
// taken after the block's time was read, or a clock gone wrong).
uint32_t FrameOf(int64_t stamp, int64_t start, uint32_t frames)
{
    int64_t since = stamp - start;
    if (since <= 0 || frames == 0) return 0;
    if (since >= AudioClockPerSecond) return frames - 1;
    uint32_t frame = (uint32_t)(since * gLive.sampleRate / AudioClockPerSecond);
    return frame < frames ? frame : frames - 1;
}

// Each message at the frame of its stamp, never before the message sent
// before it (a note-off never before its note-on; equal frames keep their
// order). After an overflow the messages queued are dropped, every note is
// cut and the channels are told again.
void Render(void*, float* stereo, uint32_t frames, int64_t start)
{
    ApplyReverb();
    StampedMessage m;
    if (gLive.overflowed) {
        // The window thread queues nothing until the flag is cleared.
        while (PopMessage(&gLive.queue, &m)) {
        }
        gLive.overflowed = false;
        TellChannels(true);
    } else {
        uint32_t frame = 0;
        for (uint32_t taken = 0; taken < MessagesPerPeriod && PopMessage(&gLive.queue, &m); taken++) {
            uint32_t at = FrameOf(m.stamp, start, frames);
            frame = at > frame ? at : frame;
            SynthShortMessage(gLive.synth, m.word, frame);
        }
    }
    SynthRender(gLive.synth, stereo, frames);
}

// Nothing sounds: what waits is dropped (the channels are told when a
// stream opens).
void Discard(void*)
{
    StampedMessage m;
    while (PopMessage(&gLive.queue, &m)) {
    }
    gLive.overflowed = false;
}

const AudioSource LiveSource = {nullptr, Prepare, Render, Discard};

} // namespace

bool OpenLiveDevice(const SoundFont* font)
{
    gLive.font = font;
    ClearMessageQueue(&gLive.queue);
    gLive.overflowed = false;
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
    Track(word);
    if (gLive.overflowed) return false;
    if (PushMessage(&gLive.queue, {word, AudioClockNow()})) return true;
    gLive.overflowed = true;
    return false;
}

void SetLiveReverb(bool on)
{
    gLive.reverb.store(on, std::memory_order_relaxed);
}

void CloseLiveDevice()
{
    StopAudioOutput();
    if (gLive.synth) DestroySynth(gLive.synth);
    gLive.synth = nullptr;
    gLive.sampleRate = 0;
}
