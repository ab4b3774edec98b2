// The synthesizer on a SoundFont written here: a sine of 440 Hz at its root
// key, a saw and a constant (DC) sample, whose output shows the envelopes
// and gains directly. Every expectation is worked out by hand from the
// format's units; the reader's damage checks, chunk by chunk; the reverb
// and the chorus from outside, and the reverb's memory after its tail.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "portable/synth/denormals.h"
#include "portable/synth/reverb.h"
#include "portable/synth/synth.h"
#include "portable/synth/voice.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Gens = std::vector<std::pair<uint16_t, int16_t>>;
constexpr int Rate = 48000;

void Put(Bytes& b, uint32_t v, int n) { for (int i = 0; i < n; i++) b.push_back(i < 4 ? (uint8_t)(v >> 8 * i) : 0); }
void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }
void PutName(Bytes& b, const char* name) { char n[20] = {}; strncpy(n, name, 19); b.insert(b.end(), n, n + 20); }
Bytes Chunk(const char* id, const Bytes& body)
{
    Bytes b;
    PutId(b, id);
    Put(b, (uint32_t)body.size(), 4);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
Bytes List(const char* type, const std::vector<Bytes>& chunks)
{
    Bytes body;
    PutId(body, type);
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("LIST", body);
}

// Samples 0 sine (100 points a period at 44000 Hz: 440 Hz, root 69), 1 saw
// (same period), 2 constant 16384 (root 60); each 4000 points, looped over
// 1000..3000, 46 zero points after. One instrument zone per sample, with
// the test's generators and modulators; preset 0:0 plays instrument 0
// (sine), 0:1 the saw, 0:2 the constant, 128:0 the drums: instrument 3, two
// constant zones on keys 42 and 46 of exclusive class 1.
Bytes BuildFont(const Gens& instrumentGens = {}, const Gens& presetGens = {}, int8_t correction = 0,
                const std::vector<SfModulator>& instrumentMods = {})
{
    Bytes smpl;
    for (int s = 0; s < 3; s++) {
        for (int i = 0; i < 4000; i++) {
            double p = (i % 100) / 100.0;
            int v = s == 0 ? (int)lrint(16000 * sin(2 * M_PI * p)) : s == 1 ? (int)(32000 * p) - 16000 : 16384;
            Put(smpl, (uint32_t)(int16_t)v, 2);
        }
        for (int i = 0; i < 46; i++) Put(smpl, 0, 2);
    }
    Bytes shdr, inst, ibag, igen, phdr, pbag, pgen, mods(10, 0), imod;
    for (int s = 0; s < 4; s++) {
        uint32_t base = 4046 * (uint32_t)s;
        PutName(shdr, s < 3 ? "sample" : "EOS");
        for (uint32_t v : {base, base + 4000, base + 1000, base + 3000}) Put(shdr, s < 3 ? v : 0, 4);
        Put(shdr, s < 3 ? 44000 : 0, 4);
        shdr.push_back(s == 2 ? 60 : 69);
        shdr.push_back((uint8_t)(s == 0 ? correction : 0));
        Put(shdr, 0, 2);
        Put(shdr, 1, 2);
    }
    auto zone = [](Bytes& bag, Bytes& gen, const Gens& gens, int genBase, uint32_t modBase = 0) {
        Put(bag, (uint32_t)(gen.size() / 4 + genBase), 2);
        Put(bag, modBase, 2);
        for (auto [g, v] : gens) Put(gen, g, 2), Put(gen, (uint16_t)v, 2);
    };
    Gens looped = {{GenSampleModes, 1}};
    looped.insert(looped.end(), instrumentGens.begin(), instrumentGens.end());
    for (int i = 0; i < 5; i++) {
        PutName(inst, i < 4 ? "instrument" : "EOI");
        Put(inst, (uint32_t)(ibag.size() / 4), 2);
        if (i == 4) break;
        for (int z = 0; z < (i == 3 ? 2 : 1); z++) {
            Gens g = i == 3 ? Gens{{GenKeyRange, (int16_t)(z ? 46 | 46 << 8 : 42 | 42 << 8)}, {GenSampleModes, 1},
                                   {GenExclusiveClass, 1}, {GenSampleId, 2}}
                            : looped;
            if (i < 3) g.push_back({GenSampleId, (int16_t)i});
            zone(ibag, igen, g, 0, (uint32_t)(imod.size() / 10));
            for (const SfModulator& m : i < 3 ? instrumentMods : std::vector<SfModulator>{})
                for (uint32_t field : {(uint32_t)m.source, (uint32_t)m.destination, (uint32_t)(uint16_t)m.amount,
                                       (uint32_t)m.amountSource, (uint32_t)m.transform})
                    Put(imod, field, 2);
        }
    }
    zone(ibag, igen, {}, 0, (uint32_t)(imod.size() / 10));
    imod.insert(imod.end(), 10, 0);
    Put(igen, 0, 4);
    for (int p = 0; p < 5; p++) {
        PutName(phdr, p < 4 ? "preset" : "EOP");
        Put(phdr, p == 3 ? 0 : p, 2);
        Put(phdr, p == 3 ? 128 : 0, 2);
        Put(phdr, (uint32_t)p, 2);
        Put(phdr, 0, 12);
        if (p == 4) break;
        Gens g = presetGens;
        g.push_back({GenInstrument, (int16_t)p});
        zone(pbag, pgen, g, 0);
    }
    zone(pbag, pgen, {}, 0);
    Put(pgen, 0, 4);
    Bytes ifil;
    Put(ifil, 2, 2), Put(ifil, 1, 2);
    Bytes body;
    PutId(body, "sfbk");
    for (const Bytes& l : {List("INFO", {Chunk("ifil", ifil)}), List("sdta", {Chunk("smpl", smpl)}),
                           List("pdta", {Chunk("phdr", phdr), Chunk("pbag", pbag), Chunk("pmod", mods),
                                         Chunk("pgen", pgen), Chunk("inst", inst), Chunk("ibag", ibag),
                                         Chunk("imod", imod), Chunk("igen", igen), Chunk("shdr", shdr)})})
        body.insert(body.end(), l.begin(), l.end());
    return Chunk("RIFF", body);
}

// A font read from bytes and a synth at Rate; messages are sent at frames.
// The reverb is off unless asked for: the other checks read the dry sound.
struct Rig {
    SoundFont font{};
    Synth* synth = nullptr;
    explicit Rig(const Bytes& bytes, int rate = Rate, bool reverb = false)
    {
        char message[200];
        EXPECT_TRUE(ReadSoundFont(bytes.data(), bytes.size(), &font, message, sizeof message)) << message;
        synth = CreateSynth(&font, rate);
        SynthSetReverb(synth, reverb);
    }
    ~Rig()
    {
        DestroySynth(synth);
        FreeSoundFont(&font);
    }
    // Renders frames in blocks of block frames; returns interleaved stereo.
    std::vector<float> Render(uint32_t frames, uint32_t block = 256)
    {
        std::vector<float> out(2 * frames);
        for (uint32_t at = 0; at < frames; at += block) SynthRender(synth, &out[2 * at], std::min(block, frames - at));
        return out;
    }
    void Send(uint32_t message, uint32_t frame = 0) { SynthShortMessage(synth, message, frame); }
};

uint32_t NoteOn(int key, int velocity = 127, int channel = 0) { return 0x90u | channel | key << 8 | velocity << 16; }
uint32_t Control(int controller, int value, int channel = 0) { return 0xB0u | channel | controller << 8 | value << 16; }

// The frequency of the left channel from its rising zero crossings.
double Frequency(const std::vector<float>& out, size_t from, int rate)
{
    double first = -1, last = 0;
    int crossings = 0;
    for (size_t i = 2 * from; i + 2 < out.size(); i += 2) {
        if (out[i] < 0 && out[i + 2] >= 0) {
            double t = i / 2 + out[i] / (out[i] - out[i + 2]);
            if (first < 0) first = t;
            last = t, crossings++;
        }
    }
    return (crossings - 1) * rate / (last - first);
}

double Db(double ratio) { return 20 * log10(ratio); }

TEST(SynthPitch, RootTransposedTunedAndBentNotesWithinOneCent)
{
    struct Case {
        const char* what;
        int key, rate;
        Gens inst, preset;
        int8_t correction;
        uint32_t bend; // the pitch wheel, 0 for none
        double hz;
    };
    const double c = pow(2, 1 / 1200.0);
    const Case cases[] = {
        {"root key", 69, Rate, {}, {}, 0, 0, 440},
        {"an octave up", 81, Rate, {}, {}, 0, 0, 880},
        {"a fifth down", 62, Rate, {}, {}, 0, 0, 440 * pow(c, -700)},
        {"at 22050 Hz", 69, 22050, {}, {}, 0, 0, 440},
        {"at 96000 Hz", 57, 96000, {}, {}, 0, 0, 220},
        {"coarse +2", 69, Rate, {{GenCoarseTune, 2}}, {}, 0, 0, 440 * pow(c, 200)},
        {"fine -50", 69, Rate, {{GenFineTune, -50}}, {}, 0, 0, 440 * pow(c, -50)},
        {"preset coarse adds", 69, Rate, {{GenCoarseTune, 1}}, {{GenCoarseTune, 1}}, 0, 0, 440 * pow(c, 200)},
        {"scale tuning 50", 81, Rate, {{GenScaleTuning, 50}}, {}, 0, 0, 440 * pow(c, 600)},
        {"overriding root 60", 60, Rate, {{GenOverridingRootKey, 60}}, {}, 0, 0, 440},
        {"root key ignored at preset level", 69, Rate, {}, {{GenOverridingRootKey, 60}}, 0, 0, 440},
        {"sample correction +10", 69, Rate, {}, {}, 10, 0, 440 * pow(c, 10)},
        {"bend up", 69, Rate, {}, {}, 0, 16383, 440 * pow(c, 200 * 8191 / 8192.0)},
        {"bend down", 69, Rate, {}, {}, 0, 1, 440 * pow(c, -200)},
        {"bend bar at rest", 69, Rate, {}, {}, 0, 8191, 440 * pow(c, -200 / 8192.0)},
    };
    for (const Case& t : cases) {
        Rig rig(BuildFont(t.inst, t.preset, t.correction), t.rate);
        if (t.bend) rig.Send(0xE0 | (t.bend & 0x7F) << 8 | (t.bend >> 7) << 16);
        rig.Send(NoteOn(t.key));
        std::vector<float> out = rig.Render((uint32_t)t.rate);
        EXPECT_NEAR(1200 * log2(Frequency(out, (size_t)t.rate / 10, t.rate) / t.hz), 0, 1) << t.what;
    }
}

// The constant sample's level (left channel) at a time in ms.
float At(const std::vector<float>& out, double ms) { return out[2 * (size_t)lround(ms * Rate / 1000)]; }

TEST(SynthEnvelope, StagesLastTheirTimecents)
{
    // delay 100 ms, attack 200 ms, hold 100 ms, decay 1 s for the format's
    // 96 dB to a sustain of 300 cB of that range (28.8 dB, reached after
    // 300 ms), release 0.5 s for 96 dB; key up at 1000 ms.
    Rig rig(BuildFont({{GenDelayVolEnv, -3986}, {GenAttackVolEnv, -2786}, {GenHoldVolEnv, -3986},
                       {GenDecayVolEnv, 0}, {GenSustainVolEnv, 300}, {GenReleaseVolEnv, -1200}}));
    rig.Send(0xC0 | 2 << 8);
    rig.Send(NoteOn(60));
    rig.Send(NoteOn(60, 0), Rate);
    std::vector<float> out = rig.Render(Rate * 3 / 2);
    float peak = At(out, 350);
    const struct { double ms, db; } levels[] = {
        {99, -200}, {200, Db(0.5)}, {300, 0}, {399, 0}, {550, -14.4}, {700, -28.8}, {900, -28.8}, {1100, -48}, {1250, -76.8},
    };
    for (auto l : levels) {
        if (l.db < -100) EXPECT_EQ(0, At(out, l.ms)) << l.ms;
        else EXPECT_NEAR(l.db, Db(At(out, l.ms) / peak), 0.25) << l.ms << " ms";
    }
    // The delay ends and the attack starts within a millisecond of 100 ms;
    // the voice is over once the release has fallen to -96 dB (350 ms after
    // 28.8 dB).
    size_t firstSound = 0;
    while (out[2 * firstSound] == 0) firstSound++;
    EXPECT_NEAR(firstSound * 1000.0 / Rate, 100, 1);
    size_t lastSound = out.size() / 2 - 1;
    while (out[2 * lastSound] == 0) lastSound--;
    EXPECT_NEAR(lastSound * 1000.0 / Rate, 1350, 2);
    EXPECT_EQ(0u, SynthSoundingVoices(rig.synth));
}

TEST(SynthGain, AttenuationVelocityControllersAndPanInDecibels)
{
    struct Case {
        const char* what;
        Gens inst;
        std::vector<uint32_t> messages;
        int velocity;
        double leftDb, rightDb; // against the plain note in the middle
    };
    const double mid = Db(sqrt(0.5));
    const Case cases[] = {
        {"plain", {}, {}, 127, 0, 0},
        {"attenuation 250 cB, of which the format's hardware applies 0.4", {{GenInitialAttenuation, 250}}, {}, 127, -10, -10},
        {"velocity 64: the concave curve", {}, {}, 64, 40 * log10(64 / 127.0), 40 * log10(64 / 127.0)},
        {"volume 127 instead of 100", {}, {Control(7, 127)}, 127, -40 * log10(100 / 127.0), -40 * log10(100 / 127.0)},
        {"expression 64", {}, {Control(11, 64)}, 127, 40 * log10(64 / 127.0), 40 * log10(64 / 127.0)},
        {"pan -500: left only", {{GenPan, -500}}, {}, 127, -mid, -400},
        {"pan 250", {{GenPan, 250}}, {}, 127, Db(cos(0.75 * M_PI / 2)) - mid, Db(sin(0.75 * M_PI / 2)) - mid},
        // Controller 10 spans the pan range once: (value - 64) / 64 of 500.
        {"controller 10 at 0: left", {}, {Control(10, 0)}, 127, -mid, -400},
        {"controller 10 at 32: pan -250", {}, {Control(10, 32)}, 127, Db(cos(0.25 * M_PI / 2)) - mid,
         Db(sin(0.25 * M_PI / 2)) - mid},
        {"controller 10 at 96: pan 250", {}, {Control(10, 96)}, 127, Db(cos(0.75 * M_PI / 2)) - mid,
         Db(sin(0.75 * M_PI / 2)) - mid},
        {"controller 10 at 127: pan 492.2", {}, {Control(10, 127)}, 127, Db(cos(992.1875 / 1000 * M_PI / 2)) - mid,
         Db(sin(992.1875 / 1000 * M_PI / 2)) - mid},
        {"pan 500 and controller 10 at 32: pan 250", {{GenPan, 500}}, {Control(10, 32)}, 127,
         Db(cos(0.75 * M_PI / 2)) - mid, Db(sin(0.75 * M_PI / 2)) - mid},
        // The resonance lowers the gain at DC by half its height.
        {"resonance 100 cB: DC 5 dB down", {{GenInitialFilterQ, 100}}, {}, 127, -5, -5},
        {"resonance 100 cB below a cutoff of 1 kHz", {{GenInitialFilterQ, 100}, {GenInitialFilterFc, 8333}}, {}, 127,
         -5, -5},
        {"resonance 400 cB: DC 20 dB down", {{GenInitialFilterQ, 400}}, {}, 127, -20, -20},
    };
    float reference = 0;
    for (const Case& t : cases) {
        Rig rig(BuildFont(t.inst));
        rig.Send(0xC0 | 2 << 8);
        for (uint32_t m : t.messages) rig.Send(m);
        rig.Send(NoteOn(60, t.velocity));
        std::vector<float> out = rig.Render(Rate / 10);
        float left = out[out.size() - 2], right = out[out.size() - 1];
        if (reference == 0) reference = left;
        EXPECT_NEAR(t.leftDb, left > 0 ? Db(left / reference) : -400, 0.05) << t.what;
        EXPECT_NEAR(t.rightDb, right > 0 ? Db(right / reference) : -400, 0.05) << t.what;
    }
}

// The RMS of the left channel from frame `from` on.
double Rms(const std::vector<float>& out, size_t from, size_t to = SIZE_MAX)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = 2 * from; i < out.size() && i < 2 * to; i += 2, n++) sum += (double)out[i] * out[i];
    return n ? sqrt(sum / n) : 0;
}

// The sine (440 Hz) through a cutoff of 6900 cents (440 Hz, so 3.01 dB
// down with no resonance), against the same note unfiltered. Velocity moves
// the cutoff by 1000 log10(v / 127) cents (-2400 cents through the concave
// curve of 1 - v / 127), so a Butterworth low-pass passes 440 Hz at
// -10 log10(1 + (440 / cutoff)^4) dB; a zone's own velocity-to-cutoff
// modulator of amount 0, in either form, keeps the cutoff where it is.
TEST(SynthFilter, VelocityMovesTheCutoffAlongOneCurve)
{
    struct Case {
        const char* what;
        int velocity;
        Gens inst;
        std::vector<SfModulator> mods;
        double db;
    };
    const SfModulator switched = {0x0102, GenInitialFilterFc, 0, 0x0D02, 0};
    const SfModulator plain = {0x0502, GenInitialFilterFc, 0, 0, 0};
    const Case cases[] = {
        {"velocity 127: the cutoff as given", 127, {}, {}, -3.010},
        {"velocity 96: 121.5 cents lower", 96, {}, {}, -3.663},
        {"velocity 64: 297.6 cents lower", 64, {}, {}, -4.755},
        {"velocity 63: 304.5 cents lower, no step at 64", 63, {}, {}, -4.801},
        {"velocity 32: 598.7 cents lower", 32, {}, {}, -6.979},
        {"velocity 32, the zone's own switch-form modulator of amount 0", 32, {}, {switched}, -3.010},
        {"velocity 32, the zone's own plain modulator of amount 0", 32, {}, {plain}, -3.010},
        {"resonance 100 cB: 10 - 3.01 above the DC gain, which is 5 dB down", 127, {{GenInitialFilterQ, 100}}, {},
         1.990},
    };
    for (const Case& t : cases) {
        double rms[2];
        for (int filtered = 0; filtered < 2; filtered++) {
            Gens inst = t.inst;
            if (filtered) inst.push_back({GenInitialFilterFc, 6900});
            else inst.push_back({GenInitialFilterQ, 0});
            Rig rig(BuildFont(inst, {}, 0, t.mods));
            rig.Send(NoteOn(69, t.velocity));
            std::vector<float> out = rig.Render(Rate / 2);
            rms[filtered] = Rms(out, Rate / 4);
        }
        EXPECT_NEAR(t.db, Db(rms[1] / rms[0]), 0.05) << t.what;
    }
}

TEST(SynthVoices, LoopModesExclusiveClassSustainAndPanic)
{
    // Each case: the sample mode, the messages at their times in ms, and
    // whether something still sounds at the check times.
    struct Case {
        const char* what;
        int mode, release, program; // release in timecents
        std::vector<std::pair<uint32_t, double>> messages;
        std::vector<std::pair<double, uint32_t>> voices; // (ms, voices sounding after rendering that far)
    };
    // The sample plays 4000 points at 44000 Hz from its root: 90.9 ms; the
    // release (default 1 ms) is short, the ramp of a cut 4 ms.
    const Case cases[] = {
        {"no loop: ends with the sample", 0, -12000, 2, {{NoteOn(60), 0}}, {{80, 1}, {100, 0}}},
        {"loop: goes on while held", 1, -12000, 2, {{NoteOn(60), 0}, {NoteOn(60, 0), 500}}, {{400, 1}, {510, 0}}},
        {"loop until release: plays to the end after the key", 3, -1200, 2,
         {{NoteOn(60), 0}, {NoteOn(60, 0), 500}}, {{400, 1}, {502, 1}, {600, 0}}},
        {"sustain pedal holds the note, its release lets go", 1, -12000, 2,
         {{Control(64, 127), 0}, {NoteOn(60), 0}, {NoteOn(60, 0), 100}, {Control(64, 0), 400}},
         {{300, 1}, {410, 0}}},
        {"all notes off cuts the release short", 1, -1200, 2,
         {{NoteOn(60), 0}, {NoteOn(60, 0), 100}, {Control(123, 0), 101}}, {{101, 1}, {106, 0}}},
        {"all sound off the same", 1, -1200, 2, {{NoteOn(60), 0}, {Control(120, 0), 200}}, {{200, 1}, {205, 0}}},
        {"a closed hi-hat cuts the open one", 1, -12000, 0,
         {{NoteOn(46, 127, 9), 0}, {NoteOn(42, 127, 9), 100}}, {{100, 1}, {101, 2}, {105, 1}}},
    };
    for (const Case& t : cases) {
        Rig rig(BuildFont({{GenSampleModes, (int16_t)t.mode}, {GenReleaseVolEnv, (int16_t)t.release}}));
        rig.Send(0xC0 | t.program << 8);
        for (auto [m, ms] : t.messages) rig.Send(m, (uint32_t)lround(ms * Rate / 1000));
        uint32_t done = 0;
        for (auto [ms, voices] : t.voices) {
            uint32_t to = (uint32_t)lround(ms * Rate / 1000);
            rig.Render(to - done);
            done = to;
            EXPECT_EQ(voices, SynthSoundingVoices(rig.synth)) << t.what << " at " << ms << " ms";
        }
    }
}

TEST(SynthTiming, ANoteStartsOnItsFrameWhateverTheBlockSize)
{
    std::vector<float> first;
    for (uint32_t block : {1u, 7u, 64u, 100u, 1024u, 4096u}) {
        Rig rig(BuildFont());
        rig.Send(0xC0 | 2 << 8);
        const uint32_t frames[] = {0, 63, 200, 1000, 2049}; // each after the attack (47 frames) before it
        for (uint32_t f : frames) rig.Send(NoteOn(60 + (int)f % 12), f);
        std::vector<float> out = rig.Render(4096, block);
        // The gain ramps from 0 at the note's frame: the frame after it sounds.
        for (uint32_t f : frames) {
            float before = f > 0 ? out[2 * f] - out[2 * f - 2] : out[0];
            EXPECT_EQ(0, before) << "block " << block << " frame " << f;
            EXPECT_GT(out[2 * f + 2] - out[2 * f], 0) << "block " << block << " frame " << f;
        }
        // The rest differs at most by the rounding of gain ramps cut at other frames.
        if (first.empty()) first = out;
        for (size_t i = 0; i < out.size(); i++) ASSERT_NEAR(first[i], out[i], 1e-6) << "block " << block << " at " << i;
    }
}

TEST(SynthTiming, ANoteOnAndOffInOneBlockSoundsFromItsFrame)
{
    // On at frame 100, off at 600 of one block; the release (1 ms) is over by 1000.
    Rig rig(BuildFont());
    rig.Send(0xC0 | 2 << 8);
    rig.Send(NoteOn(60), 100);
    rig.Send(NoteOn(60, 0), 600);
    std::vector<float> out = rig.Render(4096, 4096);
    EXPECT_EQ(0, Rms(out, 0, 101));
    EXPECT_GT(out[2 * 101], 0);
    EXPECT_GT(out[2 * 600], 0.1f);
    EXPECT_EQ(0, Rms(out, 1000));
}

TEST(SynthVoices, StealsTheQuietestReleasedVoiceAndClipsSoftly)
{
    Rig rig(BuildFont({{GenReleaseVolEnv, 2400}}));
    // 255 held notes panned left, one on channel 1 panned right and let go.
    const int left[14] = {0, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
    for (int c = 0; c < 16; c++) rig.Send(0xC0 | c | 2 << 8), rig.Send(Control(10, c == 1 ? 127 : 0, c));
    for (int n = 0; n < 255; n++) rig.Send(NoteOn(20 + n / 14, 127, left[n % 14]));
    rig.Send(NoteOn(40, 127, 1));
    rig.Send(NoteOn(40, 0, 1), 100);
    std::vector<float> out = rig.Render(2000);
    EXPECT_GT(out.back(), 0);
    EXPECT_EQ(256u, SynthSoundingVoices(rig.synth));
    rig.Send(NoteOn(90, 127, 3));
    out = rig.Render(Rate / 100);
    EXPECT_EQ(256u, SynthSoundingVoices(rig.synth));
    EXPECT_EQ(0, out.back()) << "the released note on the right was the one stolen";
    for (float x : out) EXPECT_LE(fabsf(x), 1.0f);
    EXPECT_GT(fabsf(out[out.size() - 2]), 0.8f) << "the loud left channel is limited, not silenced";
}

// A 200 ms note of the sine with a 1 ms release, and what sounds after it.
// Each case: the controllers sent first, the reverb switched off (and
// when), controller 120 (and when), and the RMS expected from `after` ms
// on: a tail between -35 and -5 dB of the note (the reverb at a full send is
// about as loud as the dry sound; at 20 % it is 14 dB down) or none at all.
TEST(SynthEffects, ReverbTailWithASendOnlyAndGoneWhenSwitchedOffOrSilenced)
{
    struct Case {
        const char* what;
        std::vector<uint32_t> controls;
        double offMs, silenceMs; // -1: never
        double after;
        bool tail;
    };
    const Case cases[] = {
        {"controller 91 at 127: a tail", {Control(91, 127)}, -1, -1, 210, true},
        {"the GS power-on send (40): a tail", {}, -1, -1, 210, true},
        {"controller 91 at 0: nothing after the note", {Control(91, 0)}, -1, -1, 210, false},
        {"controller 121 resets 91 to 40: a tail", {Control(91, 0), Control(121, 0)}, -1, -1, 210, true},
        {"the reverb switched off: nothing after the note", {Control(91, 127)}, 0, -1, 210, false},
        {"switched off in the tail: gone within 50 ms", {Control(91, 127)}, 300, -1, 360, false},
        {"all sound off: the tail goes within 4 ms", {Control(91, 127)}, -1, 300, 306, false},
        {"chorus alone: gone 16 ms after the note", {Control(91, 0), Control(93, 127)}, -1, -1, 230, false},
    };
    for (const Case& t : cases) {
        Rig rig(BuildFont({{GenReleaseVolEnv, -12000}}), Rate, true);
        for (uint32_t m : t.controls) rig.Send(m);
        rig.Send(NoteOn(69));
        rig.Send(NoteOn(69, 0), Rate / 5);
        if (t.silenceMs >= 0) rig.Send(Control(120, 0), (uint32_t)(t.silenceMs * Rate / 1000));
        std::vector<float> out;
        for (uint32_t at = 0; at < 2 * (uint32_t)Rate; at += 256) {
            if (t.offMs >= 0 && at >= t.offMs * Rate / 1000) SynthSetReverb(rig.synth, false);
            std::vector<float> block = rig.Render(256);
            out.insert(out.end(), block.begin(), block.end());
        }
        double note = Rms(out, Rate / 10, Rate / 5), tail = Rms(out, (size_t)(t.after * Rate / 1000), Rate / 2);
        if (t.tail) {
            EXPECT_GT(Db(tail / note), -35) << t.what;
            EXPECT_LT(Db(tail / note), -5) << t.what;
        } else {
            EXPECT_EQ(0, tail) << t.what;
        }
    }
}

// The reverb decays as a room of about 1.2 s: 60 dB in 0.8 to 1.6 s, taken
// from its level 0.3 and 0.8 s after a short burst.
TEST(SynthEffects, ReverbDecaysLikeARoom)
{
    Rig rig(BuildFont({{GenReleaseVolEnv, -12000}, {GenReverbEffectsSend, 1000}}), Rate, true);
    rig.Send(NoteOn(69));
    rig.Send(NoteOn(69, 0), Rate / 50);
    std::vector<float> out = rig.Render(Rate);
    double early = Rms(out, Rate * 3 / 10, Rate * 4 / 10), late = Rms(out, Rate * 8 / 10, Rate * 9 / 10);
    double secondsFor60 = 60 / (Db(early / late) / 0.5);
    EXPECT_GT(secondsFor60, 0.8);
    EXPECT_LT(secondsFor60, 1.6);
}

// Without the rendering thread's guard (plain procedures here), the reverb
// holds no denormal number while its tail dies away and empties itself to
// zeros; with the guard on, denormal results are flushed.
TEST(SynthEffects, NoDenormalNumbersAfterTheTail)
{
    std::vector<float> memory(ReverbFloats(Rate));
    Reverb reverb;
    InitReverb(&reverb, Rate, memory.data());
    float input[ControlFrames] = {1.0f}, left[ControlFrames], right[ControlFrames];
    RunReverb(&reverb, input, left, right, ControlFrames);
    for (int block = 1; block < 10 * Rate / (int)ControlFrames && reverb.state != ReverbIdle; block++) {
        RunReverb(&reverb, nullptr, left, right, ControlFrames);
        for (size_t i = 0; i < memory.size() && block % 32 == 0; i++)
            ASSERT_TRUE(memory[i] == 0 || fabsf(memory[i]) >= FLT_MIN) << "block " << block;
    }
    EXPECT_EQ(ReverbIdle, reverb.state);
    for (float x : memory) ASSERT_EQ(0, x);
    uint32_t saved = BeginFlushDenormals();
    volatile float tiny = FLT_MIN;
    float product = tiny * 0.25f;
    EndFlushDenormals(saved);
    EXPECT_EQ(0, product);
}

TEST(SynthCreate, TakesRatesFrom22050To96000)
{
    Rig rig(BuildFont());
    for (int rate : {22049, 96001, 0, -1}) EXPECT_EQ(nullptr, CreateSynth(&rig.font, rate)) << rate;
}

// Finds a chunk's body in a built font.
uint8_t* Find(Bytes& b, const char* id)
{
    for (size_t i = 12; i + 8 <= b.size(); i++)
        if (memcmp(&b[i], id, 4) == 0) return &b[i + 8];
    return nullptr;
}
void Set(uint8_t* at, uint32_t v, int n) { for (int i = 0; i < n; i++) at[i] = (uint8_t)(v >> 8 * i); }

TEST(SoundFontRead, EveryDamageIsNamedAndNothingIsKept)
{
    struct Case {
        const char* chunk;  // the chunk whose body is changed
        long at;            // where in it (before it: its header)
        uint32_t value;
        int bytes;
        const char* message;
    };
    const Case cases[] = {
        {"RIFF", 0, 0x4E4F4E20, 4, "not a SoundFont 2 file (no RIFF sfbk header)"},
        {"RIFF", -4, 0xFFFFFFF0, 4, "RIFF: 4294967280 bytes announced"},
        {"ifil", 0, 3, 2, "INFO: version 3 is not SoundFont 2"},
        {"smpl", -8, 0x6C706D73 + 1, 4, "pdta: comes before the sample data (no smpl chunk)"},
        {"smpl", -4, 0x7FFFFFF0, 4, "sdta: chunk 'smpl' runs past the end of sdta"},
        {"phdr", -4, 37, 4, "pdta: phdr size 37 is not a multiple of 38"},
        {"shdr", -8, 0x52444853 + 0x20, 4, "pdta: no shdr chunk"},
        {"phdr", 38 + 24, 9, 2, "pdta: pbag index 9 beyond the 4 bags"},
        {"phdr", 2 * 38 + 24, 0, 2, "pdta: preset 2 starts its bags before the preset in front of it"},
        {"pbag", 4, 99, 2, "pdta: pbag 1 starts at pgen 99 beyond the 5 generators"},
        {"pbag", 6, 7, 2, "pdta: pbag 1 starts at pmod 7 beyond the 1 modulators"},
        {"pgen", 2, 5, 2, "pdta: preset 0 'preset' zone 0 names instrument 5 beyond the 4 instruments"},
        {"inst", 22 + 20, 40, 2, "pdta: ibag index 40 beyond the 5 bags"},
        {"ibag", 8, 1, 2, "pdta: ibag 2 starts its generators before the bag in front of it"},
        {"igen", 6, 7, 2, "pdta: instrument 0 'instrument' zone 0 names sample 7 beyond the 3 samples"},
        {"shdr", 24, 99999, 4, "pdta: sample 0 'sample' ends at 99999 beyond the 12138 sample points"},
        {"shdr", 20, 4001, 4, "pdta: sample 0 'sample' starts at 4001 after its end 4000"},
        {"shdr", 32, 12139, 4, "pdta: sample 0 'sample' loops at 1000..12139 beyond the 12138 sample points"},
        {"shdr", 36, 0, 4, "pdta: sample 0 'sample' has a sample rate of 0"},
    };
    for (const Case& t : cases) {
        Bytes bytes = BuildFont();
        uint8_t* body = strcmp(t.chunk, "RIFF") == 0 ? &bytes[8] : Find(bytes, t.chunk);
        Set(body + t.at, t.value, t.bytes);
        SoundFont font;
        memset(&font, 0xAB, sizeof font);
        char message[200];
        EXPECT_FALSE(ReadSoundFont(bytes.data(), bytes.size(), &font, message, sizeof message)) << t.message;
        EXPECT_EQ(0, strncmp(message, t.message, strlen(t.message))) << message;
        EXPECT_EQ(nullptr, font.sampleData);
        EXPECT_EQ(nullptr, font.presets);
    }
    // Cut anywhere, read from memory or from a file: a message, never more.
    Bytes bytes = BuildFont();
    for (size_t size = 0; size < bytes.size(); size += size < 100 ? 1 : 97) {
        SoundFont font;
        char message[200] = "";
        EXPECT_FALSE(ReadSoundFont(bytes.data(), size, &font, message, sizeof message)) << size;
        FILE* file = tmpfile();
        fwrite(bytes.data(), 1, size, file);
        rewind(file);
        char fileMessage[200] = "";
        EXPECT_FALSE(LoadSoundFont(file, &font, fileMessage, sizeof fileMessage)) << size;
        EXPECT_STREQ(message, fileMessage) << size;
        fclose(file);
    }
}

} // namespace
