// The Standard MIDI File reader.
#include "portable/formats/midi_import.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t DefaultQuarterUs = 500000; // 120 crotchets a minute until a tempo says otherwise

// A note event or a tempo change where the file puts it, before the tempo
// map turns ticks into time.
struct TickedNote {
    uint64_t tick;
    uint32_t order; // in the order read, so that equal ticks keep the file's order
    MidiNoteEvent event;
};

struct TickedTempo {
    uint64_t tick;
    uint32_t order;
    uint32_t quarterUs;
};

struct Reader {
    const uint8_t* bytes;
    TickedNote* notes;
    uint32_t noteCount, noteCapacity;
    TickedTempo* tempos;
    uint32_t tempoCount, tempoCapacity;
    uint32_t order;
    bool hasKey;
    uint64_t keyTick;
    int32_t sharps;
    bool minor;
    MidiTrackFacts* tracks;
    char* message;
    size_t messageSize;
};

bool Fail(Reader* r, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(r->message, r->messageSize, format, args);
    va_end(args);
    return false;
}

uint32_t BigEndian32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
uint32_t BigEndian16(const uint8_t* p) { return (uint32_t)p[0] << 8 | p[1]; }

// Makes room for one more item in a growing array; false when memory ran out.
bool Grow(void** items, uint32_t* capacity, uint32_t count, size_t itemSize)
{
    if (count < *capacity) return true;
    uint32_t grown = *capacity ? *capacity * 2 : 1024;
    if (grown <= *capacity) return false;
    void* more = realloc(*items, (size_t)grown * itemSize);
    if (!more) return false;
    *items = more;
    *capacity = grown;
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

bool AddNote(Reader* r, uint64_t tick, uint16_t track, uint8_t status, uint8_t note, uint8_t velocity)
{
    if (!Grow((void**)&r->notes, &r->noteCapacity, r->noteCount, sizeof *r->notes)) return Fail(r, "out of memory");
    MidiNoteEvent event = {0, track, (uint8_t)(status & 0x0F), note, (status & 0xF0) == 0x90 ? velocity : (uint8_t)0,
                           {0, 0, 0}};
    r->notes[r->noteCount++] = {tick, r->order++, event};
    return true;
}

// A meta event: the end of the track (true in *ended), a tempo, a key
// signature, the track's name.
bool ReadMeta(Reader* r, uint8_t type, const uint8_t* data, uint32_t length, uint64_t tick, MidiTrackFacts* facts,
              bool* ended)
{
    *ended = type == 0x2F;
    if (type == 0x03 && length > 0 && facts->nameLength == 0) {
        facts->nameOffset = (size_t)(data - r->bytes);
        facts->nameLength = length;
    }
    if (type == 0x51 && length == 3) {
        if (!Grow((void**)&r->tempos, &r->tempoCapacity, r->tempoCount, sizeof *r->tempos))
            return Fail(r, "out of memory");
        r->tempos[r->tempoCount++] = {tick, r->order++, (uint32_t)data[0] << 16 | (uint32_t)data[1] << 8 | data[2]};
    }
    int32_t sharps = length == 2 ? (int8_t)data[0] : 0;
    if (type == 0x59 && length == 2 && sharps >= -7 && sharps <= 7 && data[1] <= 1 && (!r->hasKey || tick < r->keyTick)) {
        r->hasKey = true;
        r->keyTick = tick;
        r->sharps = sharps;
        r->minor = data[1] == 1;
    }
    return true;
}

// What a channel event tells of its track: a note start off the percussion
// channel counts, the first program change there is the track's instrument.
void NoteChannelEvent(MidiTrackFacts* facts, uint8_t status, uint8_t first, uint8_t second)
{
    int32_t channel = status & 0x0F;
    if (channel == PercussionChannel) return;
    if ((status & 0xF0) == 0xC0 && facts->program < 0) {
        facts->program = first;
        if (facts->channel < 0) facts->channel = channel;
    }
    if ((status & 0xF0) == 0x90 && second > 0) {
        if (facts->noteCount++ == 0) facts->channel = channel;
    }
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
            for (size_t i = 0; i < n; i++)
                if (bytes[at + i] >= 0x80)
                    return Fail(r, "track %u: a data byte above 127 (0x%02X at byte %" PRIu64 ")", number,
                                bytes[at + i], (uint64_t)(at + i));
            if (((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90) &&
                !AddNote(r, tick, track, status, bytes[at], bytes[at + 1]))
                return false;
            NoteChannelEvent(&r->tracks[track], status, bytes[at], n == 2 ? bytes[at + 1] : 0);
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
        bool ended = false;
        if (status == 0xFF && !ReadMeta(r, type, bytes + at, length, tick, &r->tracks[track], &ended)) return false;
        if (ended) return true;
        at += length;
    }
    return true; // a track without its end event ends with its chunk
}

int CompareNotes(const void* a, const void* b)
{
    const TickedNote* x = (const TickedNote*)a;
    const TickedNote* y = (const TickedNote*)b;
    if (x->tick != y->tick) return x->tick < y->tick ? -1 : 1;
    if (x->event.track != y->event.track) return x->event.track < y->event.track ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

int CompareTempos(const void* a, const void* b)
{
    const TickedTempo* x = (const TickedTempo*)a;
    const TickedTempo* y = (const TickedTempo*)b;
    if (x->tick != y->tick) return x->tick < y->tick ? -1 : 1;
    return x->order < y->order ? -1 : x->order > y->order;
}

// The notes' times: the time of a tick is the sum, over the stretches of one
// tempo before it, of ticks x microseconds a tick, kept exact (as a
// numerator over the division) and rounded once per note, so nothing drifts.
bool TimeNotes(Reader* r, bool smpte, uint64_t tickNumerator, uint64_t denominator, MidiNoteEvent* out)
{
    uint64_t stretchStart = 0, stretchTick = 0, perTick = smpte ? tickNumerator : DefaultQuarterUs;
    uint32_t next = 0;
    for (uint32_t i = 0; i < r->noteCount; i++) {
        const TickedNote& n = r->notes[i];
        uint64_t product, time;
        for (; !smpte && next < r->tempoCount && r->tempos[next].tick <= n.tick; next++) {
            if (__builtin_mul_overflow(r->tempos[next].tick - stretchTick, perTick, &product) ||
                __builtin_add_overflow(stretchStart, product, &stretchStart))
                return Fail(r, "the song is too long: its times do not fit");
            stretchTick = r->tempos[next].tick;
            perTick = r->tempos[next].quarterUs;
        }
        if (__builtin_mul_overflow(n.tick - stretchTick, perTick, &product) ||
            __builtin_add_overflow(stretchStart, product, &time) || time > UINT64_MAX / 2)
            return Fail(r, "the song is too long: its times do not fit");
        out[i] = n.event;
        out[i].timeUs = (time + denominator / 2) / denominator;
    }
    return true;
}

} // namespace

bool LooksLikeMidiFile(const uint8_t* bytes, size_t size)
{
    return size >= 4 && memcmp(bytes, "MThd", 4) == 0;
}

bool ParseMidiFile(const uint8_t* bytes, size_t size, MidiSong* song, char* message, size_t messageSize)
{
    Reader r = {};
    r.bytes = bytes;
    r.message = message;
    r.messageSize = messageSize;
    if (size < 14 || !LooksLikeMidiFile(bytes, size)) return Fail(&r, "not a MIDI file: it does not begin with MThd");
    uint32_t headerLength = BigEndian32(bytes + 4);
    if (headerLength < 6 || headerLength > size - 8) return Fail(&r, "not a MIDI file: its header chunk is damaged");
    uint32_t format = BigEndian16(bytes + 8), tracks = BigEndian16(bytes + 10), division = BigEndian16(bytes + 12);
    if (format > 1)
        return Fail(&r, "MIDI format %u is not supported: only formats 0 and 1 (%s)", format,
                    format == 2 ? "format 2 holds separate patterns" : "no such format");
    if (tracks == 0) return Fail(&r, "the MIDI file has no tracks");
    // Ticks a quarter note, or SMPTE frames a second and ticks a frame.
    bool smpte = (division & 0x8000) != 0;
    uint64_t tickNumerator = 1, denominator = division;
    if (smpte) {
        uint32_t frames = 256 - (division >> 8), ticks = division & 0xFF;
        if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) || ticks == 0)
            return Fail(&r, "the MIDI file's time division (0x%04X) is damaged", division);
        // 29 is 30 frames a second slowed by 1000/1001.
        tickNumerator = frames == 29 ? 1001000 : 1000000;
        denominator = (uint64_t)(frames == 29 ? 30 : frames) * ticks;
    } else if (division == 0) {
        return Fail(&r, "the MIDI file's time division is 0");
    }

    r.tracks = (MidiTrackFacts*)malloc((size_t)tracks * sizeof *r.tracks);
    if (!r.tracks) return Fail(&r, "out of memory");
    for (uint32_t i = 0; i < tracks; i++) r.tracks[i] = {0, 0, 0, -1, -1};
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
    MidiNoteEvent* events = nullptr;
    if (ok) {
        if (r.noteCount) qsort(r.notes, r.noteCount, sizeof *r.notes, CompareNotes);
        if (r.tempoCount) qsort(r.tempos, r.tempoCount, sizeof *r.tempos, CompareTempos);
        events = (MidiNoteEvent*)malloc((size_t)r.noteCount * sizeof *events + 1);
        ok = events ? TimeNotes(&r, smpte, tickNumerator, denominator, events) : Fail(&r, "out of memory");
    }
    free(r.notes);
    free(r.tempos);
    if (!ok) {
        free(events);
        free(r.tracks);
        return false;
    }
    *song = {events, r.noteCount, tracks, r.hasKey, r.sharps, r.minor, r.tracks};
    return true;
}

void FreeMidiSong(MidiSong* song)
{
    free(song->events);
    free(song->tracks);
    song->events = nullptr;
    song->tracks = nullptr;
    song->count = 0;
}
