#include "qftool/song_file.h"
#include "qftool/tool_output.h"

#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "qftool/console.h"
#include "portable/formats/jianpu.h"
#include "portable/formats/midi_keys.h"

bool ParseSongArguments(int argc, char** argv, int positionalCount, const char** positional, SongOptions* options,
                        const char* usage)
{
    *options = {AllTracks, true, DefaultKeyId, false};
    bool hasTrack = false, hasKey = false;
    int count = 0;
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        bool track = strcmp(arg, "--track") == 0, key = strcmp(arg, "--key") == 0;
        if (!track && !key) {
            if ((arg[0] == '-' && arg[1] == '-') || count == positionalCount) {
                ToolMessage("qftool: unexpected argument %s\n", arg);
                WriteConsoleText(stderr, usage);
                return false;
            }
            positional[count++] = arg;
            continue;
        }
        const char* value = i + 1 < argc ? argv[++i] : nullptr;
        char* end = nullptr;
        long long number = value ? strtoll(value, &end, 10) : 0;
        bool whole = value && *value && !isspace((unsigned char)*value) && *end == 0;
        bool ok;
        if (track) {
            ok = !hasTrack && whole && number >= 1 && number <= 65535;
            options->track = (uint32_t)number;
            hasTrack = true;
        } else {
            options->autoKey = value && strcmp(value, "auto") == 0;
            ok = !hasKey && (options->autoKey || (whole && IsKeyId((int32_t)number) && number == (int32_t)number) ||
                             (value && KeyOfMark(value, strlen(value), &options->keyId)));
            if (whole) options->keyId = (int32_t)number;
            hasKey = true;
        }
        if (!ok) {
            ToolMessage("qftool: bad or repeated option %s %s\n", arg, value ? value : "");
            return false;
        }
        options->given = true;
    }
    if (count != positionalCount) {
        ToolMessage("%s", usage);
        return false;
    }
    return true;
}

void ShowSongMessage(const SongFile& song, const char* path)
{
    if (song.fileMessage) ShowFileMessage(song.fileMessage, path);
    else if (song.message) ToolMessage(song.placed ? "%s\n" : "qftool: %s\n", song.message);
}

bool ReadSong(const char* path, const SongOptions& options, bool midiOnly, RecordingFileData* data)
{
    SongFile song;
    bool ok = ReadSongFile(path, path, options, midiOnly ? MidiOnly : RecordingOrMidi, nullptr, nullptr, &song);
    if (!ok && !song.fileMessage && !song.message) ToolMessage("qftool: out of memory\n");
    ShowSongMessage(song, path);
    if (ok) {
        *data = song.data;
        song.data.events = nullptr;
    }
    FreeSongFile(&song);
    return ok;
}
