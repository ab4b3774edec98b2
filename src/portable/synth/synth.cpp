// The synthesizer: the message queue, the 16 channels, the voices, the
// effects they send to and the mix with its soft limit.
#include "portable/synth/synth.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "portable/synth/chorus.h"
#include "portable/synth/denormals.h"
#include "portable/synth/reverb.h"
#include "portable/synth/voice.h"

namespace {

constexpr uint32_t SpareVoices = 64;       // room for voices still ramping out after a steal
constexpr float KillSeconds = 0.004f;      // a cut voice ramps out in 4 ms
constexpr float EffectOffSeconds = 0.05f;  // an effect's tail fades this fast when it is switched off
constexpr uint8_t PowerOnReverb = 40;      // controller 91 as GS sets it at power-on
constexpr uint8_t PowerOnChorus = 0;       // controller 93
constexpr float MasterGain = 0.5f;
constexpr float LimitKnee = 0.8f;          // the output is untouched below this
constexpr int PercussionChannel = 9;
constexpr uint16_t NoRpn = 0x3FFF;

struct Channel {
    ChannelControls controls;
    int32_t preset;     // -1: nothing sounds
    uint8_t program, bank;
    bool sustain;
    uint16_t rpn;
};

struct QueuedMessage {
    uint32_t message, frame;
};

struct PendingMessage {
    uint64_t frame;     // absolute
    uint32_t message;
};

} // namespace

struct Synth {
    const SoundFont* font;
    float rate;
    uint32_t killFrames;
    Voice* voices;
    uint32_t slots;
    Channel channels[16];
    uint64_t now;       // frames rendered so far
    uint64_t notes;     // notes started so far
    // Sent by one thread, taken by the renderer at the start of each block.
    QueuedMessage queue[SynthQueueSize];
    std::atomic<uint32_t> queueWrite, queueRead;
    // Taken messages waiting for their frame, in frame order.
    PendingMessage pending[SynthQueueSize];
    uint32_t pendingFirst, pendingCount;
    float left[ControlFrames], right[ControlFrames];
    float reverbInput[ControlFrames], chorusInput[ControlFrames];
    Reverb reverb;
    Chorus chorus;
    float* effectsMemory;
    bool reverbOn, chorusOn;        // as the rendering thread last took them
    std::atomic<bool> reverbWanted, chorusWanted; // as SynthSetReverb and SynthSetChorus last asked
};

namespace {

// The preset of a bank and program: an unknown bank falls back to bank 0
// (a percussion bank to its standard kit, program 0).
int32_t ChoosePreset(const SoundFont* font, uint32_t bank, uint32_t program)
{
    int32_t p = FindPreset(font, bank, program);
    if (p < 0 && bank == 128) p = FindPreset(font, 128, 0);
    if (p < 0 && bank != 0) p = FindPreset(font, 0, program);
    return p;
}

void ResetControllers(Channel* c)
{
    ChannelControls& k = c->controls;
    k.cc[1] = 0;
    k.cc[11] = 127;
    k.cc[91] = PowerOnReverb;
    k.cc[93] = PowerOnChorus;
    for (int i = 64; i <= 69; i++) k.cc[i] = 0;
    k.pitchBend = 8192;
    k.pressure = 0;
    k.serial++;
    c->rpn = NoRpn;
}

void ReleaseSustained(Synth* s, int channel)
{
    for (uint32_t i = 0; i < s->slots; i++) {
        Voice* v = &s->voices[i];
        if (v->state == VoicePlaying && v->channel == channel && v->sustained) ReleaseVoice(v);
    }
}

// Cuts the channel's voices short; when that leaves nothing else sounding,
// the effects' tails ramp out with them ("quiet now").
void KillChannel(Synth* s, int channel)
{
    bool others = false;
    for (uint32_t i = 0; i < s->slots; i++) {
        Voice* v = &s->voices[i];
        if (v->channel == channel) KillVoice(v, s->killFrames);
        others = others || v->state == VoicePlaying || v->state == VoiceReleased;
    }
    if (!others) {
        FadeReverb(&s->reverb, s->killFrames);
        FadeChorus(&s->chorus, s->killFrames);
    }
}

// A free slot, stealing when SynthMaxVoices are sounding: the quietest
// released voice, else the quietest of all, ramps out in a spare slot.
Voice* FreeVoice(Synth* s)
{
    uint32_t sounding = 0;
    Voice* free = nullptr;
    Voice* quietReleased = nullptr;
    Voice* quietest = nullptr;
    Voice* shortestRamp = nullptr;
    for (uint32_t i = 0; i < s->slots; i++) {
        Voice* v = &s->voices[i];
        if (v->state == VoiceFree) {
            if (!free) free = v;
            continue;
        }
        if (v->state == VoiceKilled) {
            if (!shortestRamp || v->killLeft < shortestRamp->killLeft) shortestRamp = v;
            continue;
        }
        sounding++;
        bool released = v->state == VoiceReleased || v->sustained;
        if (released && (!quietReleased || v->amplitude < quietReleased->amplitude)) quietReleased = v;
        if (!quietest || v->amplitude < quietest->amplitude ||
            (v->amplitude == quietest->amplitude && v->order < quietest->order))
            quietest = v;
    }
    if (sounding >= SynthMaxVoices) KillVoice(quietReleased ? quietReleased : quietest, s->killFrames);
    if (free) return free;
    // Every slot busy, most of them ramping out: the nearest to silence goes now.
    Voice* v = shortestRamp ? shortestRamp : quietest;
    v->state = VoiceFree;
    return v;
}

void NoteOff(Synth* s, int channel, int key)
{
    Channel* c = &s->channels[channel];
    for (uint32_t i = 0; i < s->slots; i++) {
        Voice* v = &s->voices[i];
        if (v->state != VoicePlaying || v->channel != channel || v->key != key || v->sustained) continue;
        if (c->sustain) v->sustained = true;
        else ReleaseVoice(v);
    }
}

void NoteOn(Synth* s, int channel, int key, int velocity)
{
    Channel* c = &s->channels[channel];
    // A key struck again lets its earlier note go.
    for (uint32_t i = 0; i < s->slots; i++) {
        Voice* v = &s->voices[i];
        if (v->state == VoicePlaying && v->channel == channel && v->key == key) ReleaseVoice(v);
    }
    if (c->preset < 0) return;
    const SoundFont* font = s->font;
    const SfPreset& preset = font->presets[c->preset];
    uint64_t order = ++s->notes;
    for (uint32_t p = 0; p < preset.zoneCount; p++) {
        const SfZone& pz = font->presetZones[preset.firstZone + p];
        if (key < pz.keyLow || key > pz.keyHigh || velocity < pz.velLow || velocity > pz.velHigh) continue;
        const SfInstrument& inst = font->instruments[pz.target];
        for (uint32_t z = 0; z < inst.zoneCount; z++) {
            const SfZone& iz = font->instrumentZones[inst.firstZone + z];
            if (key < iz.keyLow || key > iz.keyHigh || velocity < iz.velLow || velocity > iz.velHigh) continue;
            Voice* v = FreeVoice(s);
            VoiceSetup setup = {font, &pz, &iz, (uint8_t)channel, (uint8_t)key, (uint8_t)velocity, order, s->rate};
            if (!StartVoice(v, setup, c->controls)) {
                v->state = VoiceFree;
                continue;
            }
            // An exclusive class (a closed hi-hat) cuts the earlier notes of its class.
            if (v->exclusiveClass == 0) continue;
            for (uint32_t i = 0; i < s->slots; i++) {
                Voice* other = &s->voices[i];
                if (other->state != VoiceFree && other->channel == channel && other->order != order &&
                    other->exclusiveClass == v->exclusiveClass)
                    KillVoice(other, s->killFrames);
            }
        }
    }
}

void ControlChange(Synth* s, int channel, int controller, int value)
{
    Channel* c = &s->channels[channel];
    ChannelControls& k = c->controls;
    k.cc[controller] = (uint8_t)value;
    k.serial++;
    switch (controller) {
    case 0: c->bank = (uint8_t)value; break;
    case 6:
    case 38:
        if (c->rpn == 0) {
            if (controller == 6) k.bendSemitones = (uint8_t)value;
            else k.bendCents = (uint8_t)value;
        }
        break;
    case 64:
        c->sustain = value >= 64;
        if (!c->sustain) ReleaseSustained(s, channel);
        break;
    case 100: c->rpn = (uint16_t)((c->rpn & 0x3F80) | value); break;
    case 101: c->rpn = (uint16_t)((c->rpn & 0x7F) | value << 7); break;
    case 120:
    case 123:
        // Both silence the channel at once, with the short ramp.
        KillChannel(s, channel);
        break;
    case 121:
        ResetControllers(c);
        c->sustain = false;
        ReleaseSustained(s, channel);
        break;
    default: break;
    }
}

void ApplyMessage(Synth* s, uint32_t message)
{
    int status = message & 0xFF, data1 = message >> 8 & 0x7F, data2 = message >> 16 & 0x7F;
    if (status < 0x80 || status >= 0xF0) return;
    int channel = status & 0x0F;
    Channel* c = &s->channels[channel];
    switch (status & 0xF0) {
    case 0x80: NoteOff(s, channel, data1); break;
    case 0x90:
        if (data2 == 0) NoteOff(s, channel, data1);
        else NoteOn(s, channel, data1, data2);
        break;
    case 0xB0: ControlChange(s, channel, data1, data2); break;
    case 0xC0:
        c->program = (uint8_t)data1;
        c->preset = ChoosePreset(s->font, channel == PercussionChannel ? 128 : c->bank, c->program);
        break;
    case 0xD0:
        c->controls.pressure = (uint8_t)data1;
        c->controls.serial++;
        break;
    case 0xE0:
        c->controls.pitchBend = (uint16_t)(data1 | data2 << 7);
        c->controls.serial++;
        break;
    default: break; // polyphonic pressure
    }
}

// Takes the messages sent since the last block into the pending list,
// each in its place by frame after those of the same frame.
void TakeQueue(Synth* s)
{
    uint32_t read = s->queueRead.load(std::memory_order_relaxed);
    uint32_t write = s->queueWrite.load(std::memory_order_acquire);
    for (; read != write; read++) {
        const QueuedMessage& q = s->queue[read % SynthQueueSize];
        if (s->pendingCount == SynthQueueSize) continue;
        if (s->pendingFirst + s->pendingCount == SynthQueueSize) {
            memmove(s->pending, s->pending + s->pendingFirst, s->pendingCount * sizeof *s->pending);
            s->pendingFirst = 0;
        }
        PendingMessage* list = s->pending + s->pendingFirst;
        uint64_t frame = s->now + q.frame;
        uint32_t at = s->pendingCount;
        while (at > 0 && list[at - 1].frame > frame) at--;
        memmove(list + at + 1, list + at, (s->pendingCount - at) * sizeof *list);
        list[at] = {frame, q.message};
        s->pendingCount++;
    }
    s->queueRead.store(read, std::memory_order_release);
}

// The soft limit: straight below the knee, then bending smoothly towards 1.
inline float SoftLimit(float x)
{
    float a = x < 0.0f ? -x : x;
    if (a <= LimitKnee) return x;
    float y = LimitKnee + (1.0f - LimitKnee) * tanhf((a - LimitKnee) / (1.0f - LimitKnee));
    return x < 0.0f ? -y : y;
}

} // namespace

Synth* CreateSynth(const SoundFont* font, int sampleRate)
{
    if (!font || sampleRate < SynthMinRate || sampleRate > SynthMaxRate) return nullptr;
    Synth* s = new (std::nothrow) Synth();
    if (!s) return nullptr;
    s->slots = SynthMaxVoices + SpareVoices;
    s->voices = (Voice*)calloc(s->slots, sizeof(Voice));
    if (!s->voices) {
        delete s;
        return nullptr;
    }
    size_t reverbFloats = ReverbFloats(sampleRate), chorusFloats = ChorusFloats(sampleRate);
    s->effectsMemory = (float*)calloc(reverbFloats + chorusFloats, sizeof(float));
    if (!s->effectsMemory) {
        free(s->voices);
        delete s;
        return nullptr;
    }
    InitReverb(&s->reverb, sampleRate, s->effectsMemory);
    InitChorus(&s->chorus, sampleRate, s->effectsMemory + reverbFloats);
    s->reverbOn = s->chorusOn = true;
    s->reverbWanted.store(true);
    s->chorusWanted.store(true);
    s->font = font;
    s->rate = (float)sampleRate;
    s->killFrames = (uint32_t)(KillSeconds * (float)sampleRate);
    for (int i = 0; i < 16; i++) {
        Channel* c = &s->channels[i];
        c->controls.cc[7] = 100;
        c->controls.cc[10] = 64;
        c->controls.bendSemitones = 2;
        ResetControllers(c);
        c->preset = ChoosePreset(font, i == PercussionChannel ? 128 : 0, 0);
    }
    return s;
}

void DestroySynth(Synth* synth)
{
    if (!synth) return;
    free(synth->voices);
    free(synth->effectsMemory);
    delete synth;
}

void SynthShortMessage(Synth* synth, uint32_t message, uint32_t frame)
{
    uint32_t write = synth->queueWrite.load(std::memory_order_relaxed);
    if (write - synth->queueRead.load(std::memory_order_acquire) >= SynthQueueSize) return;
    synth->queue[write % SynthQueueSize] = {message, frame};
    synth->queueWrite.store(write + 1, std::memory_order_release);
}

void SynthSetReverb(Synth* synth, bool on) { synth->reverbWanted.store(on, std::memory_order_relaxed); }

void SynthSetChorus(Synth* synth, bool on) { synth->chorusWanted.store(on, std::memory_order_relaxed); }

void SynthRender(Synth* synth, float* stereo, uint32_t frames)
{
    uint32_t savedCsr = BeginFlushDenormals();
    Synth* s = synth;
    TakeQueue(s);
    bool reverbOn = s->reverbWanted.load(std::memory_order_relaxed);
    bool chorusOn = s->chorusWanted.load(std::memory_order_relaxed);
    uint32_t offFrames = (uint32_t)(EffectOffSeconds * s->rate);
    if (s->reverbOn && !reverbOn) FadeReverb(&s->reverb, offFrames);
    if (s->chorusOn && !chorusOn) FadeChorus(&s->chorus, offFrames);
    s->reverbOn = reverbOn;
    s->chorusOn = chorusOn;
    uint32_t done = 0;
    while (done < frames) {
        // The messages due now, then frames up to the next message or the
        // next step of the control grid, whichever comes first.
        while (s->pendingCount > 0 && s->pending[s->pendingFirst].frame <= s->now) {
            ApplyMessage(s, s->pending[s->pendingFirst].message);
            s->pendingFirst++;
            s->pendingCount--;
        }
        if (s->pendingCount == 0) s->pendingFirst = 0;
        uint32_t n = ControlFrames - (uint32_t)(s->now % ControlFrames);
        if (n > frames - done) n = frames - done;
        if (s->pendingCount > 0 && s->pending[s->pendingFirst].frame - s->now < n)
            n = (uint32_t)(s->pending[s->pendingFirst].frame - s->now);
        memset(s->left, 0, n * sizeof(float));
        memset(s->right, 0, n * sizeof(float));
        memset(s->reverbInput, 0, n * sizeof(float));
        memset(s->chorusInput, 0, n * sizeof(float));
        VoiceBuses buses = {s->left, s->right, s->reverbInput, s->chorusInput, s->reverbOn, s->chorusOn, false, false};
        for (uint32_t i = 0; i < s->slots; i++) {
            Voice* v = &s->voices[i];
            if (v->state != VoiceFree) RenderVoice(v, s->channels[v->channel].controls, &buses, n, s->rate);
        }
        RunReverb(&s->reverb, buses.sentReverb ? s->reverbInput : nullptr, s->left, s->right, n);
        RunChorus(&s->chorus, buses.sentChorus ? s->chorusInput : nullptr, s->left, s->right, n);
        float* out = stereo + 2 * (size_t)done;
        for (uint32_t f = 0; f < n; f++) {
            out[2 * f] = SoftLimit(s->left[f] * MasterGain);
            out[2 * f + 1] = SoftLimit(s->right[f] * MasterGain);
        }
        done += n;
        s->now += n;
    }
    EndFlushDenormals(savedCsr);
}

uint32_t SynthSoundingVoices(const Synth* synth)
{
    uint32_t n = 0;
    for (uint32_t i = 0; i < synth->slots; i++) n += synth->voices[i].state != VoiceFree;
    return n;
}
