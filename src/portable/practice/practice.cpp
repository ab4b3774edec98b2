#include "portable/practice/practice.h"

#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "portable/song/replay.h"

namespace {

struct NoteList {
    PracticeNote* notes;
    uint64_t* times;
    uint32_t count, capacity;
    bool ok;
    const RecordedEvent* events;
};

// Each press that sounds its note and that a key reaches as it was played.
void TakePress(void* context, uint64_t ms, uint32_t index, const NoteMessage& m)
{
    NoteList* list = (NoteList*)context;
    const RecordedEvent& e = list->events[index];
    if (!m.velocity || m.channel != 0 || e.octaveShift < -1 || e.octaveShift > 1 || !list->ok) return;
    if (list->count == list->capacity) {
        uint32_t grown = list->capacity ? 2 * list->capacity : 64;
        PracticeNote* notes = (PracticeNote*)realloc(list->notes, grown * sizeof *notes);
        if (notes) list->notes = notes;
        uint64_t* times = (uint64_t*)realloc(list->times, grown * sizeof *times);
        if (times) list->times = times;
        if (!notes || !times) {
            list->ok = false;
            return;
        }
        list->capacity = grown;
    }
    list->notes[list->count] = {(uint8_t)ScanCodeOf(e.keyData), (int8_t)e.octaveShift, 0};
    list->times[list->count++] = ms;
}

const PracticeChord& Current(const Practice* p) { return p->song->chords[p->chord]; }

// Wait mode holds the song's time just before the chord to press, so that
// what the song sounds with the chord comes with the player's keys.
int64_t HoldBefore(const PracticeChord& chord) { return (int64_t)chord.ms - 1; }

bool InChord(const Practice* p, uint32_t chord, uint32_t scan)
{
    const PracticeChord& c = p->song->chords[chord];
    for (uint32_t n = c.firstNote; n < c.firstNote + c.noteCount; n++)
        if (p->song->notes[n].scan == scan) return true;
    return false;
}

// Song time per real millisecond, as a ratio of percent.
int64_t SongSpan(const Practice* p, int64_t realMs) { return realMs * (int64_t)p->speedPercent / 100; }

// Real milliseconds per song span: how far off a press is for the player.
int64_t RealMs(const Practice* p, int64_t songSpan) { return songSpan * 100 / (int64_t)p->speedPercent; }

void Reanchor(Practice* p, int64_t songMs, uint64_t nowMs)
{
    p->songAnchor = songMs;
    p->realAnchor = nowMs;
}

// The chords from..to are to be played again.
void ClearJudgements(Practice* p, uint32_t from, uint32_t to)
{
    for (uint32_t c = from; c <= to && c < p->song->chordCount; c++) {
        const PracticeChord& chord = p->song->chords[c];
        for (uint32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; n++) p->judged[n] = NotJudged;
    }
}

// The current chord is over: the next one, or the passage again, or the end.
void MoveOn(Practice* p, PracticeChange* change, uint64_t nowMs)
{
    change->moved = true;
    memset(p->counted, 0, sizeof p->counted);
    p->chordHadWrongKey = false;
    if (p->looping && p->chord == p->loopEnd) {
        p->chord = p->loopStart;
        ClearJudgements(p, p->loopStart, p->loopEnd);
        int64_t start = p->mode == PracticeTempo ? (int64_t)Current(p).ms - SongSpan(p, TempoLeadInMs)
                                                 : HoldBefore(Current(p));
        Reanchor(p, start, nowMs);
        p->reportedMs = p->skippedToMs = start;
        change->wrapped = true;
        return;
    }
    p->chord++;
    if (p->chord == p->song->chordCount) {
        p->finished = true;
        change->finished = true;
    }
}

PracticeChange NoChange()
{
    PracticeChange change = {};
    change.judgedNote = UINT32_MAX;
    return change;
}

PracticeChange WaitKey(Practice* p, uint32_t scan, int32_t shift, uint64_t nowMs)
{
    PracticeChange change = NoChange();
    if (!InChord(p, p->chord, scan) || shift != Current(p).shift) {
        change.wrongKey = true;
        p->chordHadWrongKey = true;
        p->result.wrongKeys++;
        return change;
    }
    p->counted[scan] = true;
    const PracticeChord& chord = Current(p);
    for (uint32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; n++) {
        uint32_t s = p->song->notes[n].scan;
        if (!p->counted[s] || !p->down[s]) return change;
    }
    // The chord is complete: its notes count, and the song's time follows
    // the player to it (a stretch not yet heard is jumped over).
    for (uint32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; n++) p->judged[n] = JudgedPlayed;
    p->result.notes += chord.noteCount;
    if (!p->chordHadWrongKey) p->result.right += chord.noteCount;
    int64_t now = PracticeSongMs(p, nowMs);
    if (now < HoldBefore(chord)) {
        p->skippedToMs = HoldBefore(chord);
        now = HoldBefore(chord);
    }
    Reanchor(p, now, nowMs);
    MoveOn(p, &change, nowMs);
    return change;
}

PracticeChange TempoKey(Practice* p, uint32_t scan, int32_t shift, uint64_t nowMs)
{
    PracticeChange change = NoChange();
    int64_t now = PracticeSongMs(p, nowMs);
    // The nearest note of this key and shift not yet judged, within reach.
    uint32_t best = UINT32_MAX;
    int64_t bestDistance = 0;
    for (uint32_t c = p->chord; c < p->song->chordCount; c++) {
        const PracticeChord& chord = p->song->chords[c];
        if (RealMs(p, (int64_t)chord.ms - now) > GoodWindowMs) break;
        if (chord.shift != shift) continue;
        for (uint32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; n++) {
            if (p->song->notes[n].scan != scan || p->judged[n] != NotJudged) continue;
            int64_t distance = now > (int64_t)chord.ms ? now - (int64_t)chord.ms : (int64_t)chord.ms - now;
            if (best == UINT32_MAX || distance < bestDistance) best = n, bestDistance = distance;
        }
    }
    int64_t errorMs = RealMs(p, bestDistance);
    if (best == UINT32_MAX || errorMs > GoodWindowMs) {
        change.wrongKey = true;
        p->result.wrongKeys++;
        return change;
    }
    p->judged[best] = errorMs <= ExactWindowMs ? JudgedExact : JudgedGood;
    p->errorCounts[(uint32_t)errorMs]++;
    p->result.right++;
    change.judgedNote = best;
    change.judgement = p->judged[best];
    // Every note of the current chord judged: the next one is lit at once.
    while (!p->finished) {
        const PracticeChord& chord = Current(p);
        for (uint32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; n++)
            if (p->judged[n] == NotJudged) return change;
        p->result.notes += chord.noteCount;
        MoveOn(p, &change, nowMs);
        if (change.wrapped) break;
    }
    return change;
}

} // namespace

bool BuildPracticeSong(const RecordedEvent* events, uint32_t count, int32_t keyId, PracticeSong* song)
{
    memset(song, 0, sizeof *song);
    NoteList list = {nullptr, nullptr, 0, 0, true, events};
    ReplaySettings settings = {IsKeyId(keyId) ? keyId : DefaultKeyId, 0, 127, false};
    ReplayRecording(events, count, settings, false, TakePress, &list);
    PracticeChord* chords = list.ok && list.count ? (PracticeChord*)malloc(list.count * sizeof *chords) : nullptr;
    if (!list.ok || (list.count && !chords)) {
        free(list.notes);
        free(list.times);
        free(chords);
        return false;
    }
    // A chord: presses within the window of its first, in one shift, each
    // of another key.
    uint32_t chordCount = 0;
    for (uint32_t n = 0; n < list.count; n++) {
        PracticeChord* last = chordCount ? &chords[chordCount - 1] : nullptr;
        bool joins = last && list.times[n] - last->ms <= PracticeChordWindowMs && list.notes[n].shift == last->shift;
        for (uint32_t m = last ? last->firstNote : n; joins && m < n; m++)
            if (list.notes[m].scan == list.notes[n].scan) joins = false;
        if (joins) {
            last->noteCount++;
        } else {
            chords[chordCount++] = {list.times[n], n, 1, list.notes[n].shift};
        }
        list.notes[n].chord = chordCount - 1;
    }
    free(list.times);
    song->notes = list.notes;
    song->noteCount = list.count;
    song->chords = chords;
    song->chordCount = chordCount;
    return true;
}

void FreePracticeSong(PracticeSong* song)
{
    free(song->notes);
    free(song->chords);
    memset(song, 0, sizeof *song);
}

bool StartPractice(Practice* p, const PracticeSong* song, PracticeMode mode, uint32_t speedPercent, uint64_t nowMs)
{
    memset(p, 0, sizeof *p);
    if (song->noteCount == 0 || speedPercent == 0) return false;
    p->judged = (Judgement*)calloc(song->noteCount, sizeof *p->judged);
    if (!p->judged) return false;
    p->song = song;
    p->mode = mode;
    p->speedPercent = mode == PracticeTempo ? speedPercent : 100;
    // Wait mode starts at the beginning, or just before a first chord there.
    int64_t start = mode == PracticeTempo ? -SongSpan(p, TempoLeadInMs) : HoldBefore(song->chords[0]) < 0 ? -1 : 0;
    Reanchor(p, start, nowMs);
    p->reportedMs = p->skippedToMs = start < 0 ? start : -1;
    return true;
}

void StopPractice(Practice* p)
{
    free(p->judged);
    memset(p, 0, sizeof *p);
}

int64_t PracticeSongMs(const Practice* p, uint64_t nowMs)
{
    int64_t elapsed = nowMs > p->realAnchor ? (int64_t)(nowMs - p->realAnchor) : 0;
    int64_t ms = p->songAnchor + SongSpan(p, elapsed);
    if (p->mode == PracticeWait && !p->finished && ms > HoldBefore(Current(p)))
        ms = p->songAnchor > HoldBefore(Current(p)) ? p->songAnchor : HoldBefore(Current(p));
    return ms;
}

PracticeChange PracticeKey(Practice* p, uint32_t scan, int32_t shift, bool press, uint64_t nowMs)
{
    if (!p->song || scan >= 64) return NoChange();
    p->down[scan] = press;
    if (!press || p->finished) return NoChange();
    return p->mode == PracticeWait ? WaitKey(p, scan, shift, nowMs) : TempoKey(p, scan, shift, nowMs);
}

PracticeChange PracticeTick(Practice* p, uint64_t nowMs, PracticeStretch* stretch)
{
    PracticeChange change = NoChange();
    if (!p->song) return change;
    int64_t now = PracticeSongMs(p, nowMs);
    // Tempo mode: a chord whose notes were not all played in time is over.
    while (p->mode == PracticeTempo && !p->finished && RealMs(p, now - (int64_t)Current(p).ms) > GoodWindowMs) {
        const PracticeChord& chord = Current(p);
        for (uint32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; n++) {
            if (p->judged[n] != NotJudged) continue;
            p->judged[n] = JudgedMiss;
            change.judgedNote = n;
            change.judgement = JudgedMiss;
        }
        p->result.notes += chord.noteCount;
        MoveOn(p, &change, nowMs);
        if (change.wrapped) now = PracticeSongMs(p, nowMs);
    }
    stretch->from = p->reportedMs;
    stretch->skippedTo = p->skippedToMs > p->reportedMs ? p->skippedToMs : p->reportedMs;
    stretch->to = now > stretch->skippedTo ? now : stretch->skippedTo;
    p->reportedMs = p->skippedToMs = stretch->to;
    return change;
}

void SetLoopStart(Practice* p)
{
    if (!p->song || p->finished) return;
    if (!p->looping) p->loopEnd = p->song->chordCount - 1;
    p->looping = true;
    p->loopStart = p->chord;
    if (p->loopEnd < p->loopStart) p->loopEnd = p->loopStart;
}

void SetLoopEnd(Practice* p)
{
    if (!p->song || p->finished) return;
    if (!p->looping) p->loopStart = 0;
    p->looping = true;
    p->loopEnd = p->chord;
    if (p->loopStart > p->loopEnd) p->loopStart = p->loopEnd;
}

uint32_t NextChord(const Practice* p)
{
    if (!p->song || p->finished) return UINT32_MAX;
    if (p->looping && p->chord == p->loopEnd) return p->loopStart;
    return p->chord + 1 < p->song->chordCount ? p->chord + 1 : UINT32_MAX;
}

PracticeResult PracticeResultNow(const Practice* p)
{
    PracticeResult r = p->result;
    uint32_t judged = 0;
    for (uint32_t e = 0; e <= GoodWindowMs; e++) judged += p->errorCounts[e];
    r.hasMedian = judged > 0;
    for (uint32_t e = 0, seen = 0; e <= GoodWindowMs && r.hasMedian; e++) {
        seen += p->errorCounts[e];
        if (2 * seen >= judged) {
            r.medianErrorMs = e;
            break;
        }
    }
    return r;
}

bool BetterResult(const PracticeResult& a, const PracticeResult& b)
{
    if (a.notes == 0 || b.notes == 0) return a.notes > b.notes;
    uint64_t shareA = (uint64_t)a.right * b.notes, shareB = (uint64_t)b.right * a.notes;
    if (shareA != shareB) return shareA > shareB;
    if (a.wrongKeys != b.wrongKeys) return a.wrongKeys < b.wrongKeys;
    return a.hasMedian && (!b.hasMedian || a.medianErrorMs < b.medianErrorMs);
}
