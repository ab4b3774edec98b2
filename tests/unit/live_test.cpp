// The built-in synthesizer as an output device: the queue between the two
// threads, messages at the frames of their stamps, a stream that reopens
// with nothing left sounding, an overflow; and the audio output's choices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "portable/play/midi_output.h"
#include "fake_platform.h"
#include "portable/live/live_device.h"
#include "portable/live/message_queue.h"
#include "portable/live/audio_output.h"
#include "windows/platform/audio_stream.h"
#include "portable/synth/synth.h"
#include "portable/synth/voice.h"

// The counters start near their own wrap; each round leaves 100 words.
TEST(MessageQueue, KeepsOrderAcrossTheWrapAndRefusesWhenFull)
{
    static MessageQueue queue;
    uint32_t next = 0xFFFFF000u, expected = next;
    StampedMessage m;
    queue.read = queue.write = next;
    for (int round = 0; round < 3; round++) {
        while (PushMessage(&queue, {next, -(int64_t)next})) next++;
        EXPECT_EQ(MessageQueueSize, next - expected) << "full after a whole queue";
        for (uint32_t i = 0; i < MessageQueueSize - 100; i++) {
            ASSERT_TRUE(PopMessage(&queue, &m));
            ASSERT_EQ(expected, m.word);
            ASSERT_EQ(-(int64_t)expected++, m.stamp);
        }
    }
    while (PopMessage(&queue, &m)) ASSERT_EQ(expected++, m.word);
    EXPECT_EQ(next, expected);
}

TEST(MessageQueue, TwoThreadsPassEveryMessageInOrder)
{
    static MessageQueue queue;
    constexpr uint32_t Count = 300000;
    std::thread producer([] {
        for (uint32_t i = 0; i < Count;) i += PushMessage(&queue, {i, (int64_t)i << 32 | i});
    });
    uint32_t expected = 0, wrong = 0;
    StampedMessage m;
    while (expected < Count)
        if (PopMessage(&queue, &m)) wrong += m.word != expected || m.stamp != ((int64_t)expected << 32 | expected), expected++;
    producer.join();
    EXPECT_EQ(0u, wrong);
}

static const SoundFont* GeneralMidiFont()
{
    static SoundFont font;
    static FILE* file = fopen(QF_TEST_SOUNDFONT, "rb");
    static bool loaded = file && LoadSoundFont(file, &font, nullptr, 0);
    EXPECT_TRUE(loaded) << QF_TEST_SOUNDFONT;
    return &font;
}

// The built-in device keeps its id when a system device comes later; a
// first start opens it only where an endpoint is there to play it.
TEST(LiveDevice, KeepsItsIdAndIsReadyWithAnEndpoint)
{
    for (bool endpoint : {true, false}) {
        StartCapture();
        setenv("QF_MIDI_DEVICES", "A", 1);
        gFakeAudio.present = endpoint;
        OfferLiveDevice(GeneralMidiFont());
        setenv("QF_MIDI_DEVICES", "A|B", 1);
        char name[DeviceNameSize] = "";
        int32_t ready = -2;
        EXPECT_TRUE(MidiOutDeviceCount() == 2 && MidiOutDeviceName(1, name, sizeof name) && name == std::string(LiveDeviceName));
        EXPECT_TRUE(LiveDeviceReady(&ready) == endpoint && ready == (endpoint ? 1 : -2));
    }
    StartCapture();
}

// The same messages to a synthesizer of its own, at the frames `at` (else
// all at the first frame).
static std::vector<float> Reference(int rate, std::vector<uint32_t> words, uint32_t frames,
                                    std::vector<uint32_t> at = {})
{
    Synth* synth = CreateSynth(GeneralMidiFont(), rate);
    for (size_t i = 0; i < words.size(); i++) SynthShortMessage(synth, words[i], at.empty() ? 0 : at[i]);
    std::vector<float> out(2 * frames);
    SynthRender(synth, out.data(), frames);
    DestroySynth(synth);
    return out;
}

// A block whose first frame is due for what was stamped at the clock's time now.
static std::vector<float> RenderLive(uint32_t frames)
{
    std::vector<float> out(2 * frames);
    gFakeAudio.source->render(gFakeAudio.source->context, out.data(), frames, gFakeAudio.clock);
    return out;
}

// The largest difference of a and b from frame `from` on (b empty: silence).
static float Apart(const std::vector<float>& a, const std::vector<float>& b, size_t from = 0)
{
    float most = b.empty() || a.size() == b.size() ? 0 : INFINITY;
    for (size_t i = 2 * from; i < a.size(); i++) most = std::fmax(most, std::fabs(a[i] - (b.empty() ? 0 : b[i])));
    return most;
}

// What the device renders is what its messages make, from the block's first
// frame. A stream that reopens (the endpoint went away, perhaps for a while,
// and came back at this rate) cuts the note held, and the channel plays on
// with the program it was last given, also one given while no stream played.
// A device opened without an endpoint sounds as one comes.
// Blocks of whole control blocks of the synthesizer keep each note at the
// same place in its control block as in the reference.
TEST(LiveDevice, RendersFromThePeriodStartAndReopensSilent)
{
    struct Case {
        int rate;
        bool away, endpoint; // messages were sent while no stream played; an endpoint at the open
    } cases[] = {{48000, false, 1}, {44100, false, 1}, {48000, true, 1}, {22050, true, 1}, {44100, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + (c.away ? " away" : "") + (c.endpoint ? "" : " no endpoint"));
        StartCapture();
        OfferLiveDevice(GeneralMidiFont());
        gFakeAudio.present = c.endpoint;
        MidiOutHandle live;
        ASSERT_TRUE(MidiOutOpenDevice(1, &live));
        SendProgramChange(live, 0, 40);
        SendNoteOn(live, 0, 69, 100);
        std::vector<float> first = Reference(48000, {0x28C0, 0x644590}, 8 * ControlFrames);
        EXPECT_GT(Apart(first, {}), 0.001f);
        EXPECT_TRUE(!c.endpoint || first == RenderLive(8 * ControlFrames));
        uint32_t program = 40;
        if (c.away) {
            SendProgramChange(live, 0, program = 50);
            SendNoteOn(live, 0, 60, 100);
            gFakeAudio.source->discard(gFakeAudio.source->context);
        }
        ASSERT_TRUE(gFakeAudio.source->prepare(gFakeAudio.source->context, c.rate));
        std::vector<float> after = RenderLive((uint32_t)c.rate / 10 / ControlFrames * ControlFrames);
        EXPECT_EQ(0.0f, Apart(after, {}, (size_t)c.rate / 100)) << "silent 10 ms after the reopen";
        SendNoteOn(live, 0, 72, 100);
        std::vector<float> note = RenderLive(16 * ControlFrames);
        EXPECT_GT(Apart(note, {}), 0.001f);
        EXPECT_LT(Apart(Reference(c.rate, {0xC0 | program << 8, 0x644890}, 16 * ControlFrames), note), 1e-6f);
        MidiOutCloseDevice(live);
        EXPECT_TRUE(CaptureLines().empty()) << "nothing reaches the system's devices";
    }
    StartCapture();
}

// Blocks of 512 frames (about Wine's 10 ms period) from clock time 0: a note
// 3 ms long sounds, each message at its stamp's frame, an off never before
// its on, a stamp long past at frame 0, one beyond the block at its end.
TEST(LiveDevice, MessagesSoundAtTheFramesOfTheirStamps)
{
    constexpr int64_t Ms = AudioClockPerSecond / 1000;
    const struct { int64_t on, off; uint32_t at[2]; } cases[] = { // stamps, frames at 48 kHz
        {0, 3 * Ms, {0, 144}}, {2 * Ms, 2 * Ms, {96, 96}},     {5 * Ms, 3 * Ms, {240, 240}},
        {-Ms * Ms, 3 * Ms, {0, 144}}, {12 * Ms, 3 * Ms, {511, 511}}, {0, Ms * Ms * Ms, {0, 511}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.on) + " " + std::to_string(c.off));
        StartCapture();
        OfferLiveDevice(GeneralMidiFont());
        MidiOutHandle live;
        ASSERT_TRUE(MidiOutOpenDevice(1, &live));
        gFakeAudio.clock = c.on;
        SendNoteOn(live, 0, 69, 100);
        gFakeAudio.clock = c.off;
        SendNoteOff(live, 0, 69, 0);
        gFakeAudio.clock = 0;
        std::vector<float> out = RenderLive(8 * ControlFrames), next = RenderLive(16 * ControlFrames);
        out.insert(out.end(), next.begin(), next.end());
        EXPECT_EQ(Reference(48000, {0x644590, 0x4580}, 24 * ControlFrames, {c.at[0], c.at[1]}), out);
        EXPECT_EQ(c.at[0] != c.at[1], Apart(out, {}) > 0.01f) << "the pair sounds";
        MidiOutCloseDevice(live);
    }
    StartCapture();
}

// An overflow ends every note within 5 ms, sounds none queued, and keeps the
// channel's program and bend, also those of messages it could not take.
TEST(LiveDevice, AnOverflowEndsEveryNote)
{
    StartCapture();
    OfferLiveDevice(GeneralMidiFont());
    MidiOutHandle live;
    ASSERT_TRUE(MidiOutOpenDevice(1, &live));
    SendPitchBend(live, 0, 0x2400);
    SendNoteOn(live, 0, 69, 100);
    EXPECT_GT(Apart(RenderLive(8 * ControlFrames), {}), 0.001f);
    unsigned taken = 0;
    while (SendNoteOn(live, 0, 72, 100) == 0 && taken <= MessageQueueSize) taken++;
    EXPECT_EQ(MessageQueueSize, taken);
    EXPECT_NE(0u, SendProgramChange(live, 0, 50)) << "not taken until the render thread has cut";
    EXPECT_EQ(0.0f, Apart(RenderLive(8 * ControlFrames), {}, 5 * 48)) << "silent 5 ms on";
    SendNoteOn(live, 0, 60, 100);
    EXPECT_LT(Apart(Reference(48000, {0x32C0, 0x4800E0, 0x643C90}, 16 * ControlFrames), RenderLive(16 * ControlFrames)),
              1e-6f);
    MidiOutCloseDevice(live);
    StartCapture();
}

// What each call of the audio client answers (p, 3, c: GetSharedModeEnginePeriod,
// InitializeSharedAudioStream, Initialize), and which client serves.
struct Answers {
    bool hasClient3;
    int32_t period, client3, client;
    std::string calls;
};
static Answers* Said(void* a, const char* call) { return ((Answers*)a)->calls += call, (Answers*)a; }
static int32_t AnswerPeriod(void* a, uint32_t* minimum) { return *minimum = 144, Said(a, "p")->period; }
static int32_t AnswerClient3(void* a, uint32_t frames) { return Said(a, frames == 144 ? "3" : "?")->client3; }
static int32_t AnswerClient(void* a) { return Said(a, "c")->client; }

TEST(AudioStream, IAudioClient3WithTheSmallestPeriodElseIAudioClient)
{
    constexpr int32_t NotImplemented = (int32_t)0x80004001; // E_NOTIMPL, as Wine 8 answers
    constexpr int32_t Unsupported = (int32_t)0x88890008;    // AUDCLNT_E_UNSUPPORTED_FORMAT
    constexpr int32_t Invalidated = (int32_t)0x88890004;    // AUDCLNT_E_DEVICE_INVALIDATED
    struct Case {
        Answers answers;
        const char* calls;
        bool lowLatency;
        int32_t result, client3Result;
    } cases[] = {
        {{true, 0, 0, 0, ""}, "p3", true, 0, 0},
        {{true, 0, Unsupported, 0, ""}, "p3c", false, 0, Unsupported},
        {{false, 0, 0, 0, ""}, "c", false, 0, 0},
        {{true, NotImplemented, 0, Invalidated, ""}, "pc", false, Invalidated, NotImplemented},
    };
    for (Case& c : cases) {
        StreamChoice choice =
            InitializeStream({&c.answers, c.answers.hasClient3, AnswerPeriod, AnswerClient3, AnswerClient});
        EXPECT_EQ(c.calls, c.answers.calls);
        EXPECT_EQ(c.lowLatency, choice.lowLatency);
        EXPECT_EQ(c.result, choice.result);
        EXPECT_EQ(c.client3Result, choice.client3Result);
    }
    // Waiting in the buffer: 3 ms of IAudioClient3, 20 ms of IAudioClient's
    // 10 ms periods, at most the buffer.
    EXPECT_EQ(144u, FillFrames(true, 144, 1024));
    EXPECT_EQ(960u, FillFrames(false, 480, 1440));
    EXPECT_EQ(800u, FillFrames(false, 480, 800));
}

// Left and right into the first two channels and silence into the rest, or
// their mean into one; 16-bit samples clipped, not a number silent.
TEST(AudioStream, StereoInTheEndpointsLayout)
{
    const float stereo[6] = {0.5f, -0.25f, 1.5f, -2.0f, 0.25f, 0.75f};
    float floats[9];
    SpreadStereo(stereo, 3, {3, true}, floats);
    EXPECT_EQ(std::vector<float>({0.5f, -0.25f, 0, 1.5f, -2.0f, 0, 0.25f, 0.75f, 0}),
              std::vector<float>(floats, floats + 9));
    const float odd[4] = {NAN, 0.0f, 0.25f, 0.75f};
    int16_t integers[9];
    SpreadStereo(stereo, 2, {1, false}, integers);
    SpreadStereo(odd, 1, {1, false}, integers + 2);
    SpreadStereo(stereo, 3, {2, false}, integers + 3);
    EXPECT_EQ(std::vector<int16_t>({4095, -8191, 0, 16383, -8191, 32767, -32767, 8191, 24575}),
              std::vector<int16_t>(integers, integers + 9));
}
