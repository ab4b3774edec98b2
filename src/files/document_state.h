// The program's one document: the recording's file name, the last MIDI
// export's name, and whether the recording has unsaved changes. Portable.
#pragma once

constexpr int FilePathSize = 260;

struct DocumentState {
    char filePath[FilePathSize] = {};  // full path of the recording file
    char fileTitle[FilePathSize] = {}; // its name without the folder; empty: untitled
    char midiPath[FilePathSize] = {};  // full path of the last MIDI export
    char midiTitle[FilePathSize] = {};
    bool modified = false;             // changes not saved
};

extern DocumentState gDocument;
