// The voice: generators and modulators at the note's start, then per chunk
// of at most ControlFrames the envelopes, LFOs, pitch and filter, and per
// frame the 4-point interpolation, the biquad and the gain ramps into the
// mix and the effects' inputs.
#include "portable/synth/voice.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float Ln10 = 2.302585093f;
constexpr float Log2Of10 = 3.321928095f;
constexpr float Pi = 3.14159265358979f;
constexpr float EnvelopeDecibels = 96.0f; // the volume envelope's range: level 0 is this far down
constexpr float LfoBaseHz = 8.176f;      // 0 absolute cents
constexpr float MaxRatio = 64.0f;        // sample points per output frame at most
constexpr float AttenuationFactor = 0.4f;

float Clamp(float x, float low, float high) { return x < low ? low : x > high ? high : x; }

// Timecents as frames; the shortest value (-12000) counts as none where
// noneAtMinimum, else as its 1 ms.
uint32_t TimecentFrames(float timecents, float rate, bool noneAtMinimum)
{
    if (noneAtMinimum && timecents <= -12000.0f) return 0;
    timecents = Clamp(timecents, -12000.0f, 8000.0f);
    return (uint32_t)lrintf(rate * exp2f(timecents / 1200.0f));
}

// The generator with what its modulators add, held to its range.
float Gen(const Voice* v, int g)
{
    return Clamp((float)v->gen[g] + v->mod[g], GeneratorTable[g].low, GeneratorTable[g].high);
}

// The concave curve of the format: 0 at 0, 1 at 1, -40 dB per decade of
// amplitude in between (the amplitude-squared curve of velocity).
float Concave(float x)
{
    if (x >= 1.0f) return 1.0f;
    float y = -(400.0f / 960.0f) * log10f(1.0f - x);
    return y > 1.0f ? 1.0f : y;
}

// The convex curve: 1 at 1, 0 at 0, rising fast at first.
float Convex(float x) { return x <= 0.0f ? 0.0f : 1.0f - Concave(1.0f - x); }

// A modulator source mapped through its direction, polarity and curve.
float SourceValue(uint16_t source, const Voice* v, const ChannelControls& ch)
{
    uint32_t index = source & 0x7F;
    float raw, center, top;
    if (source & ModSourceCc) {
        // Bank select, data entry, the LSBs, (N)RPN and mode messages are no sources.
        if (index == 0 || index == 6 || (index >= 32 && index <= 63) || (index >= 98 && index <= 101) || index >= 120)
            return 0.0f;
        raw = ch.cc[index], center = 64.0f, top = 127.0f;
    } else {
        switch (index) {
        case ModSourceNone: return 1.0f;
        case ModSourceVelocity: raw = v->gen[GenVelocity] >= 0 ? (float)v->gen[GenVelocity] : v->velocity; break;
        case ModSourceKey: raw = v->gen[GenKeynum] >= 0 ? (float)v->gen[GenKeynum] : v->key; break;
        case ModSourceChannelPressure: raw = ch.pressure; break;
        case ModSourcePitchWheel:
            raw = ch.pitchBend, center = 8192.0f, top = 16383.0f;
            goto mapped;
        case ModSourceBendRange: raw = ch.bendSemitones + ch.bendCents / 100.0f; break;
        default: return 0.0f; // poly pressure, links and unknown sources
        }
        center = 64.0f, top = 127.0f;
    }
mapped:
    bool negative = (source & ModSourceNegative) != 0;
    int curve = source >> 10 & 3;
    if (source & ModSourceBipolar) {
        float y = Clamp((raw - center) / center, -1.0f, 1.0f);
        if (negative) y = -y;
        if (curve == 3) return y >= 0.0f ? 1.0f : -1.0f;
        float magnitude = y < 0.0f ? -y : y;
        if (curve == 1) magnitude = Concave(magnitude);
        else if (curve == 2) magnitude = Convex(magnitude);
        return y < 0.0f ? -magnitude : magnitude;
    }
    float x = Clamp(raw / top, 0.0f, 1.0f);
    if (negative) x = 1.0f - x;
    if (curve == 1) return Concave(x);
    if (curve == 2) return Convex(x);
    if (curve == 3) return x >= 0.5f ? 1.0f : 0.0f;
    return x;
}

// Recomputes what the modulators add and what follows from it.
void UpdateControls(Voice* v, const ChannelControls& ch)
{
    v->channelSerial = ch.serial;
    for (float& m : v->mod) m = 0.0f;
    for (uint32_t i = 0; i < v->modCount; i++) {
        const SfModulator& m = v->mods[i];
        float value = (float)m.amount * SourceValue(m.source, v, ch) * SourceValue(m.amountSource, v, ch);
        if (m.transform == 2 && value < 0.0f) value = -value;
        v->mod[m.destination] += value;
    }
    // The fonts are voiced for the hardware the format came from, which
    // applies 0.4 of the stored initial attenuation (as FluidSynth does);
    // what the modulators add counts in full.
    v->attenuation = Clamp(AttenuationFactor * (float)v->gen[GenInitialAttenuation] + v->mod[GenInitialAttenuation],
                           0.0f, 1440.0f);
    float pan = Gen(v, GenPan);
    v->panLeft = cosf((pan + 500.0f) * (Pi / 2000.0f));
    v->panRight = sinf((pan + 500.0f) * (Pi / 2000.0f));
    v->filterCents = Gen(v, GenInitialFilterFc);
    v->filterQ = Gen(v, GenInitialFilterQ);
    // The resonance peak stands q cB above the DC gain (0 cB is the flat,
    // Butterworth response); the DC gain is q / 2 cB down.
    v->halfInverseQ = 0.5f * exp2f(-(v->filterQ / 10.0f - 3.01f) / 20.0f * Log2Of10);
    v->resonanceGain = exp2f(-v->filterQ / 400.0f * Log2Of10);
    v->modLfoToPitch = Gen(v, GenModLfoToPitch);
    v->vibLfoToPitch = Gen(v, GenVibLfoToPitch);
    v->modEnvToPitch = Gen(v, GenModEnvToPitch);
    v->modLfoToFilter = Gen(v, GenModLfoToFilterFc);
    v->modEnvToFilter = Gen(v, GenModEnvToFilterFc);
    v->modLfoToVolume = Gen(v, GenModLfoToVolume);
    v->reverbSend = Gen(v, GenReverbEffectsSend) / 1000.0f;
    v->chorusSend = Gen(v, GenChorusEffectsSend) / 1000.0f;
    int key = v->gen[GenKeynum] >= 0 ? v->gen[GenKeynum] : v->key;
    int root = v->gen[GenOverridingRootKey];
    // Scale tuning scales the key's distance from the sample's true pitch
    // (its root key less its own correction), as FluidSynth reads it.
    float scale = Gen(v, GenScaleTuning);
    v->pitchCents = scale * ((float)(key - root) + (float)v->pitchCorrection / 100.0f) +
                    100.0f * Gen(v, GenCoarseTune) + Gen(v, GenFineTune) + Gen(v, GenPitch);
}

// Puts the envelope into stage and on through every stage of no length.
void EnterStage(Envelope* e, uint8_t stage, float from)
{
    for (;;) {
        e->stage = stage;
        e->done = 0;
        e->from = from;
        switch (stage) {
        case EnvDelay: e->to = 0.0f, e->length = e->delay; break;
        case EnvAttack: e->from = 0.0f, e->to = 1.0f, e->length = e->attack; break;
        case EnvHold: e->from = e->to = 1.0f, e->length = e->hold; break;
        case EnvDecay:
            e->from = 1.0f, e->to = e->sustain;
            e->length = (uint32_t)lrintf((float)e->decay * (1.0f - e->sustain));
            break;
        case EnvSustain: e->to = e->from = e->sustain, e->length = UINT32_MAX; return;
        case EnvRelease:
            e->to = 0.0f;
            e->length = (uint32_t)lrintf((float)e->release * from);
            if (e->length == 0) stage = EnvDone;
            else return;
            continue;
        default: e->stage = EnvDone, e->from = e->to = 0.0f, e->length = UINT32_MAX; return;
        }
        if (e->length > 0) return;
        from = e->to;
        stage++;
    }
}

float EnvelopeValue(const Envelope& e)
{
    if (e.length == UINT32_MAX || e.length == 0) return e.to;
    float x = (float)e.done / (float)e.length;
    if (e.stage == EnvAttack && e.modulation) return Convex(x);
    return e.from + (e.to - e.from) * x;
}

void AdvanceEnvelope(Envelope* e, uint32_t frames)
{
    while (frames > 0 && e->length != UINT32_MAX) {
        uint32_t step = e->length - e->done < frames ? e->length - e->done : frames;
        e->done += step;
        frames -= step;
        if (e->done >= e->length) {
            EnterStage(e, e->stage == EnvRelease ? (uint8_t)EnvDone : (uint8_t)(e->stage + 1), e->to);
            if (e->modulation) break; // the rest of the chunk is not carried into the next stage
        }
    }
}

// The triangle at its phase: 0 rising to 1 at a quarter, -1 at three quarters.
float LfoValue(const Lfo& l)
{
    if (l.delay > 0) return 0.0f;
    float p = l.phase;
    return p < 0.25f ? 4.0f * p : p < 0.75f ? 2.0f - 4.0f * p : 4.0f * p - 4.0f;
}

void AdvanceLfo(Lfo* l, uint32_t frames)
{
    if (l->delay >= frames) {
        l->delay -= frames;
        return;
    }
    frames -= l->delay;
    l->delay = 0;
    l->phase += l->step * (float)frames;
    l->phase -= floorf(l->phase);
}

// The volume envelope as an amplitude.
float VolumeAmplitude(const Envelope& e)
{
    float value = EnvelopeValue(e);
    if (e.stage <= EnvAttack) return value;
    return expf(-EnvelopeDecibels / 20.0f * Ln10 * (1.0f - value));
}

// Modulators of a zone list into the voice's: a modulator the same as one
// among those from `from` on replaces it, any other is added. Only the
// default list reaches the wheel's pitch, beyond the file's generators.
void MergeModulators(Voice* v, const SfModulator* mods, uint32_t count, uint32_t from, uint16_t destinations)
{
    for (uint32_t i = 0; i < count; i++) {
        const SfModulator& m = mods[i];
        if (m.destination >= destinations || (m.source & 0x7F) == ModSourceLink) continue;
        uint32_t at = v->modCount;
        for (uint32_t j = from; j < v->modCount; j++)
            if (SameModulator(v->mods[j], m)) at = j;
        if (at == v->modCount) {
            if (v->modCount == MaxVoiceModulators) continue;
            v->modCount++;
        }
        v->mods[at] = m;
    }
}

// The filter's coefficients for a cutoff in absolute cents and a resonance
// in cB; false when the filter is wide open and can be left out. The
// resonance lowers the gain at DC by half its height (10 dB of peak: 5 dB
// down), so the peak stands half its height above unity.
bool FilterCoefficients(Biquad* f, float cents, const Voice* v, float rate)
{
    float hz = LfoBaseHz * exp2f(cents / 1200.0f);
    float top = 0.45f * rate;
    if (v->filterQ < 1.0f && (cents >= 13500.0f || hz >= top)) return false;
    hz = Clamp(hz, 5.0f, top);
    float w = 2.0f * Pi * hz / rate;
    float alpha = sinf(w) * v->halfInverseQ;
    float cosw = cosf(w);
    float a0 = 1.0f + alpha;
    float gain = v->resonanceGain;
    f->b0 = gain * (1.0f - cosw) / (2.0f * a0);
    f->b1 = gain * (1.0f - cosw) / a0;
    f->a1 = -2.0f * cosw / a0;
    f->a2 = (1.0f - alpha) / a0;
    return true;
}

// A sample point for the interpolation near the edges: through the loop
// while looping, silence outside the sample.
inline float EdgeTap(const Voice* v, int64_t i)
{
    if (v->looping) {
        int64_t length = (int64_t)v->loopEnd - v->loopStart;
        if (i >= (int64_t)v->loopEnd) i = v->loopStart + (i - v->loopStart) % length;
        else if (v->wrapped && i < (int64_t)v->loopStart) i += length;
    }
    if (i < (int64_t)v->start || i >= (int64_t)v->end) return 0.0f;
    return (float)v->data[i];
}

// Gains of the four buses, and their steps a frame.
struct Gains {
    float left, right, reverb, chorus;
};

// How a chunk filters: not at all, with fixed coefficients, or with
// coefficients that move across it.
enum FilterMode { NoFilter, FixedFilter, MovingFilter };

// What a chunk sends: nothing, to the reverb only, or to both effects.
enum SendMode { NoSends, ReverbSend, BothSends };

// The per-frame loop: interpolate, filter, ramp the gains, mix and send.
// Returns false when a sample without loop has run out.
template <int Filter, int Sends>
bool RenderFrames(Voice* v, VoiceBuses* buses, uint32_t n, Gains gain, const Gains& step)
{
    float* left = buses->left;
    float* right = buses->right;
    float* reverb = buses->reverb;
    float* chorus = buses->chorus;
    const int16_t* data = v->data;
    uint64_t position = v->position;
    const uint64_t increment = v->increment;
    const bool looping = v->looping;
    const uint32_t loopStart = v->loopStart;
    const uint32_t limit = looping ? v->loopEnd : v->end; // taps up to i + 2 must stay below
    uint32_t low = (v->wrapped && looping ? loopStart : v->start) + 1;
    float b0 = v->filter.b0, b1 = v->filter.b1, a1 = v->filter.a1, a2 = v->filter.a2;
    const Biquad fs = v->filterStep;
    float z1 = v->z1, z2 = v->z2;
    bool alive = true;
    for (uint32_t f = 0; f < n; f++) {
        uint32_t i = (uint32_t)(position >> 32);
        float x = (float)(uint32_t)position * (1.0f / 4294967296.0f);
        float s0, s1, s2, s3;
        if (i >= low && i + 2 < limit) {
            s0 = data[i - 1], s1 = data[i], s2 = data[i + 1], s3 = data[i + 2];
        } else {
            s0 = EdgeTap(v, (int64_t)i - 1), s1 = EdgeTap(v, i), s2 = EdgeTap(v, (int64_t)i + 1);
            s3 = EdgeTap(v, (int64_t)i + 2);
        }
        // Cubic Hermite (Catmull-Rom) through the four points.
        float c1 = 0.5f * (s2 - s0);
        float c2 = s0 - 2.5f * s1 + 2.0f * s2 - 0.5f * s3;
        float c3 = 0.5f * (s3 - s0) + 1.5f * (s1 - s2);
        float y = ((c3 * x + c2) * x + c1) * x + s1;
        if (Filter != NoFilter) {
            float out = b0 * y + z1;
            z1 = b1 * y - a1 * out + z2;
            z2 = b0 * y - a2 * out;
            y = out;
            if (Filter == MovingFilter) b0 += fs.b0, b1 += fs.b1, a1 += fs.a1, a2 += fs.a2;
        }
        left[f] += y * gain.left;
        right[f] += y * gain.right;
        gain.left += step.left;
        gain.right += step.right;
        if (Sends != NoSends) {
            reverb[f] += y * gain.reverb;
            gain.reverb += step.reverb;
        }
        if (Sends == BothSends) {
            chorus[f] += y * gain.chorus;
            gain.chorus += step.chorus;
        }
        position += increment;
        uint32_t next = (uint32_t)(position >> 32);
        if (next >= limit) {
            if (!looping) {
                alive = false;
                break;
            }
            uint64_t over = (uint64_t)(next - loopStart) % (uint64_t)(limit - loopStart);
            position = ((uint64_t)loopStart + over) << 32 | (uint32_t)position;
            v->wrapped = true;
            low = loopStart + 1;
        }
    }
    // Filter memory this small is flushed rather than left to turn denormal.
    if (fabsf(z1) < 1e-20f) z1 = 0.0f;
    if (fabsf(z2) < 1e-20f) z2 = 0.0f;
    v->z1 = z1, v->z2 = z2;
    v->position = position;
    return alive;
}

} // namespace

bool StartVoice(Voice* v, const VoiceSetup& setup, const ChannelControls& channel)
{
    const SfZone& pz = *setup.presetZone;
    const SfZone& iz = *setup.instrumentZone;
    const SfSample& sample = setup.font->samples[iz.target];
    if (sample.rom) return false;
    memset(v, 0, sizeof *v);
    for (int g = 0; g < SfGeneratorCount; g++) {
        int32_t value = iz.setMask >> g & 1 ? iz.gen[g] : GeneratorTable[g].defaultValue;
        if (GeneratorTable[g].presetLevel && (pz.setMask >> g & 1)) value += pz.gen[g];
        v->gen[g] = value;
    }
    v->gen[GenPitch] = 0;
    if (v->gen[GenOverridingRootKey] < 0)
        v->gen[GenOverridingRootKey] = sample.originalPitch <= 127 ? sample.originalPitch : 60;
    v->gen[GenOverridingRootKey] = v->gen[GenOverridingRootKey] > 127 ? 127 : v->gen[GenOverridingRootKey];

    // The sample and its loop, moved by the address offsets.
    int64_t frames = setup.font->sampleFrames;
    auto place = [frames](int64_t base, int32_t fine, int32_t coarse) {
        int64_t at = base + fine + 32768 * (int64_t)coarse;
        return (uint32_t)(at < 0 ? 0 : at > frames ? frames : at);
    };
    v->start = place(sample.start, v->gen[GenStartAddrsOffset], v->gen[GenStartAddrsCoarseOffset]);
    v->end = place(sample.end, v->gen[GenEndAddrsOffset], v->gen[GenEndAddrsCoarseOffset]);
    if (v->end < v->start + 2) return false;
    uint32_t loopStart = place(sample.loopStart, v->gen[GenStartloopAddrsOffset], v->gen[GenStartloopAddrsCoarseOffset]);
    uint32_t loopEnd = place(sample.loopEnd, v->gen[GenEndloopAddrsOffset], v->gen[GenEndloopAddrsCoarseOffset]);
    v->loopStart = loopStart < v->start ? v->start : loopStart > v->end ? v->end : loopStart;
    v->loopEnd = loopEnd < v->loopStart ? v->loopStart : loopEnd > v->end ? v->end : loopEnd;
    v->loopMode = (uint8_t)(v->gen[GenSampleModes] & 3);
    v->looping = (v->loopMode == 1 || v->loopMode == 3) && v->loopEnd - v->loopStart >= 2;
    v->data = setup.font->sampleData;
    v->position = (uint64_t)v->start << 32;
    v->rateRatio = (float)sample.sampleRate / setup.outputRate;

    v->state = VoicePlaying;
    v->channel = setup.channel;
    v->key = setup.key;
    v->velocity = setup.velocity;
    v->order = setup.order;
    v->exclusiveClass = (uint8_t)v->gen[GenExclusiveClass];

    // The default modulators; the instrument's replace identical ones, the
    // preset's are added to them.
    MergeModulators(v, DefaultModulators, DefaultModulatorCount, 0, VoiceGeneratorCount);
    const SfModulator* mods = setup.font->modulators;
    MergeModulators(v, mods + iz.globalModulator, iz.globalModulatorCount, 0, SfGeneratorCount);
    MergeModulators(v, mods + iz.firstModulator, iz.modulatorCount, 0, SfGeneratorCount);
    uint32_t presetFrom = v->modCount;
    MergeModulators(v, mods + pz.globalModulator, pz.globalModulatorCount, presetFrom, SfGeneratorCount);
    MergeModulators(v, mods + pz.firstModulator, pz.modulatorCount, presetFrom, SfGeneratorCount);
    v->pitchCorrection = sample.pitchCorrection;
    v->lastFilterCents = -1.0f; // no coefficients yet
    UpdateControls(v, channel);

    // Envelopes and LFOs from the generators (with their modulators) at the start.
    float rate = setup.outputRate;
    int key = v->gen[GenKeynum] >= 0 ? v->gen[GenKeynum] : v->key;
    float keyOffset = (float)(60 - key);
    Envelope* vol = &v->volEnv;
    vol->delay = TimecentFrames(Gen(v, GenDelayVolEnv), rate, true);
    vol->attack = TimecentFrames(Gen(v, GenAttackVolEnv), rate, false);
    vol->hold = TimecentFrames(Gen(v, GenHoldVolEnv) + Gen(v, GenKeynumToVolEnvHold) * keyOffset, rate, true);
    vol->decay = TimecentFrames(Gen(v, GenDecayVolEnv) + Gen(v, GenKeynumToVolEnvDecay) * keyOffset, rate, false);
    vol->release = TimecentFrames(Gen(v, GenReleaseVolEnv), rate, false);
    vol->sustain = Clamp(1.0f - Gen(v, GenSustainVolEnv) / 1000.0f, 0.0f, 1.0f);
    EnterStage(vol, EnvDelay, 0.0f);
    Envelope* me = &v->modEnv;
    me->delay = TimecentFrames(Gen(v, GenDelayModEnv), rate, true);
    me->attack = TimecentFrames(Gen(v, GenAttackModEnv), rate, false);
    me->hold = TimecentFrames(Gen(v, GenHoldModEnv) + Gen(v, GenKeynumToModEnvHold) * keyOffset, rate, false);
    me->decay = TimecentFrames(Gen(v, GenDecayModEnv) + Gen(v, GenKeynumToModEnvDecay) * keyOffset, rate, false);
    me->release = TimecentFrames(Gen(v, GenReleaseModEnv), rate, false);
    me->sustain = Clamp(1.0f - Gen(v, GenSustainModEnv) / 1000.0f, 0.0f, 1.0f);
    me->modulation = true;
    EnterStage(me, EnvDelay, 0.0f);
    v->modLfo.delay = TimecentFrames(Gen(v, GenDelayModLfo), rate, true);
    v->modLfo.step = LfoBaseHz * exp2f(Gen(v, GenFreqModLfo) / 1200.0f) / rate;
    v->vibLfo.delay = TimecentFrames(Gen(v, GenDelayVibLfo), rate, true);
    v->vibLfo.step = LfoBaseHz * exp2f(Gen(v, GenFreqVibLfo) / 1200.0f) / rate;
    return true;
}

void RenderVoice(Voice* v, const ChannelControls& channel, VoiceBuses* buses, uint32_t n, float outputRate)
{
    VoiceBuses at = *buses;
    while (n > 0 && v->state != VoiceFree) {
        uint32_t m = n;
        Envelope* vol = &v->volEnv;
        if (vol->length != UINT32_MAX && vol->length - vol->done < m) m = vol->length - vol->done;
        if (v->state == VoiceKilled && v->killLeft < m) m = v->killLeft;
        if (m == 0) m = 1;
        if (v->channelSerial != channel.serial) UpdateControls(v, channel);

        // Pitch, filter and the volume LFO: the LFOs as they stand at the
        // start of the chunk, the modulation envelope as it will at its end
        // (as FluidSynth times them, so that a sweep lands where fonts
        // expect it).
        float modLfo = LfoValue(v->modLfo), vibLfo = LfoValue(v->vibLfo);
        AdvanceEnvelope(&v->modEnv, m);
        float modEnv = EnvelopeValue(v->modEnv);
        float cents = v->pitchCents + modLfo * v->modLfoToPitch + vibLfo * v->vibLfoToPitch + modEnv * v->modEnvToPitch;
        float ratio = v->rateRatio * exp2f(cents / 1200.0f);
        if (ratio > MaxRatio) ratio = MaxRatio;
        v->increment = (uint64_t)((double)ratio * 4294967296.0);
        float filterCents = v->filterCents + modLfo * v->modLfoToFilter + modEnv * v->modEnvToFilter;
        // New coefficients are reached across the chunk, so that a sweep
        // moves smoothly.
        Biquad coefficients = v->filter;
        v->filterStep = {0.0f, 0.0f, 0.0f, 0.0f};
        if (filterCents != v->lastFilterCents || v->filterQ != v->lastFilterQ) {
            bool wasFiltered = v->filtered;
            v->lastFilterCents = filterCents, v->lastFilterQ = v->filterQ;
            v->filtered = FilterCoefficients(&coefficients, filterCents, v, outputRate);
            if (!v->filtered) v->z1 = v->z2 = 0.0f;
            if (!v->filtered || !wasFiltered) v->filter = coefficients;
            float frames = (float)m;
            v->filterStep = {(coefficients.b0 - v->filter.b0) / frames, (coefficients.b1 - v->filter.b1) / frames,
                             (coefficients.a1 - v->filter.a1) / frames, (coefficients.a2 - v->filter.a2) / frames};
        }

        // The gain at the end of the chunk; the frames ramp to it. The
        // sample waits through the volume envelope's delay.
        bool waiting = vol->stage == EnvDelay;
        AdvanceEnvelope(vol, m);
        float target;
        if (v->state == VoiceKilled) {
            target = v->amplitude * (float)(v->killLeft - m) / (float)v->killLeft;
            v->killLeft -= m;
        } else {
            float attenuation = v->attenuation - modLfo * v->modLfoToVolume;
            target = VolumeAmplitude(*vol) * expf(-Ln10 / 200.0f * (attenuation < 0.0f ? 0.0f : attenuation));
        }
        // The sample's 16 bits as -1..1.
        float scale = target * (1.0f / 32768.0f);
        Gains from = {v->gainLeft, v->gainRight, v->gainReverb, v->gainChorus};
        Gains to = {scale * v->panLeft, scale * v->panRight, buses->reverbOpen ? scale * v->reverbSend : 0.0f,
                    buses->chorusOpen ? scale * v->chorusSend : 0.0f};
        float frames = (float)m;
        Gains step = {(to.left - from.left) / frames, (to.right - from.right) / frames,
                      (to.reverb - from.reverb) / frames, (to.chorus - from.chorus) / frames};
        int sends = from.chorus > 0.0f || to.chorus > 0.0f   ? BothSends
                    : from.reverb > 0.0f || to.reverb > 0.0f ? ReverbSend
                                                             : NoSends;
        const Biquad& fs = v->filterStep;
        int filter = !v->filtered ? NoFilter
                     : fs.b0 != 0.0f || fs.b1 != 0.0f || fs.a1 != 0.0f || fs.a2 != 0.0f ? MovingFilter
                                                                                        : FixedFilter;
        // One loop of the nine for the filter and the sends.
        using Loop = bool (*)(Voice*, VoiceBuses*, uint32_t, Gains, const Gains&);
        static constexpr Loop Loops[3][3] = {
            {RenderFrames<NoFilter, NoSends>, RenderFrames<NoFilter, ReverbSend>, RenderFrames<NoFilter, BothSends>},
            {RenderFrames<FixedFilter, NoSends>, RenderFrames<FixedFilter, ReverbSend>,
             RenderFrames<FixedFilter, BothSends>},
            {RenderFrames<MovingFilter, NoSends>, RenderFrames<MovingFilter, ReverbSend>,
             RenderFrames<MovingFilter, BothSends>}};
        bool alive = waiting || Loops[filter][sends](v, &at, m, from, step);
        buses->sentReverb = buses->sentReverb || from.reverb > 0.0f || to.reverb > 0.0f;
        buses->sentChorus = buses->sentChorus || from.chorus > 0.0f || to.chorus > 0.0f;
        v->gainLeft = to.left, v->gainRight = to.right, v->gainReverb = to.reverb, v->gainChorus = to.chorus;
        v->filter = coefficients;
        v->amplitude = target;
        AdvanceLfo(&v->modLfo, m);
        AdvanceLfo(&v->vibLfo, m);
        at.left += m, at.right += m, at.reverb += m, at.chorus += m, n -= m;

        bool silent = vol->stage == EnvDone || (vol->stage > EnvAttack && EnvelopeValue(*vol) <= 0.0f &&
                                                 vol->stage != EnvHold);
        if (!alive || silent || (v->state == VoiceKilled && v->killLeft == 0)) v->state = VoiceFree;
    }
}

void ReleaseVoice(Voice* v)
{
    if (v->state != VoicePlaying) return;
    v->state = VoiceReleased;
    v->sustained = false;
    if (v->loopMode == 3) v->looping = false;
    Envelope* vol = &v->volEnv;
    float level;
    if (vol->stage <= EnvAttack) {
        // From the amplitude reached so far, as a level.
        float amplitude = EnvelopeValue(*vol);
        level = amplitude > 1e-5f ? 1.0f + 20.0f / EnvelopeDecibels * log10f(amplitude) : 0.0f;
    } else {
        level = EnvelopeValue(*vol);
    }
    EnterStage(vol, EnvRelease, Clamp(level, 0.0f, 1.0f));
    EnterStage(&v->modEnv, EnvRelease, Clamp(EnvelopeValue(v->modEnv), 0.0f, 1.0f));
}

void KillVoice(Voice* v, uint32_t frames)
{
    if (v->state == VoiceFree || v->state == VoiceKilled) return;
    v->state = VoiceKilled;
    v->sustained = false;
    v->killLeft = frames > 0 ? frames : 1;
}
