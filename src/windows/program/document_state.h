// The program's one document: the recording's file name, the last MIDI
// export's name, whether the recording has unsaved changes, the file the
// song was opened from, and the recording hook. Portable.
#pragma once

#include <cstdint>

#include "portable/formats/song_file.h"

// The names are UTF-8. A path holds fewer than FilePathUnits UTF-16 units,
// as the system counts them; each unit takes at most three UTF-8 bytes.
constexpr int FilePathUnits = 260;
constexpr int FilePathSize = 3 * FilePathUnits;

struct DocumentState {
    char filePath[FilePathSize] = {};  // full path of the recording file
    char fileTitle[FilePathSize] = {}; // its name without the folder; empty: untitled
    char midiPath[FilePathSize] = {};  // full path of the last MIDI export
    char midiTitle[FilePathSize] = {};
    bool modified = false;             // changes not saved
    // The file the recording was opened from (a recording, a MIDI file or a
    // jianpu score); songPath empty for a recording played here.
    char songPath[FilePathSize] = {};
    SongKind songKind = SongFromRecording;
    uint32_t songTrack = 0;            // the MIDI track taken (1..), AllTracks (0) for all or another kind
    uint64_t songFileSize = 0;         // the file's size in bytes when it was read
};

extern DocumentState gDocument;

// The recording hook the program gives the player: while recording, each
// played key event is appended, stamped with the clock, and the first one
// marks the document modified.
void RecordPlayedKey(int32_t message, uint32_t keyData, int32_t octaveShift);
