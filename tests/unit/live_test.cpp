// The built-in synthesizer as an output device: the queue between the two
// threads, the device list with the built-in device after the system's, the
// messages rendered from the start of the next period, a stream that
// reopens with nothing left sounding, and the audio output's own choices
// (which client serves the stream, the endpoint's sample layout).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/midi_output.h"
#include "engine/performance.h"
#include "fake_platform.h"
#include "live/live_device.h"
#include "live/message_queue.h"
#include "platform/audio_output.h"
#include "platform/audio_stream.h"
#include "synth/synth.h"
#include "synth/voice.h"

// The counters start near their own wrap, and each round ends with the
// slots' index past the end of the array.
TEST(MessageQueue, KeepsOrderAcrossTheWrapAndRefusesWhenFull)
{
    static MessageQueue queue;
    uint32_t next = 0xFFFFF000u, expected = next, word;
    queue.read = next;
    queue.write = next;
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

TEST(MessageQueue, TwoThreadsPassEveryWordInOrder)
{
    static MessageQueue queue;
    constexpr uint32_t Count = 300000;
    std::thread producer([] {
        for (uint32_t i = 0; i < Count;)
            if (PushMessage(&queue, i)) i++;
    });
    uint32_t expected = 0, word, wrong = 0;
    while (expected < Count)
        if (PopMessage(&queue, &word)) wrong += word != expected++;
    producer.join();
    EXPECT_EQ(0u, wrong);
}

static const SoundFont* GeneralMidiFont()
{
    static SoundFont font;
    static bool loaded = false;
    if (!loaded) {
        FILE* file = fopen(QF_TEST_SOUNDFONT, "rb");
        char message[256] = "";
        loaded = file && LoadSoundFont(file, &font, message, sizeof(message));
        if (file) fclose(file);
        EXPECT_TRUE(loaded) << QF_TEST_SOUNDFONT << ": " << message;
    }
    return &font;
}

// The device list for each system list, font and endpoint.
TEST(LiveDevice, OfferedAfterTheSystemsDevices)
{
    struct Case {
        const char* devices;
        bool font, endpoint;
        unsigned count;
        int selected; // after MapperAvailable: -1 the mapper
    } cases[] = {
        {"A|B", true, true, 3, -1},
        {"A|B", true, false, 3, -1}, // the endpoint is looked for when opened
        {"A|B", false, true, 2, -1},
        {"", true, true, 1, 0},      // the built-in device alone: no mapper
        {"", true, false, 0, -1},
        {"", false, true, 0, -1},
    };
    for (const Case& c : cases) {
        StartCapture();
        setenv("QF_MIDI_DEVICES", c.devices, 1);
        gFakeAudio.present = c.endpoint;
        OfferLiveDevice(c.font ? GeneralMidiFont() : nullptr);
        SCOPED_TRACE(std::string(c.devices) + (c.font ? " font" : "") + (c.endpoint ? " endpoint" : ""));
        EXPECT_EQ(c.count, MidiOutDeviceCount());
        char name[DeviceNameSize] = "";
        bool offered = c.font && c.count > 0;
        EXPECT_EQ(offered, MidiOutDeviceName((int)c.count - 1, name, sizeof(name)) && strcmp(name, u8"琴坊音源") == 0);
        EXPECT_FALSE(MidiOutDeviceName((int)c.count, name, sizeof(name)));
        if (offered) {
            ASSERT_TRUE(MidiOutDeviceName((int)c.count - 1, name, 4));
            EXPECT_STREQ(u8"琴", name) << "cut at a character";
        }
        if (c.count == 0) continue;
        MapperAvailable(name, sizeof(name));
        EXPECT_EQ(c.selected, gSettings.device);
    }
}

// The same messages to a synthesizer of their own: what the device renders
// must be just that, every message taking effect at the block's first frame.
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

static float Peak(const std::vector<float>& samples, size_t from)
{
    float peak = 0;
    for (size_t i = from; i < samples.size(); i++) peak = std::fmax(peak, std::fabs(samples[i]));
    return peak;
}

static float Distance(const std::vector<float>& a, const std::vector<float>& b)
{
    float most = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++) most = std::fmax(most, std::fabs(a[i] - b[i]));
    return a.size() == b.size() ? most : INFINITY;
}

// A stream that reopens (the endpoint went away, perhaps for a while, and
// came back at this rate) cuts the note held, and the channel plays on with
// the program it was last given, also one given while no stream played.
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
        EXPECT_TRUE(CaptureLines().empty()) << "nothing reaches the system's devices";
        std::vector<float> first = Reference(48000, {0x28C0, 0x644590}, 8 * ControlFrames);
        EXPECT_GT(Peak(first, 0), 0.001f);
        EXPECT_EQ(first, RenderLive(8 * ControlFrames));

        uint32_t program = 40;
        if (c.away) {
            SendProgramChange(live, 0, 50);
            SendNoteOn(live, 0, 60, 100);
            gFakeAudio.source->discard(gFakeAudio.source->context);
            program = 50;
        }
        ASSERT_TRUE(gFakeAudio.source->prepare(gFakeAudio.source->context, c.rate));
        std::vector<float> after = RenderLive((uint32_t)c.rate / 10 / ControlFrames * ControlFrames);
        EXPECT_EQ(0.0f, Peak(after, 2 * (size_t)c.rate / 100)) << "silent 10 ms after the reopen";
        SendNoteOn(live, 0, 72, 100);
        std::vector<float> note = RenderLive(16 * ControlFrames);
        EXPECT_GT(Peak(note, 0), 0.001f);
        EXPECT_LT(Distance(Reference(c.rate, {0xC0 | program << 8, 0x644890}, 16 * ControlFrames), note), 1e-6f);
        MidiOutCloseDevice(live);
        EXPECT_EQ(nullptr, gFakeAudio.source);
    }
    StartCapture();
}

TEST(LiveDevice, FailsToOpenWithoutAnEndpointAndSendsNothingWhenFull)
{
    StartCapture();
    setenv("QF_MIDI_DEVICES", "A", 1);
    gFakeAudio.present = false;
    OfferLiveDevice(GeneralMidiFont());
    MidiOutHandle live;
    EXPECT_FALSE(MidiOutOpenDevice(1, &live));
    gFakeAudio.present = true;
    ASSERT_TRUE(MidiOutOpenDevice(1, &live));
    unsigned accepted = 0;
    while (MidiOutSendShort(live, 0x7B0B0) == 0 && accepted <= MessageQueueSize) accepted++;
    EXPECT_EQ(MessageQueueSize, accepted) << "a full queue drops the word and says so";
    MidiOutCloseDevice(live);
    EXPECT_TRUE(CaptureLines().empty());
    StartCapture();
}

// What each call of the audio client answers, and which client serves.
namespace {
struct ClientAnswers {
    bool hasClient3;
    int32_t enginePeriod;
    uint32_t minimumFrames;
    int32_t initializeClient3;
    int32_t initializeClient;
    std::vector<std::string> calls;
};

int32_t AnswerEnginePeriod(void* context, uint32_t* minimumFrames)
{
    ClientAnswers* a = (ClientAnswers*)context;
    a->calls.push_back("enginePeriod");
    *minimumFrames = a->minimumFrames;
    return a->enginePeriod;
}

int32_t AnswerInitializeClient3(void* context, uint32_t periodFrames)
{
    ClientAnswers* a = (ClientAnswers*)context;
    a->calls.push_back("client3 " + std::to_string(periodFrames));
    return a->initializeClient3;
}

int32_t AnswerInitializeClient(void* context)
{
    ClientAnswers* a = (ClientAnswers*)context;
    a->calls.push_back("client");
    return a->initializeClient;
}
} // namespace

TEST(AudioStream, IAudioClient3WithTheSmallestPeriodElseIAudioClient)
{
    constexpr int32_t NotImplemented = (int32_t)0x80004001;  // E_NOTIMPL, as Wine 8 answers
    constexpr int32_t Unsupported = (int32_t)0x88890008;     // AUDCLNT_E_UNSUPPORTED_FORMAT
    constexpr int32_t Invalidated = (int32_t)0x88890004;     // AUDCLNT_E_DEVICE_INVALIDATED
    struct Case {
        ClientAnswers answers;
        std::vector<std::string> calls;
        bool lowLatency;
        int32_t result, client3Result;
    } cases[] = {
        {{true, 0, 128, 0, 0, {}}, {"enginePeriod", "client3 128"}, true, 0, 0},
        {{true, NotImplemented, 0, 0, 0, {}}, {"enginePeriod", "client"}, false, 0, NotImplemented},
        {{true, 0, 144, Unsupported, 0, {}}, {"enginePeriod", "client3 144", "client"}, false, 0, Unsupported},
        {{false, 0, 128, 0, 0, {}}, {"client"}, false, 0, 0},
        {{true, NotImplemented, 0, 0, Invalidated, {}}, {"enginePeriod", "client"}, false, Invalidated,
         NotImplemented},
    };
    for (Case& c : cases) {
        StreamCalls calls = {&c.answers, c.answers.hasClient3, AnswerEnginePeriod, AnswerInitializeClient3,
                             AnswerInitializeClient};
        StreamChoice choice = InitializeStream(calls);
        EXPECT_EQ(c.calls, c.answers.calls);
        EXPECT_EQ(c.lowLatency, choice.lowLatency);
        EXPECT_EQ(c.result, choice.result);
        EXPECT_EQ(c.client3Result, choice.client3Result);
    }
    // What stays waiting in the buffer: 2.67 ms of IAudioClient3, 20 ms of
    // IAudioClient's 10 ms periods, the buffer when it is smaller or the
    // period unknown.
    EXPECT_EQ(128u, FillFrames(true, 128, 1024));
    EXPECT_EQ(960u, FillFrames(false, 480, 1440));
    EXPECT_EQ(800u, FillFrames(false, 480, 800));
    EXPECT_EQ(1440u, FillFrames(false, 0, 1440));
}

TEST(AudioStream, StereoInTheEndpointsLayout)
{
    const float stereo[6] = {0.5f, -0.25f, 1.5f, -2.0f, NAN, 0.25f};
    struct Case {
        SampleLayout layout;
        std::vector<float> floats;     // the float layouts
        std::vector<int16_t> integers; // the 16-bit layouts
    } cases[] = {
        {{2, true}, {0.5f, -0.25f, 1.5f, -2.0f, NAN, 0.25f}, {}},
        {{1, true}, {0.125f, -0.25f, NAN}, {}},
        {{4, true}, {0.5f, -0.25f, 0, 0, 1.5f, -2.0f, 0, 0, NAN, 0.25f, 0, 0}, {}},
        {{2, false}, {}, {16383, -8191, 32767, -32767, 0, 8191}}, // clipped; not a number is silence
        {{3, false}, {}, {16383, -8191, 0, 32767, -32767, 0, 0, 8191, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.layout.channels) + (c.layout.isFloat ? " float" : " int16"));
        if (c.layout.isFloat) {
            std::vector<float> out(c.floats.size(), 99.0f);
            SpreadStereo(stereo, 3, c.layout, out.data());
            for (size_t i = 0; i < out.size(); i++)
                EXPECT_TRUE(out[i] == c.floats[i] || (std::isnan(out[i]) && std::isnan(c.floats[i]))) << i;
        } else {
            std::vector<int16_t> out(c.integers.size(), 99);
            SpreadStereo(stereo, 3, c.layout, out.data());
            EXPECT_EQ(c.integers, out);
        }
    }
}
