#include "qftool/song_commands.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qftool/console.h"
#include "portable/formats/jianpu.h"
#include "qftool/song_file.h"
#include "qftool/tool_output.h"

namespace {

// The one song that info and keys take, with its import options.
bool ReadSongArgument(int argc, char** argv, const char* usage, RecordingFileData* data)
{
    const char* path;
    SongOptions options;
    return ParseSongArguments(argc, argv, 1, &path, &options, usage) && ReadSong(path, options, false, data);
}

} // namespace

int SongInfoCommand(int argc, char** argv)
{
    RecordingFileData data;
    if (!ReadSongArgument(argc, argv, "usage: qftool info FILE [--track N] [--key K|auto]\n", &data)) return 1;
    printf("events %" PRIu32 "\nkey %" PRIu32 "\nautobass %d\n", data.eventCount, data.keyId, data.autoBass ? 1 : 0);
    for (uint32_t i = 0; i < data.eventCount; i++) {
        const RecordedEvent& e = data.events[i];
        printf("%" PRIu32 " %" PRId32 " %08" PRIx32 " %" PRId32 "\n", e.delay, e.message, e.keyData, e.octaveShift);
    }
    free(data.events);
    return fflush(stdout) == 0 ? 0 : 1;
}

int SongKeysCommand(int argc, char** argv)
{
    RecordingFileData data;
    if (!ReadSongArgument(argc, argv, "usage: qftool keys FILE [--track N] [--key K|auto]\n", &data)) return 1;
    WriteKeyScore(stdout, data.events, data.eventCount, (int32_t)data.keyId);
    free(data.events);
    return fflush(stdout) == 0 ? 0 : 1;
}

int ImportCommand(int argc, char** argv)
{
    const char* paths[2];
    SongOptions options;
    RecordingFileData data;
    if (!ParseSongArguments(argc, argv, 2, paths, &options,
                            "usage: qftool import SONG.mid OUT.qfi [--track N] [--key K|auto]\n"))
        return 1;
    char* output = PrepareOutput(paths[1], paths, 1);
    if (!output) return 1;
    if (!ReadSong(paths[0], options, true, &data)) {
        free(output);
        return 1;
    }
    // Written only now that the whole song has converted.
    const char* message = WriteRecordingFile(data.events, data.eventCount, (int32_t)data.keyId, 0, output);
    free(data.events);
    free(output);
    if (message) {
        ShowFileMessage(message, paths[1]);
        return 1;
    }
    return 0;
}
