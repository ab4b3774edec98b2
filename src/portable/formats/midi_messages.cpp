// The Standard MIDI File read as timed channel messages.
#include "portable/formats/midi_messages.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t DefaultQuarterUs = 500000; // 120 crotchets a minute until a tempo says otherwise
constexpr uint64_t LongestFrame = 1ull << 62;

struct Ticked {
    uint64_t tick;
    uint32_t order;    // as read, so that equal ticks keep the file's order
    uint32_t value;    // the packed message, or a tempo's microseconds a quarter note
    uint16_t track;
};

struct List {
    Ticked* items;
    uint32_t count, capacity;
};

struct Reader {
    const uint8_t* bytes;
    List messages, tempos;
    uint32_t order;
    char* message;
    size_t messageSize;
};

bool Fail(Reader* r, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (r->message && r->messageSize) vsnprintf(r->message, r->messageSize, format, args);
    va_end(args);
    return false;
}

uint32_t BigEndian32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
uint32_t BigEndian16(const uint8_t* p) { return (uint32_t)p[0] << 8 | p[1]; }

bool Append(Reader* r, List* list, uint64_t tick, uint32_t value, uint16_t track)
{
    if (list->count == list->capacity) {
        uint32_t grown = list->capacity ? list->capacity * 2 : 1024;
        void* more = grown > list->capacity ? realloc(list->items, (size_t)grown * sizeof *list->items) : nullptr;
        if (!more) return Fail(r, "out of memory");
        list->items = (Ticked*)more;
        list->capacity = grown;
    }
    list->items[list->count++] = {tick, r->order++, value, track};
    return true;
}

// A variable-length quantity of at most four bytes at *at, before end.
bool ReadQuantity(const uint8_t* bytes, size_t end, size_t* at, uint32_t* value)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) {
        if (*at >= end) return false;
        uint8_t b = bytes[(*at)++];
        v = v << 7 | (b & 0x7F);
        if (!(b & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

// The events of one track chunk, bytes start..end.
bool ReadTrack(Reader* r, size_t start, size_t end, uint16_t track)
{
    const uint8_t* bytes = r->bytes;
    unsigned number = (unsigned)track + 1;
    uint64_t tick = 0;
    uint8_t running = 0;
    for (size_t at = start; at < end;) {
        uint32_t delta, length;
        if (!ReadQuantity(bytes, end, &at, &delta))
            return Fail(r, "track %u: a delta-time longer than four bytes or past the end of the track (byte %" PRIu64
                           ")",
                        number, (uint64_t)at);
        tick += delta;
        if (at >= end) return Fail(r, "track %u ends inside an event (byte %" PRIu64 ")", number, (uint64_t)at);
        size_t where = at;
        uint8_t status = bytes[at];
        if (status >= 0x80) at++;
        else if (running) status = running;
        else return Fail(r, "track %u: a data byte with no status before it (byte %" PRIu64 ")", number, (uint64_t)where);

        if (status < 0xF0) {
            running = status;
            size_t n = (status & 0xE0) == 0xC0 ? 1 : 2; // program change and channel pressure take one
            if (end - at < n) return Fail(r, "track %u ends inside an event (byte %" PRIu64 ")", number, (uint64_t)where);
            uint32_t packed = status;
            for (size_t i = 0; i < n; i++) {
                if (bytes[at + i] >= 0x80)
                    return Fail(r, "track %u: a data byte above 127 (0x%02X at byte %" PRIu64 ")", number,
                                bytes[at + i], (uint64_t)(at + i));
                packed |= (uint32_t)bytes[at + i] << (8 * (i + 1));
            }
            if (!Append(r, &r->messages, tick, packed, track)) return false;
            at += n;
            continue;
        }
        if (status != 0xF0 && status != 0xF7 && status != 0xFF)
            return Fail(r, "track %u: the status byte 0x%02X has no place in a MIDI file (byte %" PRIu64 ")", number,
                        status, (uint64_t)where);
        running = 0; // system-exclusive and meta events cancel running status
        uint8_t type = 0;
        if (status == 0xFF) {
            if (at >= end) return Fail(r, "track %u ends inside an event (byte %" PRIu64 ")", number, (uint64_t)where);
            type = bytes[at++];
        }
        if (!ReadQuantity(bytes, end, &at, &length) || length > end - at)
            return Fail(r, "track %u: an event runs past the end of the track (byte %" PRIu64 ")", number,
                        (uint64_t)where);
        if (status == 0xFF && type == 0x2F) return true;
        if (status == 0xFF && type == 0x51 && length == 3) {
            uint32_t quarterUs = (uint32_t)bytes[at] << 16 | (uint32_t)bytes[at + 1] << 8 | bytes[at + 2];
            if (!Append(r, &r->tempos, tick, quarterUs, track)) return false;
        }
        at += length;
    }
    return true; // a track without its end event ends with its chunk
}

int CompareTicked(const void* a, const void* b)
{
    const Ticked* x = (const Ticked*)a;
    const Ticked* y = (const Ticked*)b;
    if (x->tick != y->tick) return x->tick < y->tick ? -1 : 1;
    if (x->track != y->track) return x->track < y->track ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

// The messages' frames. A tick's time is the sum, over the stretches of one
// tempo before it, of ticks x microseconds a tick, kept exact as a numerator
// over the unit (a microsecond times the division); each frame is rounded
// once from it, so nothing drifts.
bool TimeMessages(Reader* r, bool smpte, uint64_t tickNumerator, uint64_t unit, uint64_t rate, MidiTimedMessage* out)
{
    uint64_t stretchStart = 0, stretchTick = 0, perTick = smpte ? tickNumerator : DefaultQuarterUs;
    uint64_t perFrame = unit * 1000000; // numerator units a second
    uint32_t next = 0;
    for (uint32_t i = 0; i < r->messages.count; i++) {
        const Ticked& m = r->messages.items[i];
        uint64_t product, time, whole;
        for (; !smpte && next < r->tempos.count && r->tempos.items[next].tick <= m.tick; next++) {
            if (__builtin_mul_overflow(r->tempos.items[next].tick - stretchTick, perTick, &product) ||
                __builtin_add_overflow(stretchStart, product, &stretchStart))
                return Fail(r, "the song is too long: its times do not fit");
            stretchTick = r->tempos.items[next].tick;
            perTick = r->tempos.items[next].value;
        }
        if (__builtin_mul_overflow(m.tick - stretchTick, perTick, &product) ||
            __builtin_add_overflow(stretchStart, product, &time) ||
            __builtin_mul_overflow(time / perFrame, rate, &whole) || whole > LongestFrame)
            return Fail(r, "the song is too long: its times do not fit");
        out[i] = {whole + ((time % perFrame) * rate + perFrame / 2) / perFrame, m.value, m.track, 0};
    }
    return true;
}

} // namespace

bool ReadMidiMessages(const uint8_t* bytes, size_t size, uint32_t sampleRate, MidiMessageSong* song, char* message,
                      size_t messageSize)
{
    Reader r = {};
    r.bytes = bytes;
    r.message = message;
    r.messageSize = messageSize;
    if (sampleRate == 0 || sampleRate > 1000000) return Fail(&r, "a sample rate of %u is none", sampleRate);
    if (size < 14 || memcmp(bytes, "MThd", 4) != 0) return Fail(&r, "not a MIDI file: it does not begin with MThd");
    uint32_t headerLength = BigEndian32(bytes + 4);
    if (headerLength < 6 || headerLength > size - 8) return Fail(&r, "not a MIDI file: its header chunk is damaged");
    uint32_t format = BigEndian16(bytes + 8), tracks = BigEndian16(bytes + 10), division = BigEndian16(bytes + 12);
    if (format > 1)
        return Fail(&r, "MIDI format %u is not supported: only formats 0 and 1 (%s)", format,
                    format == 2 ? "format 2 holds separate patterns" : "no such format");
    if (tracks == 0) return Fail(&r, "the MIDI file has no tracks");
    // Ticks a quarter note, or SMPTE frames a second and ticks a frame.
    bool smpte = (division & 0x8000) != 0;
    uint64_t tickNumerator = 1, unit = division;
    if (smpte) {
        uint32_t frames = 256 - (division >> 8), ticks = division & 0xFF;
        if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) || ticks == 0)
            return Fail(&r, "the MIDI file's time division (0x%04X) is damaged", division);
        // 29 is 30 frames a second slowed by 1000/1001.
        tickNumerator = frames == 29 ? 1001000 : 1000000;
        unit = (uint64_t)(frames == 29 ? 30 : frames) * ticks;
    } else if (division == 0) {
        return Fail(&r, "the MIDI file's time division is 0");
    }

    bool ok = true;
    size_t at = 8 + (size_t)headerLength;
    for (uint32_t found = 0; ok && found < tracks;) {
        if (size - at < 8) {
            ok = Fail(&r, "the MIDI file ends after %u of its %u tracks", found, tracks);
            break;
        }
        uint32_t length = BigEndian32(bytes + at + 4);
        if (length > size - at - 8) {
            ok = Fail(&r, "the MIDI file is cut short: a chunk of %u bytes at byte %" PRIu64 " runs past its end",
                      length, (uint64_t)at);
            break;
        }
        if (memcmp(bytes + at, "MTrk", 4) == 0) ok = ReadTrack(&r, at + 8, at + 8 + length, (uint16_t)found++);
        at += 8 + (size_t)length; // chunks of other types are passed over
    }
    MidiTimedMessage* out = nullptr;
    if (ok) {
        if (r.messages.count) qsort(r.messages.items, r.messages.count, sizeof *r.messages.items, CompareTicked);
        if (r.tempos.count) qsort(r.tempos.items, r.tempos.count, sizeof *r.tempos.items, CompareTicked);
        out = (MidiTimedMessage*)malloc((size_t)r.messages.count * sizeof *out + 1);
        ok = out ? TimeMessages(&r, smpte, tickNumerator, unit, sampleRate, out) : Fail(&r, "out of memory");
    }
    free(r.messages.items);
    free(r.tempos.items);
    if (!ok) {
        free(out);
        return false;
    }
    *song = {out, r.messages.count, tracks};
    return true;
}

void FreeMidiMessages(MidiMessageSong* song)
{
    free(song->messages);
    song->messages = nullptr;
    song->count = 0;
}
