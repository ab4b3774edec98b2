// The one walk through a Standard MIDI File, and the time of its ticks.
#include "portable/formats/midi_file.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t DefaultQuarterUs = 500000; // 120 crotchets a minute until a tempo says otherwise
constexpr uint64_t LongestFrame = 1ull << 62;

struct Walk {
    const uint8_t* bytes;
    MidiFileEvent* events;
    uint32_t count, capacity;
    uint32_t order;
    char* message;
    size_t messageSize;
};

uint32_t BigEndian32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
uint32_t BigEndian16(const uint8_t* p) { return (uint32_t)p[0] << 8 | p[1]; }

bool Append(Walk* w, uint64_t tick, uint16_t track, MidiFileEventKind kind, uint32_t value, size_t offset)
{
    if (w->count == w->capacity) {
        uint32_t grown = w->capacity ? w->capacity * 2 : 1024;
        void* more = grown > w->capacity ? realloc(w->events, (size_t)grown * sizeof *w->events) : nullptr;
        if (!more) return MidiFail(w->message, w->messageSize, "out of memory");
        w->events = (MidiFileEvent*)more;
        w->capacity = grown;
    }
    w->events[w->count++] = {tick, offset, w->order++, value, track, kind, 0};
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

// A meta event the readers use, its data at..at+length: a track name, a
// tempo, a key signature.
bool TakeMeta(Walk* w, uint8_t type, size_t at, uint32_t length, uint64_t tick, uint16_t track)
{
    const uint8_t* data = w->bytes + at;
    if (type == 0x03) return Append(w, tick, track, MidiTrackNameEvent, length, at);
    if (type == 0x51 && length == 3)
        return Append(w, tick, track, MidiTempoEvent, (uint32_t)data[0] << 16 | (uint32_t)data[1] << 8 | data[2], 0);
    if (type == 0x59 && length == 2)
        return Append(w, tick, track, MidiKeySignatureEvent, (uint32_t)data[0] | (uint32_t)data[1] << 8, 0);
    return true;
}

// The events of one track chunk, bytes start..end.
bool WalkTrack(Walk* w, size_t start, size_t end, uint16_t track)
{
    const uint8_t* bytes = w->bytes;
    char* message = w->message;
    size_t messageSize = w->messageSize;
    unsigned number = (unsigned)track + 1;
    uint64_t tick = 0;
    uint8_t running = 0;
    for (size_t at = start; at < end;) {
        uint32_t delta, length;
        if (!ReadQuantity(bytes, end, &at, &delta))
            return MidiFail(message, messageSize,
                            "track %u: a delta-time longer than four bytes or past the end of the track (byte %" PRIu64
                            ")",
                            number, (uint64_t)at);
        tick += delta;
        if (at >= end)
            return MidiFail(message, messageSize, "track %u ends inside an event (byte %" PRIu64 ")", number,
                            (uint64_t)at);
        size_t where = at;
        uint8_t status = bytes[at];
        if (status >= 0x80) at++;
        else if (running) status = running;
        else
            return MidiFail(message, messageSize, "track %u: a data byte with no status before it (byte %" PRIu64 ")",
                            number, (uint64_t)where);

        if (status < 0xF0) {
            running = status;
            size_t n = (status & 0xE0) == 0xC0 ? 1 : 2; // program change and channel pressure take one
            if (end - at < n)
                return MidiFail(message, messageSize, "track %u ends inside an event (byte %" PRIu64 ")", number,
                                (uint64_t)where);
            uint32_t packed = status;
            for (size_t i = 0; i < n; i++) {
                if (bytes[at + i] >= 0x80)
                    return MidiFail(message, messageSize,
                                    "track %u: a data byte above 127 (0x%02X at byte %" PRIu64 ")", number,
                                    bytes[at + i], (uint64_t)(at + i));
                packed |= (uint32_t)bytes[at + i] << (8 * (i + 1));
            }
            if (!Append(w, tick, track, MidiChannelEvent, packed, 0)) return false;
            at += n;
            continue;
        }
        if (status != 0xF0 && status != 0xF7 && status != 0xFF)
            return MidiFail(message, messageSize,
                            "track %u: the status byte 0x%02X has no place in a MIDI file (byte %" PRIu64 ")", number,
                            status, (uint64_t)where);
        running = 0; // system-exclusive and meta events cancel running status
        uint8_t type = 0;
        if (status == 0xFF) {
            if (at >= end)
                return MidiFail(message, messageSize, "track %u ends inside an event (byte %" PRIu64 ")", number,
                                (uint64_t)where);
            type = bytes[at++];
        }
        if (!ReadQuantity(bytes, end, &at, &length) || length > end - at)
            return MidiFail(message, messageSize,
                            "track %u: an event runs past the end of the track (byte %" PRIu64 ")", number,
                            (uint64_t)where);
        if (status == 0xFF && type == 0x2F) return true;
        if (status == 0xFF && !TakeMeta(w, type, at, length, tick, track)) return false;
        at += length;
    }
    return true; // a track without its end event ends with its chunk
}

int CompareEvents(const void* a, const void* b)
{
    const MidiFileEvent* x = (const MidiFileEvent*)a;
    const MidiFileEvent* y = (const MidiFileEvent*)b;
    if (x->tick != y->tick) return x->tick < y->tick ? -1 : 1;
    if (x->track != y->track) return x->track < y->track ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

// The exact time of tick in the file's units, moving the clock through the
// tempo changes up to it; false when it does not fit in 64 bits.
bool ClockTime(MidiClock* clock, uint64_t tick, uint64_t* time)
{
    const MidiFile* file = clock->file;
    uint64_t product;
    for (; !file->smpte && clock->next < file->count && file->events[clock->next].tick <= tick; clock->next++) {
        const MidiFileEvent& e = file->events[clock->next];
        if (e.kind != MidiTempoEvent) continue;
        if (__builtin_mul_overflow(e.tick - clock->stretchTick, clock->perTick, &product) ||
            __builtin_add_overflow(clock->stretchStart, product, &clock->stretchStart))
            return false;
        clock->stretchTick = e.tick;
        clock->perTick = e.value;
    }
    return !__builtin_mul_overflow(tick - clock->stretchTick, clock->perTick, &product) &&
           !__builtin_add_overflow(clock->stretchStart, product, time);
}

bool TooLong(char* message, size_t messageSize)
{
    return MidiFail(message, messageSize, "the song is too long: its times do not fit");
}

} // namespace

bool MidiFail(char* message, size_t messageSize, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (message && messageSize) vsnprintf(message, messageSize, format, args);
    va_end(args);
    return false;
}

bool ReadMidiFile(const uint8_t* bytes, size_t size, MidiFile* file, char* message, size_t messageSize)
{
    if (size < 14 || memcmp(bytes, "MThd", 4) != 0)
        return MidiFail(message, messageSize, "not a MIDI file: it does not begin with MThd");
    uint32_t headerLength = BigEndian32(bytes + 4);
    if (headerLength < 6 || headerLength > size - 8)
        return MidiFail(message, messageSize, "not a MIDI file: its header chunk is damaged");
    uint32_t format = BigEndian16(bytes + 8), tracks = BigEndian16(bytes + 10), division = BigEndian16(bytes + 12);
    if (format > 1)
        return MidiFail(message, messageSize, "MIDI format %u is not supported: only formats 0 and 1 (%s)", format,
                        format == 2 ? "format 2 holds separate patterns" : "no such format");
    if (tracks == 0) return MidiFail(message, messageSize, "the MIDI file has no tracks");
    // Ticks a quarter note, or SMPTE frames a second and ticks a frame.
    bool smpte = (division & 0x8000) != 0;
    uint64_t tickUnits = 1, unitsPerUs = division;
    if (smpte) {
        uint32_t frames = 256 - (division >> 8), ticks = division & 0xFF;
        if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) || ticks == 0)
            return MidiFail(message, messageSize, "the MIDI file's time division (0x%04X) is damaged", division);
        // 29 is 30 frames a second slowed by 1000/1001.
        tickUnits = frames == 29 ? 1001000 : 1000000;
        unitsPerUs = (uint64_t)(frames == 29 ? 30 : frames) * ticks;
    } else if (division == 0) {
        return MidiFail(message, messageSize, "the MIDI file's time division is 0");
    }

    Walk w = {bytes, nullptr, 0, 0, 0, message, messageSize};
    bool ok = true;
    size_t at = 8 + (size_t)headerLength;
    for (uint32_t found = 0; ok && found < tracks;) {
        if (size - at < 8) {
            ok = MidiFail(message, messageSize, "the MIDI file ends after %u of its %u tracks", found, tracks);
            break;
        }
        uint32_t length = BigEndian32(bytes + at + 4);
        if (length > size - at - 8) {
            ok = MidiFail(message, messageSize,
                          "the MIDI file is cut short: a chunk of %u bytes at byte %" PRIu64 " runs past its end",
                          length, (uint64_t)at);
            break;
        }
        if (memcmp(bytes + at, "MTrk", 4) == 0) ok = WalkTrack(&w, at + 8, at + 8 + length, (uint16_t)found++);
        at += 8 + (size_t)length; // chunks of other types are passed over
    }
    if (!ok) {
        free(w.events);
        return false;
    }
    if (w.count) qsort(w.events, w.count, sizeof *w.events, CompareEvents);
    *file = {w.events, w.count, tracks, unitsPerUs, smpte, tickUnits};
    return true;
}

void FreeMidiFile(MidiFile* file)
{
    free(file->events);
    file->events = nullptr;
    file->count = 0;
}

void StartMidiClock(MidiClock* clock, const MidiFile* file)
{
    *clock = {file, 0, 0, 0, file->smpte ? file->smpteTickUnits : DefaultQuarterUs};
}

bool MidiTickMicroseconds(MidiClock* clock, uint64_t tick, uint64_t* us, char* message, size_t messageSize)
{
    uint64_t time, unitsPerUs = clock->file->unitsPerUs;
    if (!ClockTime(clock, tick, &time) || time > UINT64_MAX / 2) return TooLong(message, messageSize);
    *us = (time + unitsPerUs / 2) / unitsPerUs;
    return true;
}

bool MidiTickFrame(MidiClock* clock, uint64_t tick, uint32_t rate, uint64_t* frame, char* message, size_t messageSize)
{
    uint64_t time, whole, perFrame = clock->file->unitsPerUs * 1000000; // units a second
    if (!ClockTime(clock, tick, &time) || __builtin_mul_overflow(time / perFrame, (uint64_t)rate, &whole) ||
        whole > LongestFrame)
        return TooLong(message, messageSize);
    *frame = whole + ((time % perFrame) * rate + perFrame / 2) / perFrame;
    return true;
}
