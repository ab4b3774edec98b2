// Fuzz target: the recording file reader on any bytes, and the MIDI export of
// whatever it accepts (records that a file may carry but the program never
// writes: any message, any scan code, any key).
#include <cstdlib>

#include "portable/formats/midi_export.h"
#include "portable/formats/recording_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RecordingFileData file = {nullptr, 0, 0, false};
    if (ParseRecordingFile(data, size, &file) != nullptr) return 0;
    int32_t keys[2] = {(int32_t)file.keyId, 1297};
    for (int32_t keyId : keys) {
        size_t midiSize = 0;
        uint8_t* midi = BuildMidiFile(file.events, file.eventCount, keyId, (int32_t)(file.keyId & 0xFF),
                                      file.autoBass ? 1 : 0, &midiSize);
        free(midi);
    }
    free(file.events);
    return 0;
}
