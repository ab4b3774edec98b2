#include "portable/formats/midi_keys.h"

#include <cstdlib>

#include "portable/keys/keymap.h"
#include "portable/formats/recording_file.h"
#include "portable/formats/jianpu.h"

namespace {

constexpr int NoteCount = 128;

// The key and shift that play each MIDI note in one musical key.
struct NoteKeys {
    bool reached[NoteCount];
    uint32_t scan[NoteCount];
    int32_t shift[NoteCount];
};

void FindNoteKeys(int32_t keyId, NoteKeys* keys)
{
    for (int32_t note = 0; note < NoteCount; note++)
        keys->reached[note] = ChooseKey(note, keyId, &keys->scan[note], &keys->shift[note]);
}

bool Counts(const MidiNoteEvent& e, uint32_t track)
{
    return e.channel != PercussionChannel && (track == AllTracks || (uint32_t)e.track + 1 == track);
}

// The records being written, and the time now.
struct KeyWriter {
    RecordedEvent* events;
    uint32_t count;
    uint64_t lastMs, nowMs;
    const char* problem;
};

// Appends a record at nowMs; false when the wait does not fit a delay.
bool Put(KeyWriter* w, int32_t message, uint32_t scan, int32_t shift)
{
    if (w->nowMs - w->lastMs > UINT32_MAX) {
        w->problem = "a wait between two notes is longer than a recording can hold (49 days)";
        return false;
    }
    uint32_t keyData = scan << 16 | 1 | (message == KeyReleaseMessage ? 0xC0000000u : 0);
    w->events[w->count++] = {(uint32_t)(w->nowMs - w->lastMs), message, keyData, shift};
    w->lastMs = w->nowMs;
    return true;
}

} // namespace

int32_t ChooseSongKey(const MidiSong& song, uint32_t track)
{
    if (song.hasKeySignature) return KeyOfPitchClass(7 * song.sharps, song.minor); // each sharp a fifth up
    uint64_t starts[NoteCount] = {};
    for (uint32_t i = 0; i < song.count; i++)
        if (Counts(song.events[i], track) && song.events[i].velocity) starts[song.events[i].note]++;
    int32_t best = DefaultKeyId;
    uint64_t bestCount = 0;
    for (const KeyInfo& key : Keys) {
        NoteKeys keys;
        FindNoteKeys(key.keyId, &keys);
        uint64_t unshifted = 0;
        for (int note = 0; note < NoteCount; note++)
            if (keys.reached[note] && keys.shift[note] == 0) unshifted += starts[note];
        if (unshifted > bestCount) best = key.keyId, bestCount = unshifted;
    }
    return best;
}

const char* SongKeyEvents(const MidiSong& song, uint32_t track, int32_t keyId, SongKeys* out)
{
    if (!IsKeyId(keyId)) return "no such musical key";
    NoteKeys keys;
    FindNoteKeys(keyId, &keys);
    // Each start gives at most a release and a press, each end a release.
    KeyWriter w = {(RecordedEvent*)malloc((size_t)song.count * 2 * sizeof(RecordedEvent) + 1), 0, 0, 0, nullptr};
    if (!w.events) return "out of memory";
    uint32_t holder[KeyMapSize] = {}; // the note holding each key down, as channel x 128 + note + 1
    int32_t heldShift[KeyMapSize] = {};
    uint32_t leftOut = 0;
    bool drums = false; // the percussion channel has notes where the others have none
    for (uint32_t i = 0; i < song.count && !w.problem; i++) {
        const MidiNoteEvent& e = song.events[i];
        if (!Counts(e, track)) {
            drums = drums || (e.velocity && e.channel == PercussionChannel &&
                              (track == AllTracks || (uint32_t)e.track + 1 == track));
            continue;
        }
        w.nowMs = (e.timeUs + 500) / 1000;
        if (!keys.reached[e.note]) {
            if (e.velocity) leftOut++;
            continue;
        }
        uint32_t scan = keys.scan[e.note], id = (uint32_t)e.channel * NoteCount + e.note + 1;
        if (e.velocity) {
            if (holder[scan] && !Put(&w, KeyReleaseMessage, scan, heldShift[scan])) break;
            if (!Put(&w, KeyPressMessage, scan, keys.shift[e.note])) break;
            holder[scan] = id;
            heldShift[scan] = keys.shift[e.note];
        } else if (holder[scan] == id) {
            if (!Put(&w, KeyReleaseMessage, scan, heldShift[scan])) break;
            holder[scan] = 0;
        }
    }
    for (uint32_t scan = 0; scan < KeyMapSize && !w.problem; scan++)
        if (holder[scan]) Put(&w, KeyReleaseMessage, scan, heldShift[scan]);
    if (!w.problem && w.count == 0)
        w.problem = leftOut  ? "no note of the song is within reach of the keys in this musical key"
                    : drums ? "no notes to play (the percussion channel 10 is left out)"
                    : track == AllTracks ? "no notes to play: the file has none"
                                         : "no notes to play: the track has none";
    if (!w.problem && w.count > MaxRecordingFileEvents) w.problem = "the song is too long for a recording";
    if (w.problem) {
        free(w.events);
        return w.problem;
    }
    *out = {w.events, w.count, leftOut};
    return nullptr;
}
