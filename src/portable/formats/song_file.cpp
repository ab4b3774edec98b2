#include "portable/formats/song_file.h"

#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/formats/file_platform.h"
#include "portable/formats/jianpu.h"
#include "portable/formats/midi_import.h"
#include "portable/formats/midi_keys.h"
#include "portable/formats/score_text.h"

namespace {

// Puts a message (printf's format) in song->message; false, for a read that failed.
bool SetMessage(SongFile* song, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    free(song->message);
    song->message = n >= 0 ? (char*)malloc((size_t)n + 1) : nullptr;
    if (song->message) {
        va_start(args, format);
        vsnprintf(song->message, (size_t)n + 1, format, args);
        va_end(args);
    }
    return false;
}

// True when the name ends in "." and one of the extensions (lower case, at
// most four letters), in any case.
bool NamedAs(const char* path, const char* first, const char* second)
{
    const char* dot = strrchr(path, '.');
    if (!dot) return false;
    char extension[6] = {0};
    for (int i = 0; i < 5 && dot[i + 1]; i++) extension[i] = (char)tolower((unsigned char)dot[i + 1]);
    return strcmp(extension, first) == 0 || (second && strcmp(extension, second) == 0);
}

// The tracks as a chooser lists them; the name read as a score's text is
// (UTF-8, else GBK), control characters and stray bytes as \xNN.
void ListTracks(const uint8_t* bytes, const MidiSong& midi, SongTrack* tracks)
{
    for (uint32_t i = 0; i < midi.trackCount; i++) {
        const MidiTrackFacts& facts = midi.tracks[i];
        ScoreText text = ReadScoreText(bytes + facts.nameOffset, facts.nameLength);
        ShowScoreText(text, 0, text.size, tracks[i].name, SongTrackNameSize);
        tracks[i].noteCount = facts.noteCount;
        tracks[i].program = facts.program;
        tracks[i].channel = facts.channel;
    }
}

// The track with the most notes (the first of equals), AllTracks when none has any.
uint32_t BusiestOf(const SongTrack* tracks, uint32_t count, uint32_t* withNotes)
{
    uint32_t busiest = AllTracks, most = 0;
    *withNotes = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (tracks[i].noteCount) ++*withNotes;
        if (tracks[i].noteCount > most) busiest = i + 1, most = tracks[i].noteCount;
    }
    return busiest;
}

bool ReadMidiImage(const uint8_t* bytes, size_t size, const char* name, const SongOptions& options,
                   TrackChooser choose, void* context, SongFile* song)
{
    MidiSong midi;
    char problem[200];
    if (!ParseMidiFile(bytes, size, &midi, problem, sizeof problem)) return SetMessage(song, "%s: %s", name, problem);
    song->tracks = (SongTrack*)calloc(midi.trackCount, sizeof *song->tracks);
    if (!song->tracks) {
        FreeMidiSong(&midi);
        return SetMessage(song, "%s: out of memory", name);
    }
    song->trackCount = midi.trackCount;
    ListTracks(bytes, midi, song->tracks);
    uint32_t track = options.track, withNotes;
    if (track == BusiestTrack) {
        track = BusiestOf(song->tracks, midi.trackCount, &withNotes);
        if (choose && withNotes >= 2) {
            track = choose(context, song->tracks, midi.trackCount, track);
            song->cancelled = track == AllTracks || track > midi.trackCount;
            if (song->cancelled) {
                FreeMidiSong(&midi);
                return false;
            }
        }
    }
    if (track != AllTracks && track > midi.trackCount) {
        FreeMidiSong(&midi);
        return SetMessage(song, "%s has %" PRIu32 " tracks: --track takes 1 to %" PRIu32, name, midi.trackCount,
                          midi.trackCount);
    }
    int32_t keyId = options.autoKey ? ChooseSongKey(midi, track) : options.keyId;
    SongKeys keys;
    const char* failed = SongKeyEvents(midi, track, keyId, &keys);
    FreeMidiSong(&midi);
    if (failed) return SetMessage(song, "%s: %s", name, failed);
    if (keys.leftOut == 1) SetMessage(song, "%s: 1 note left out: no key reaches it in %s", name, KeyMarkName(keyId));
    if (keys.leftOut > 1)
        SetMessage(song, "%s: %" PRIu32 " notes left out: no key reaches them in %s", name, keys.leftOut,
                   KeyMarkName(keyId));
    song->data = {keys.events, keys.count, (uint32_t)keyId, false};
    song->track = track;
    song->program = track != AllTracks ? song->tracks[track - 1].program : -1;
    return true;
}

bool ReadScoreImage(const uint8_t* bytes, size_t size, const char* name, SongFile* song)
{
    Score score;
    ScoreError error;
    RecordedEvent* events = nullptr;
    uint32_t count = 0;
    bool ok = ParseScore(bytes, size, &score, &error);
    if (ok) {
        ok = ScoreEvents(score, &events, &count, &error);
        FreeScore(&score);
    }
    if (!ok) {
        song->placed = true;
        return SetMessage(song, "%s:%" PRIu32 ":%" PRIu32 ": %s", name, error.line, error.column, error.text);
    }
    song->data = {events, count, (uint32_t)score.keyId, false};
    return true;
}

} // namespace

SongKind SongKindOf(const char* path, const uint8_t* bytes, size_t size, unsigned kinds)
{
    for (int only = SongFromRecording; only <= SongFromScore; only++)
        if (kinds == 1u << only) return (SongKind)only;
    bool midi = (kinds & MidiOnly) != 0, scores = (kinds & ScoreOnly) != 0;
    if (midi && LooksLikeMidiFile(bytes, size)) return SongFromMidi;
    if (size >= 4 && memcmp(bytes, "RIFF", 4) == 0) return SongFromRecording;
    if (midi && NamedAs(path, "mid", "midi")) return SongFromMidi;
    if (scores && NamedAs(path, "txt", nullptr)) return SongFromScore;
    return SongFromRecording;
}

bool ReadSongImage(const uint8_t* bytes, size_t size, const char* name, SongKind kind, const SongOptions& options,
                   TrackChooser choose, void* context, SongFile* song)
{
    *song = {{nullptr, 0, 0, false}, kind, size, 0, -1, nullptr, 0, nullptr, nullptr, false, false};
    if (kind == SongFromMidi) return ReadMidiImage(bytes, size, name, options, choose, context, song);
    if (options.given) return SetMessage(song, "%s is no MIDI file: --track and --key are for MIDI files", name);
    if (kind == SongFromScore) return ReadScoreImage(bytes, size, name, song);
    song->fileMessage = ParseRecordingFile(bytes, size, &song->data);
    return !song->fileMessage;
}

bool ReadSongFile(const char* path, const char* name, const SongOptions& options, unsigned kinds,
                  TrackChooser choose, void* context, SongFile* song)
{
    size_t size = 0;
    uint8_t* bytes = ReadWholePathFile(path, &size);
    bool ok;
    if (bytes) {
        ok = ReadSongImage(bytes, size, name, SongKindOf(path, bytes, size, kinds), options, choose, context, song);
    } else {
        // A file that cannot be read gets the recording file reader's messages.
        *song = {{nullptr, 0, 0, false}, SongFromRecording, 0, 0, -1, nullptr, 0, nullptr, nullptr, false, false};
        song->fileMessage = ReadRecordingFile(path, &song->data);
        ok = !song->fileMessage;
    }
    free(bytes);
    return ok;
}

void FreeSongFile(SongFile* song)
{
    free(song->data.events);
    free(song->tracks);
    free(song->message);
    song->data.events = nullptr;
    song->tracks = nullptr;
    song->message = nullptr;
}

uint8_t* ReadWholePathFile(const char* path, size_t* size)
{
    FILE* file = OpenPathFile(path, "rb");
    if (!file) return nullptr;
    uint8_t* bytes = nullptr;
    size_t used = 0, capacity = 0;
    bool ok = true;
    for (;;) {
        if (used == capacity) {
            size_t grown = capacity ? capacity * 2 : 4096;
            uint8_t* more = grown > capacity ? (uint8_t*)realloc(bytes, grown) : nullptr;
            if (!more) {
                ok = false;
                break;
            }
            bytes = more;
            capacity = grown;
        }
        size_t got = fread(bytes + used, 1, capacity - used, file);
        used += got;
        if (got == 0) {
            ok = !ferror(file);
            break;
        }
    }
    fclose(file);
    if (!ok) {
        free(bytes);
        return nullptr;
    }
    *size = used;
    return bytes;
}
