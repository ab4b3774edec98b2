#include "qftool/song_file.h"
#include "qftool/tool_output.h"

#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "portable/formats/midi_import.h"
#include "qftool/console.h"
#include "portable/formats/jianpu.h"
#include "portable/formats/midi_keys.h"

namespace {

bool NamedAsMidi(const char* path)
{
    const char* dot = strrchr(path, '.');
    if (!dot) return false;
    char extension[6] = {0};
    for (int i = 0; i < 5 && dot[i + 1]; i++) extension[i] = (char)tolower((unsigned char)dot[i + 1]);
    return strcmp(extension, "mid") == 0 || strcmp(extension, "midi") == 0;
}

bool ReadMidiSong(const char* path, const uint8_t* bytes, size_t size, const SongOptions& options,
                  RecordingFileData* data)
{
    MidiSong song;
    char message[200];
    if (!ParseMidiFile(bytes, size, &song, message, sizeof message)) {
        ToolMessage("qftool: %s: %s\n", path, message);
        return false;
    }
    if (options.track != AllTracks && options.track > song.trackCount) {
        ToolMessage("qftool: %s has %" PRIu32 " tracks: --track takes 1 to %" PRIu32 "\n", path, song.trackCount,
                    song.trackCount);
        FreeMidiSong(&song);
        return false;
    }
    int32_t keyId = options.autoKey ? ChooseSongKey(song, options.track) : options.keyId;
    SongKeys keys;
    const char* problem = SongKeyEvents(song, options.track, keyId, &keys);
    FreeMidiSong(&song);
    if (problem) {
        ToolMessage("qftool: %s: %s\n", path, problem);
        return false;
    }
    if (keys.leftOut == 1) ToolMessage("qftool: %s: 1 note left out: no key reaches it in %s\n", path, KeyMarkName(keyId));
    if (keys.leftOut > 1)
        ToolMessage("qftool: %s: %" PRIu32 " notes left out: no key reaches them in %s\n", path, keys.leftOut,
                    KeyMarkName(keyId));
    *data = {keys.events, keys.count, (uint32_t)keyId, false};
    return true;
}

} // namespace

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

bool ReadSong(const char* path, const SongOptions& options, bool midiOnly, RecordingFileData* data)
{
    size_t size = 0;
    uint8_t* bytes = ReadWholeFile(path, &size);
    // By what the file holds: "MThd" or "RIFF"; only a file that holds
    // neither is taken by its name.
    bool riff = bytes && size >= 4 && memcmp(bytes, "RIFF", 4) == 0;
    bool midi = bytes && (LooksLikeMidiFile(bytes, size) || midiOnly || (!riff && NamedAsMidi(path)));
    bool ok;
    if (midi) {
        ok = ReadMidiSong(path, bytes, size, options, data);
    } else if (options.given && bytes) {
        ToolMessage("qftool: %s is no MIDI file: --track and --key are for MIDI files\n", path);
        ok = false;
    } else {
        // A recording file, or a file that cannot be read: the recording
        // file reader's own messages.
        const char* message = ReadRecordingFile(path, data);
        if (message) ShowFileMessage(message, path);
        ok = !message;
    }
    free(bytes);
    return ok;
}
