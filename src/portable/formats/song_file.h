// A song from any of the three files: a recording file (.qfi), a Standard
// MIDI File or a jianpu score, read into the events of a recording with its
// musical key, as qftool and the program both read them. Each file's kind
// is told by what it holds ("MThd" MIDI, "RIFF" a recording), else by its
// name (.mid or .midi MIDI, .txt a score), else it is taken for a
// recording. What goes wrong comes back as one line naming the file, never
// printed here. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portable/formats/recording_file.h"

enum SongKind { SongFromRecording, SongFromMidi, SongFromScore };

// The kinds a read takes, as bits 1 << SongKind: all three, the two that
// qftool's song commands take, or one alone (then every file is read as it).
constexpr unsigned AnySongKind = 7;
constexpr unsigned RecordingOrMidi = 3;
constexpr unsigned MidiOnly = 1u << SongFromMidi;
constexpr unsigned ScoreOnly = 1u << SongFromScore;

// How a MIDI file becomes a recording (as qftool import makes one).
struct SongOptions {
    uint32_t track; // AllTracks (0), 1..the file's track count, or BusiestTrack
    bool autoKey;   // the key from the song (the default)
    int32_t keyId;  // else this key
    bool given;     // a track or a key was asked for: a file that is no MIDI file is refused
};

// The track with the most notes, the chooser's choice where there is one.
constexpr uint32_t BusiestTrack = UINT32_MAX;

// One track of a MIDI file, as a chooser lists it.
constexpr size_t SongTrackNameSize = 128;
struct SongTrack {
    char name[SongTrackNameSize]; // its first track name in UTF-8 (read as a score's text is), "" none
    uint32_t noteCount;           // its note starts off the percussion channel
    int32_t program;              // its first program change there, -1 none
    int32_t channel;              // 0..15: of its first such note, else of that program change; -1 none
};

// Asked when BusiestTrack is wanted and two or more tracks have notes: the
// track to take (1..count), or 0 to take none. suggested is the busiest.
using TrackChooser = uint32_t (*)(void* context, const SongTrack* tracks, uint32_t count, uint32_t suggested);

// What a read gives. FreeSongFile frees what it holds, whatever the read gave.
struct SongFile {
    RecordingFileData data;  // the song, on success (events from malloc)
    SongKind kind;
    uint64_t fileSize;       // the bytes of the file read
    uint32_t track;          // MIDI: the track taken (1..trackCount) or AllTracks; else 0
    int32_t program;         // MIDI, one track taken: its first program change; else -1
    SongTrack* tracks;       // MIDI: trackCount records; else nullptr
    uint32_t trackCount;
    const char* fileMessage; // a message of the recording file reader (GBK, one "%s" for the file's name)
    char* message;           // or one line in UTF-8 naming the file: why the read failed, or a warning
    bool placed;             // the message begins "NAME:LINE:COLUMN: " (a score's place)
    bool cancelled;          // the chooser took no track: no message
};

// Reads the file at path (UTF-8) of one of the kinds in kinds; name is the
// file's name as the messages show it. A file that cannot be read, and
// every recording file, get the recording file reader's own message. True
// with song->data filled (and a warning in song->message where notes of a
// MIDI file were left out); false with a message, or cancelled.
bool ReadSongFile(const char* path, const char* name, const SongOptions& options, unsigned kinds,
                  TrackChooser choose, void* context, SongFile* song);

// The same for a file image of a known kind.
bool ReadSongImage(const uint8_t* bytes, size_t size, const char* name, SongKind kind, const SongOptions& options,
                   TrackChooser choose, void* context, SongFile* song);

// The kind of a file at path that begins with bytes, among kinds.
SongKind SongKindOf(const char* path, const uint8_t* bytes, size_t size, unsigned kinds);

void FreeSongFile(SongFile* song);

// Reads a whole file into memory (from malloc); nullptr when it cannot.
uint8_t* ReadWholePathFile(const char* path, size_t* size);
