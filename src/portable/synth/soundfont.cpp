// The SoundFont 2 reader: the RIFF chunks, then every record of the preset
// data (pdta), checked before anything is kept.
#include "portable/synth/soundfont.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t UnknownSize = ~(uint64_t)0;
constexpr uint32_t MaxInfoSize = 1u << 20;      // INFO texts are short
constexpr uint32_t MaxPresetDataSize = 64u << 20;

// Where the bytes come from: memory or an open file, read front to back.
struct Source {
    const uint8_t* bytes; // nullptr for a file
    FILE* file;
    uint64_t size;        // UnknownSize when a file's length cannot be told
    uint64_t position;
};

bool ReadBytes(Source* s, void* out, size_t n)
{
    if (s->size != UnknownSize && (s->position > s->size || n > s->size - s->position)) return false;
    if (s->bytes) {
        memcpy(out, s->bytes + s->position, n);
    } else if (fread(out, 1, n, s->file) != n) {
        return false;
    }
    s->position += n;
    return true;
}

bool SkipBytes(Source* s, uint64_t n)
{
    if (s->size != UnknownSize && (s->position > s->size || n > s->size - s->position)) return false;
    if (!s->bytes) {
        for (uint64_t left = n; left > 0;) {
            long step = left > (1u << 30) ? (long)(1u << 30) : (long)left;
            if (fseek(s->file, step, SEEK_CUR) != 0) return false;
            left -= (uint64_t)step;
        }
    }
    s->position += n;
    return true;
}

uint16_t Word(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t Dword(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
bool IsId(const uint8_t* p, const char* id) { return memcmp(p, id, 4) == 0; }

// What went wrong, as one line.
struct Complaint {
    char* text;
    size_t size;
};

bool Fail(Complaint* c, const char* format, ...)
{
    if (c->text && c->size > 0) {
        va_list args;
        va_start(args, format);
        vsnprintf(c->text, c->size, format, args);
        va_end(args);
    }
    return false;
}

// A name field of 20 bytes as printable text (anything else shows as '?').
void CopyName(char out[21], const uint8_t* field)
{
    int n = 0;
    for (; n < 20 && field[n]; n++) out[n] = field[n] >= 32 && field[n] < 127 ? (char)field[n] : '?';
    while (n > 0 && out[n - 1] == ' ') n--;
    out[n] = 0;
}

// One sub-chunk of pdta: its records.
struct Records {
    const uint8_t* data;
    uint32_t count;
};

struct PresetData {
    Records phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
};

// A bag list (pbag or ibag) hands each bag a range of generators and of
// modulators; the ranges must follow each other and stay inside the lists.
bool CheckBags(Complaint* c, const char* bagName, const Records& bags, const char* genName, uint32_t genCount,
               const char* modName, uint32_t modCount)
{
    for (uint32_t b = 0; b < bags.count; b++) {
        uint32_t gen = Word(bags.data + 4 * b), mod = Word(bags.data + 4 * b + 2);
        if (gen > genCount)
            return Fail(c, "pdta: %s %u starts at %s %u beyond the %u generators", bagName, b, genName, gen, genCount);
        if (mod > modCount)
            return Fail(c, "pdta: %s %u starts at %s %u beyond the %u modulators", bagName, b, modName, mod, modCount);
        if (b > 0 && gen < Word(bags.data + 4 * (b - 1)))
            return Fail(c, "pdta: %s %u starts its generators before the bag in front of it", bagName, b);
        if (b > 0 && mod < Word(bags.data + 4 * (b - 1) + 2))
            return Fail(c, "pdta: %s %u starts its modulators before the bag in front of it", bagName, b);
    }
    return true;
}

// Reads one zone's generators. The key range counts only as the first
// generator, the velocity range only after nothing but a key range; the
// target generator (instrument or sample) ends the zone, and generators a
// level may not set are passed over. True when the zone has a target.
bool ReadZoneGenerators(const Records& gens, uint32_t first, uint32_t end, bool presetLevel, SfZone* zone,
                        bool* hasKeyRange, bool* hasVelRange)
{
    int targetGen = presetLevel ? GenInstrument : GenSampleId;
    for (uint32_t g = first; g < end; g++) {
        const uint8_t* r = gens.data + 4 * g;
        uint16_t oper = Word(r);
        uint32_t k = g - first;
        if (oper == GenKeyRange) {
            if (k == 0) {
                zone->keyLow = r[2];
                zone->keyHigh = r[3];
                *hasKeyRange = true;
            }
        } else if (oper == GenVelRange) {
            if (k == 0 || (k == 1 && *hasKeyRange)) {
                zone->velLow = r[2];
                zone->velHigh = r[3];
                *hasVelRange = true;
            }
        } else if (oper == targetGen) {
            zone->target = Word(r + 2);
            return true;
        } else if (oper < SfGeneratorCount && oper != GenInstrument && oper != GenSampleId &&
                   (!presetLevel || GeneratorTable[oper].presetLevel)) {
            zone->gen[oper] = (int16_t)Word(r + 2);
            zone->setMask |= 1ull << oper;
        }
    }
    return false;
}

// The zones of one preset or instrument (bags first..end-1): a first bag
// without a target is the global zone, folded into the others; any other
// bag without a target is passed over. Appends to zones; false with a
// message when a target is out of range.
bool ReadZones(Complaint* c, const PresetData& pd, bool presetLevel, uint32_t index, const char* name,
               uint32_t firstBag, uint32_t endBag, uint32_t modulatorBase, SfZone* zones, uint32_t* zoneCount)
{
    const Records& bags = presetLevel ? pd.pbag : pd.ibag;
    const Records& gens = presetLevel ? pd.pgen : pd.igen;
    uint32_t targetCount = presetLevel ? pd.inst.count - 1 : pd.shdr.count - 1;
    SfZone global;
    memset(&global, 0, sizeof global);
    global.keyHigh = global.velHigh = 127;
    bool globalKey = false, globalVel = false;
    for (uint32_t b = firstBag; b < endBag; b++) {
        SfZone zone;
        memset(&zone, 0, sizeof zone);
        zone.keyHigh = zone.velHigh = 127;
        bool hasKey = false, hasVel = false;
        uint32_t genFirst = Word(bags.data + 4 * b), genEnd = Word(bags.data + 4 * (b + 1));
        uint32_t modFirst = Word(bags.data + 4 * b + 2), modEnd = Word(bags.data + 4 * (b + 1) + 2);
        bool hasTarget = ReadZoneGenerators(gens, genFirst, genEnd, presetLevel, &zone, &hasKey, &hasVel);
        if (!hasTarget) {
            if (b == firstBag) {
                global = zone;
                globalKey = hasKey;
                globalVel = hasVel;
                global.firstModulator = modulatorBase + modFirst;
                global.modulatorCount = modEnd - modFirst;
            }
            continue;
        }
        if (zone.target >= targetCount)
            return Fail(c, "pdta: %s %u '%s' zone %u names %s %u beyond the %u %ss",
                        presetLevel ? "preset" : "instrument", index, name, b - firstBag,
                        presetLevel ? "instrument" : "sample", zone.target, targetCount,
                        presetLevel ? "instrument" : "sample");
        for (int g = 0; g < SfGeneratorCount; g++) {
            if (!(zone.setMask >> g & 1) && (global.setMask >> g & 1)) zone.gen[g] = global.gen[g];
        }
        zone.setMask |= global.setMask;
        if (!hasKey && globalKey) {
            zone.keyLow = global.keyLow;
            zone.keyHigh = global.keyHigh;
        }
        if (!hasVel && globalVel) {
            zone.velLow = global.velLow;
            zone.velHigh = global.velHigh;
        }
        zone.globalModulator = global.firstModulator;
        zone.globalModulatorCount = global.modulatorCount;
        zone.firstModulator = modulatorBase + modFirst;
        zone.modulatorCount = modEnd - modFirst;
        zones[(*zoneCount)++] = zone;
    }
    return true;
}

struct ChunkSpec {
    const char* id;
    uint32_t recordSize;
    Records PresetData::*records;
};

constexpr ChunkSpec PresetChunks[9] = {
    {"phdr", 38, &PresetData::phdr}, {"pbag", 4, &PresetData::pbag}, {"pmod", 10, &PresetData::pmod},
    {"pgen", 4, &PresetData::pgen},  {"inst", 22, &PresetData::inst}, {"ibag", 4, &PresetData::ibag},
    {"imod", 10, &PresetData::imod}, {"igen", 4, &PresetData::igen}, {"shdr", 46, &PresetData::shdr},
};

// Splits the body of LIST pdta into its nine record lists.
bool SplitPresetData(Complaint* c, const uint8_t* body, uint32_t size, PresetData* pd)
{
    bool seen[9] = {};
    uint32_t at = 0;
    while (size - at >= 8) {
        const uint8_t* header = body + at;
        uint32_t length = Dword(header + 4);
        if (length > size - at - 8)
            return Fail(c, "pdta: chunk '%.4s' of %u bytes runs past the end of pdta", (const char*)header, length);
        for (int i = 0; i < 9; i++) {
            if (!IsId(header, PresetChunks[i].id)) continue;
            if (seen[i]) return Fail(c, "pdta: two %s chunks", PresetChunks[i].id);
            if (length % PresetChunks[i].recordSize != 0)
                return Fail(c, "pdta: %s size %u is not a multiple of %u", PresetChunks[i].id, length,
                            PresetChunks[i].recordSize);
            seen[i] = true;
            pd->*PresetChunks[i].records = Records{header + 8, length / PresetChunks[i].recordSize};
        }
        at += 8 + length + (length & 1);
        if (at > size) break;
    }
    for (int i = 0; i < 9; i++) {
        if (!seen[i]) return Fail(c, "pdta: no %s chunk", PresetChunks[i].id);
    }
    // Each list ends with its terminal record (EOP, EOI, EOS and the last bag).
    const char* empty = pd->phdr.count < 1 ? "phdr" : pd->pbag.count < 1 ? "pbag" : pd->inst.count < 1 ? "inst"
                      : pd->ibag.count < 1 ? "ibag" : pd->shdr.count < 1 ? "shdr" : nullptr;
    if (empty) return Fail(c, "pdta: %s has not even its terminal record", empty);
    return true;
}

bool ReadSamples(Complaint* c, const PresetData& pd, uint32_t frames, SfSample* samples)
{
    for (uint32_t i = 0; i + 1 < pd.shdr.count; i++) {
        const uint8_t* r = pd.shdr.data + 46 * i;
        SfSample* s = &samples[i];
        CopyName(s->name, r);
        s->start = Dword(r + 20);
        s->end = Dword(r + 24);
        s->loopStart = Dword(r + 28);
        s->loopEnd = Dword(r + 32);
        s->sampleRate = Dword(r + 36);
        s->originalPitch = r[40];
        s->pitchCorrection = (int8_t)r[41];
        s->rom = (Word(r + 44) & 0x8000) != 0;
        if (s->rom) continue;
        if (s->end > frames)
            return Fail(c, "pdta: sample %u '%s' ends at %u beyond the %u sample points", i, s->name, s->end, frames);
        if (s->start > s->end)
            return Fail(c, "pdta: sample %u '%s' starts at %u after its end %u", i, s->name, s->start, s->end);
        if (s->loopStart > frames || s->loopEnd > frames)
            return Fail(c, "pdta: sample %u '%s' loops at %u..%u beyond the %u sample points", i, s->name,
                        s->loopStart, s->loopEnd, frames);
        if (s->sampleRate == 0) return Fail(c, "pdta: sample %u '%s' has a sample rate of 0", i, s->name);
    }
    return true;
}

// Builds the font's records from the checked preset data.
bool ReadPresetData(Complaint* c, const PresetData& pd, SoundFont* font)
{
    if (!CheckBags(c, "pbag", pd.pbag, "pgen", pd.pgen.count, "pmod", pd.pmod.count)) return false;
    if (!CheckBags(c, "ibag", pd.ibag, "igen", pd.igen.count, "imod", pd.imod.count)) return false;
    uint32_t presetCount = pd.phdr.count - 1, instrumentCount = pd.inst.count - 1;
    uint32_t sampleCount = pd.shdr.count - 1;
    // Bag ranges of the presets and instruments: each runs to the next one's first bag.
    for (uint32_t i = 0; i < pd.phdr.count; i++) {
        uint32_t bag = Word(pd.phdr.data + 38 * i + 24);
        if (bag >= pd.pbag.count) return Fail(c, "pdta: pbag index %u beyond the %u bags", bag, pd.pbag.count - 1);
        if (i > 0 && bag < Word(pd.phdr.data + 38 * (i - 1) + 24))
            return Fail(c, "pdta: preset %u starts its bags before the preset in front of it", i);
    }
    for (uint32_t i = 0; i < pd.inst.count; i++) {
        uint32_t bag = Word(pd.inst.data + 22 * i + 20);
        if (bag >= pd.ibag.count) return Fail(c, "pdta: ibag index %u beyond the %u bags", bag, pd.ibag.count - 1);
        if (i > 0 && bag < Word(pd.inst.data + 22 * (i - 1) + 20))
            return Fail(c, "pdta: instrument %u starts its bags before the instrument in front of it", i);
    }
    font->presets = (SfPreset*)calloc(presetCount + 1, sizeof(SfPreset));
    font->instruments = (SfInstrument*)calloc(instrumentCount + 1, sizeof(SfInstrument));
    font->samples = (SfSample*)calloc(sampleCount + 1, sizeof(SfSample));
    font->presetZones = (SfZone*)calloc(pd.pbag.count, sizeof(SfZone));
    font->instrumentZones = (SfZone*)calloc(pd.ibag.count, sizeof(SfZone));
    font->modulators = (SfModulator*)calloc(pd.pmod.count + pd.imod.count + 1, sizeof(SfModulator));
    if (!font->presets || !font->instruments || !font->samples || !font->presetZones || !font->instrumentZones ||
        !font->modulators)
        return Fail(c, "out of memory for the preset data");
    font->presetCount = presetCount;
    font->instrumentCount = instrumentCount;
    font->sampleCount = sampleCount;
    for (uint32_t m = 0; m < pd.pmod.count + pd.imod.count; m++) {
        const uint8_t* r = m < pd.pmod.count ? pd.pmod.data + 10 * m : pd.imod.data + 10 * (m - pd.pmod.count);
        font->modulators[m] = {Word(r), Word(r + 2), (int16_t)Word(r + 4), Word(r + 6), Word(r + 8)};
    }
    font->modulatorCount = pd.pmod.count + pd.imod.count;
    if (!ReadSamples(c, pd, font->sampleFrames, font->samples)) return false;
    for (uint32_t i = 0; i < instrumentCount; i++) {
        const uint8_t* r = pd.inst.data + 22 * i;
        SfInstrument* inst = &font->instruments[i];
        CopyName(inst->name, r);
        inst->firstZone = font->instrumentZoneCount;
        if (!ReadZones(c, pd, false, i, inst->name, Word(r + 20), Word(r + 42), pd.pmod.count, font->instrumentZones,
                       &font->instrumentZoneCount))
            return false;
        inst->zoneCount = font->instrumentZoneCount - inst->firstZone;
    }
    for (uint32_t i = 0; i < presetCount; i++) {
        const uint8_t* r = pd.phdr.data + 38 * i;
        SfPreset* preset = &font->presets[i];
        CopyName(preset->name, r);
        preset->program = Word(r + 20);
        preset->bank = Word(r + 22);
        preset->firstZone = font->presetZoneCount;
        if (!ReadZones(c, pd, true, i, preset->name, Word(r + 24), Word(r + 38 + 24), 0, font->presetZones,
                       &font->presetZoneCount))
            return false;
        preset->zoneCount = font->presetZoneCount - preset->firstZone;
    }
    return true;
}

void ReadInfo(const uint8_t* body, uint32_t size, SoundFont* font, uint32_t* major)
{
    for (uint32_t at = 0; size - at >= 8;) {
        uint32_t length = Dword(body + at + 4);
        if (length > size - at - 8) return;
        const uint8_t* data = body + at + 8;
        if (IsId(body + at, "ifil") && length >= 4) *major = Word(data);
        if (IsId(body + at, "INAM")) {
            uint32_t n = 0;
            for (; n < length && n < sizeof font->name - 1 && data[n]; n++)
                font->name[n] = data[n] >= 32 && data[n] != 127 ? (char)data[n] : '?';
            font->name[n] = 0;
        }
        at += 8 + length + (length & 1);
        if (at > size) return;
    }
}

// Reads the sample points of smpl straight into the font's own array.
bool ReadSampleChunk(Complaint* c, Source* s, uint32_t length, SoundFont* font)
{
    if (font->sampleData) return Fail(c, "sdta: two smpl chunks");
    if (s->size != UnknownSize && length > s->size - s->position)
        return Fail(c, "sdta: smpl of %u bytes runs past the end of the file", length);
    uint32_t frames = length / 2;
    font->sampleData = (int16_t*)malloc((size_t)frames * 2 + 2);
    if (!font->sampleData) return Fail(c, "sdta: no memory for %u sample points", frames);
    if (!ReadBytes(s, font->sampleData, (size_t)frames * 2) || !SkipBytes(s, length - (uint64_t)frames * 2))
        return Fail(c, "sdta: smpl of %u bytes runs past the end of the file", length);
    font->sampleFrames = frames;
    const uint16_t one = 1;
    if (*(const uint8_t*)&one != 1) { // a big-endian machine: the file is little-endian
        uint8_t* b = (uint8_t*)font->sampleData;
        for (uint32_t i = 0; i < frames; i++) {
            uint8_t t = b[2 * i];
            b[2 * i] = b[2 * i + 1];
            b[2 * i + 1] = t;
        }
    }
    return true;
}

bool ReadList(Complaint* c, Source* s, const uint8_t type[4], uint32_t length, SoundFont* font, uint32_t* major,
              bool* sawPresetData)
{
    if (IsId(type, "sdta")) {
        uint64_t end = s->position + length;
        while (end - s->position >= 8) {
            uint8_t header[8];
            if (!ReadBytes(s, header, 8)) return Fail(c, "sdta: cut short");
            uint32_t size = Dword(header + 4);
            if (size > end - s->position) return Fail(c, "sdta: chunk '%.4s' runs past the end of sdta", (const char*)header);
            if (IsId(header, "smpl")) {
                if (!ReadSampleChunk(c, s, size, font)) return false;
            } else if (!SkipBytes(s, size)) {
                return Fail(c, "sdta: cut short");
            }
            uint64_t pad = size & 1 && end > s->position ? 1 : 0;
            if (!SkipBytes(s, pad)) return Fail(c, "sdta: cut short");
        }
        return SkipBytes(s, end - s->position) || Fail(c, "sdta: cut short");
    }
    bool info = IsId(type, "INFO"), pdta = IsId(type, "pdta");
    if (!info && !pdta) return SkipBytes(s, length) || Fail(c, "LIST '%.4s' runs past the end of the file", (const char*)type);
    if (pdta && *sawPresetData) return Fail(c, "two pdta lists");
    if (length > (info ? MaxInfoSize : MaxPresetDataSize))
        return Fail(c, "%s: a list of %u bytes is too large", info ? "INFO" : "pdta", length);
    if (s->size != UnknownSize && length > s->size - s->position)
        return Fail(c, "%s: list of %u bytes runs past the end of the file", info ? "INFO" : "pdta", length);
    uint8_t* body = (uint8_t*)malloc(length ? length : 1);
    if (!body) return Fail(c, "%s: no memory for %u bytes", info ? "INFO" : "pdta", length);
    bool ok = ReadBytes(s, body, length);
    if (!ok) {
        Fail(c, "%s: list of %u bytes runs past the end of the file", info ? "INFO" : "pdta", length);
    } else if (info) {
        ReadInfo(body, length, font, major);
    } else {
        // The sample data comes first in the file; the sample headers are checked against it.
        PresetData pd;
        memset(&pd, 0, sizeof pd);
        *sawPresetData = true;
        if (!font->sampleData) ok = Fail(c, "pdta: comes before the sample data (no smpl chunk)");
        else ok = SplitPresetData(c, body, length, &pd) && ReadPresetData(c, pd, font);
    }
    free(body);
    return ok;
}

bool ReadFont(Source* s, SoundFont* font, Complaint* c)
{
    memset(font, 0, sizeof *font);
    uint8_t header[12];
    if (!ReadBytes(s, header, 12) || !IsId(header, "RIFF") || !IsId(header + 8, "sfbk"))
        return Fail(c, "not a SoundFont 2 file (no RIFF sfbk header)");
    uint64_t end = 8 + (uint64_t)Dword(header + 4);
    if (s->size != UnknownSize && end > s->size)
        return Fail(c, "RIFF: %u bytes announced, the file has %llu", Dword(header + 4), (unsigned long long)(s->size - 8));
    uint32_t major = 2;
    bool sawPresetData = false;
    while (end - s->position >= 8) {
        uint8_t chunk[12];
        if (!ReadBytes(s, chunk, 8)) return Fail(c, "RIFF: cut short");
        uint32_t length = Dword(chunk + 4);
        if (length > end - s->position) return Fail(c, "RIFF: chunk '%.4s' runs past the end of the file", (const char*)chunk);
        if (IsId(chunk, "LIST")) {
            if (length < 4 || !ReadBytes(s, chunk + 8, 4)) return Fail(c, "RIFF: a LIST without its type");
            if (!ReadList(c, s, chunk + 8, length - 4, font, &major, &sawPresetData)) return false;
        } else if (!SkipBytes(s, length)) {
            return Fail(c, "RIFF: chunk '%.4s' runs past the end of the file", (const char*)chunk);
        }
        if ((length & 1) && end > s->position && !SkipBytes(s, 1)) return Fail(c, "RIFF: cut short");
        if (major != 2) return Fail(c, "INFO: version %u is not SoundFont 2", major);
    }
    if (!font->sampleData) return Fail(c, "sdta: no smpl chunk");
    if (!sawPresetData) return Fail(c, "no pdta list");
    return true;
}

bool ReadAndKeep(Source* s, SoundFont* font, char* message, size_t messageSize)
{
    Complaint c = {message, messageSize};
    if (ReadFont(s, font, &c)) {
        if (message && messageSize) message[0] = 0;
        return true;
    }
    FreeSoundFont(font);
    return false;
}

} // namespace

bool ReadSoundFont(const uint8_t* bytes, size_t size, SoundFont* font, char* message, size_t messageSize)
{
    static const uint8_t nothing[1] = {0};
    Source s = {bytes ? bytes : nothing, nullptr, bytes ? (uint64_t)size : 0, 0};
    return ReadAndKeep(&s, font, message, messageSize);
}

bool LoadSoundFont(FILE* file, SoundFont* font, char* message, size_t messageSize)
{
    Source s = {nullptr, file, UnknownSize, 0};
    long start = ftell(file);
    if (start >= 0 && fseek(file, 0, SEEK_END) == 0) {
        long length = ftell(file);
        if (length >= start) s.size = (uint64_t)(length - start);
    }
    if (start < 0 || fseek(file, start, SEEK_SET) != 0) s.size = UnknownSize;
    return ReadAndKeep(&s, font, message, messageSize);
}

void FreeSoundFont(SoundFont* font)
{
    free(font->sampleData);
    free(font->samples);
    free(font->presets);
    free(font->instruments);
    free(font->presetZones);
    free(font->instrumentZones);
    free(font->modulators);
    memset(font, 0, sizeof *font);
}

int32_t FindPreset(const SoundFont* font, uint32_t bank, uint32_t program)
{
    for (uint32_t i = 0; i < font->presetCount; i++) {
        if (font->presets[i].bank == bank && font->presets[i].program == program) return (int32_t)i;
    }
    return -1;
}
