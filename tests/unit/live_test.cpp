// The built-in synthesizer as an output device: the queue between the two
// threads, the messages rendered from the start of the next period, a stream
// that reopens with nothing left sounding; and the audio output's choices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
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
    uint32_t next = 0xFFFFF000u, expected = next, word;
    queue.read = queue.write = next;
    for (int round = 0; round < 3; round++) {
        while (PushMessage(&queue, next)) next++;
        EXPECT_EQ(MessageQueueSize, next - expected) << "full after a whole queue";
        for (uint32_t i = 0; i < MessageQueueSize - 100; i++) {
            ASSERT_TRUE(PopMessage(&queue, &word));
            ASSERT_EQ(expected++, word);
        }
    }
    while (PopMessage(&queue, &word)) ASSERT_EQ(expected++, word);
    EXPECT_EQ(next, expected);
}

static const SoundFont* GeneralMidiFont()
{
    static SoundFont font;
    static FILE* file = fopen(QF_TEST_SOUNDFONT, "rb");
    static bool loaded = file && LoadSoundFont(file, &font, nullptr, 0);
    EXPECT_TRUE(loaded) << QF_TEST_SOUNDFONT;
    return &font;
}

// The same messages to a synthesizer of its own, all at the first frame.
static std::vector<float> Reference(int rate, std::vector<uint32_t> words, uint32_t frames)
{
    Synth* synth = CreateSynth(GeneralMidiFont(), rate);
    for (uint32_t w : words) SynthShortMessage(synth, w, 0);
    std::vector<float> out(2 * frames);
    SynthRender(synth, out.data(), frames);
    DestroySynth(synth);
    return out;
}

static std::vector<float> RenderLive(uint32_t frames)
{
    std::vector<float> out(2 * frames);
    gFakeAudio.source->render(gFakeAudio.source->context, out.data(), frames);
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
// Blocks of whole control blocks of the synthesizer keep each note at the
// same place in its control block as in the reference.
TEST(LiveDevice, RendersFromThePeriodStartAndReopensSilent)
{
    struct Case {
        int rate;
        bool away; // messages were sent while no stream played
    } cases[] = {{48000, false}, {44100, false}, {48000, true}, {22050, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + (c.away ? " away" : ""));
        StartCapture();
        OfferLiveDevice(GeneralMidiFont());
        MidiOutHandle live;
        ASSERT_TRUE(MidiOutOpenDevice(1, &live));
        SendProgramChange(live, 0, 40);
        SendNoteOn(live, 0, 69, 100);
        std::vector<float> first = Reference(48000, {0x28C0, 0x644590}, 8 * ControlFrames);
        EXPECT_GT(Apart(first, {}), 0.001f);
        EXPECT_EQ(first, RenderLive(8 * ControlFrames));
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
    int16_t integers[3];
    SpreadStereo(stereo, 2, {1, false}, integers);
    SpreadStereo(odd, 1, {1, false}, integers + 2);
    EXPECT_EQ(std::vector<int16_t>({4095, -8191, 0}), std::vector<int16_t>(integers, integers + 3));
}
