// qftool: the recording file and the MIDI export on the command line, with
// the program's own reader, writer and exporter, songs in jianpu, and MIDI
// files in.
//
//   qftool info FILE.qfi|SONG.mid [--track N] [--key K|auto]
//   qftool export FILE.qfi OUT.mid [--key K] [--instrument P] [--bass 0|1]
//   qftool write OUT.qfi --key K [--bass 0|1]     (event lines on standard input)
//   qftool jianpu SCORE.txt OUT.qfi               (a jianpu score as a recording)
//   qftool import SONG.mid OUT.qfi [--track N] [--key K|auto]   (a MIDI file as a recording)
//   qftool keys FILE.qfi|SONG.mid [--track N] [--key K|auto]    (the keys to press, line by line)
//   qftool render FILE.qfi|SONG.mid OUT.wav [--key K] [--instrument P] [--bass 0|1] [--sf2 FILE]
//                 [--rate HZ] [--track N]                     (through the program's own synthesizer)
//
// File names are UTF-8, and so is every message, on every platform.
// Exit status 0 on success, 1 otherwise.
#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/formats/midi_export.h"
#include "portable/formats/recording_file.h"
#include "qftool/console.h"
#include "qftool/tool_output.h"
#include "portable/formats/jianpu.h"
#include "portable/formats/midi_keys.h"
#include "portable/keys/keymap.h"
#include "portable/formats/song_file.h"
#include "qftool/render.h"
#include "qftool/song_commands.h"

namespace {

constexpr const char* UsageText =
    "usage: qftool info FILE.qfi|SONG.mid [--track N] [--key K|auto]\n"
    "       qftool export FILE.qfi OUT.mid [--key K] [--instrument P] [--bass 0|1]\n"
    "       qftool write OUT.qfi --key K [--bass 0|1] < events\n"
    "       qftool jianpu SCORE.txt OUT.qfi\n"
    "       qftool import SONG.mid OUT.qfi [--track N] [--key K|auto]\n"
    "       qftool keys FILE.qfi|SONG.mid [--track N] [--key K|auto]\n"
    "       qftool render FILE.qfi|SONG.mid OUT.wav [--key K] [--instrument P] [--bass 0|1] [--sf2 FILE]\n"
    "                     [--rate HZ] [--track N]\n"
    "event lines: <delay> <message> <keyData, 8 hex digits> <octaveShift>\n";

int Usage()
{
    WriteConsoleText(stderr, UsageText);
    return 1;
}

// 1 to 8 hex digits, nothing else.
bool ParseHexWord(const char* text, uint32_t* value)
{
    size_t n = strlen(text);
    if (n == 0 || n > 8) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < n; i++) {
        int c = (unsigned char)text[i];
        if (!isxdigit(c)) return false;
        v = v << 4 | (uint32_t)(isdigit(c) ? c - '0' : tolower(c) - 'a' + 10);
    }
    *value = v;
    return true;
}

// The command line after the command word: positional arguments and the
// options --key, --instrument and --bass, each with its value.
struct Arguments {
    const char* positional[2];
    int positionalCount;
    bool hasKey, hasInstrument, hasBass;
    long long key, instrument, bass;
};

bool ParseArguments(int argc, char** argv, int maxPositional, bool allowInstrument, Arguments* a)
{
    memset(a, 0, sizeof *a);
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        if (strcmp(arg, "--key") == 0 || strcmp(arg, "--instrument") == 0 || strcmp(arg, "--bass") == 0) {
            if (i + 1 >= argc) {
                ToolMessage("qftool: %s needs a value\n", arg);
                return false;
            }
            const char* value = argv[++i];
            bool ok;
            if (strcmp(arg, "--key") == 0) {
                ok = !a->hasKey && ParseNumber(value, INT32_MIN, UINT32_MAX, &a->key); // as stored, or signed
                a->hasKey = true;
            } else if (strcmp(arg, "--instrument") == 0) {
                ok = allowInstrument && !a->hasInstrument && ParseNumber(value, 0, 127, &a->instrument);
                a->hasInstrument = true;
            } else {
                ok = !a->hasBass && ParseNumber(value, 0, 1, &a->bass);
                a->hasBass = true;
            }
            if (!ok) {
                ToolMessage("qftool: bad or repeated option %s %s\n", arg, value);
                return false;
            }
        } else if (arg[0] == '-' && arg[1] == '-') {
            ToolMessage("qftool: unknown option %s\n", arg);
            return false;
        } else {
            if (a->positionalCount >= maxPositional) {
                ToolMessage("qftool: unexpected argument %s\n", arg);
                return false;
            }
            a->positional[a->positionalCount++] = arg;
        }
    }
    if (a->positionalCount != maxPositional) {
        Usage();
        return false;
    }
    return true;
}

// Reads a recording file; on failure shows the reader's message and returns false.
bool ReadRecordingOrToolMessage(const char* path, RecordingFileData* data)
{
    const char* message = ReadRecordingFile(path, data);
    if (message) ShowFileMessage(message, path);
    return !message;
}

int ExportCommand(int argc, char** argv)
{
    Arguments a;
    if (!ParseArguments(argc, argv, 2, true, &a)) return 1;
    char* output = PrepareOutput(a.positional[1], a.positional, 1);
    if (!output) return 1;
    RecordingFileData data;
    if (!ReadRecordingOrToolMessage(a.positional[0], &data)) {
        free(output);
        return 1;
    }
    int32_t keyId = a.hasKey ? (int32_t)a.key : (int32_t)data.keyId;
    int32_t instrument = a.hasInstrument ? (int32_t)a.instrument : 0;
    int autoBass = a.hasBass ? (int)a.bass : (data.autoBass ? 1 : 0);
    int written = ExportMidiFile(data.events, data.eventCount, keyId, instrument, autoBass, output);
    free(data.events);
    free(output);
    if (!written) {
        ToolMessage("qftool: cannot export %s to %s\n", a.positional[0], a.positional[1]);
        return 1;
    }
    return 0;
}

// Reads one line of standard input without its line end; false at the end
// of input. A line too long for the buffer is marked by *tooLong.
bool ReadLine(char* line, size_t size, bool* tooLong)
{
    size_t n = 0;
    int c;
    *tooLong = false;
    while ((c = getchar()) != EOF && c != '\n') {
        if (n + 1 < size)
            line[n++] = (char)c;
        else
            *tooLong = true;
    }
    if (c == EOF && n == 0 && !*tooLong) return false;
    if (n > 0 && line[n - 1] == '\r') n--;
    line[n] = 0;
    return true;
}

// Splits a line into at most max words, cutting it in place.
int SplitWords(char* line, char** words, int max)
{
    int count = 0;
    char* p = line;
    for (;;) {
        while (*p && isspace((unsigned char)*p)) p++;
        if (!*p) return count;
        if (count == max) return max + 1;
        words[count++] = p;
        while (*p && !isspace((unsigned char)*p)) p++;
        if (*p) *p++ = 0;
    }
}

bool ParseEventLine(char** words, RecordedEvent* e)
{
    long long delay, message, shift;
    uint32_t keyData;
    if (!ParseNumber(words[0], 0, UINT32_MAX, &delay) || !ParseNumber(words[1], INT32_MIN, INT32_MAX, &message) ||
        !ParseHexWord(words[2], &keyData) || !ParseNumber(words[3], INT32_MIN, INT32_MAX, &shift))
        return false;
    e->delay = (uint32_t)delay;
    e->message = (int32_t)message;
    e->keyData = keyData;
    e->octaveShift = (int32_t)shift;
    return true;
}

int WriteCommand(int argc, char** argv)
{
    Arguments a;
    if (!ParseArguments(argc, argv, 1, false, &a)) return 1;
    if (!a.hasKey) return Usage();
    static const char* const StandardInput[1] = {"-"};
    char* output = PrepareOutput(a.positional[0], StandardInput, 1);
    if (!output) return 1;

    RecordedEvent* events = nullptr;
    uint32_t count = 0, capacity = 0;
    char line[512];
    bool tooLong;
    for (unsigned long lineNumber = 1; ReadLine(line, sizeof line, &tooLong); lineNumber++) {
        char* words[4];
        int n = tooLong ? -1 : SplitWords(line, words, 4);
        if (n == 0) continue;
        // The header lines of "info" are passed over.
        if (n == 2 && (strcmp(words[0], "events") == 0 || strcmp(words[0], "key") == 0 ||
                       strcmp(words[0], "autobass") == 0))
            continue;
        RecordedEvent e;
        if (n != 4 || !ParseEventLine(words, &e)) {
            ToolMessage("qftool: line %lu is no event line\n", lineNumber);
            free(events);
            free(output);
            return 1;
        }
        if (count == capacity) {
            uint32_t grown = capacity ? capacity * 2 : 64;
            RecordedEvent* more =
                grown > capacity ? (RecordedEvent*)realloc(events, (size_t)grown * sizeof *events) : nullptr;
            if (!more) {
                ToolMessage("qftool: out of memory\n");
                free(events);
                free(output);
                return 1;
            }
            events = more;
            capacity = grown;
        }
        events[count++] = e;
    }
    // A recording file holds at least one event; the program refuses any other.
    if (count == 0) {
        ToolMessage("qftool: no event lines on standard input\n");
        free(output);
        return 1;
    }
    const char* message = WriteRecordingFile(events, count, (int32_t)a.key, a.hasBass ? (int)a.bass : 0, output);
    free(events);
    free(output);
    if (message) {
        ShowFileMessage(message, a.positional[0]);
        return 1;
    }
    return 0;
}

int JianpuCommand(int argc, char** argv)
{
    if (argc != 2) return Usage();
    char* output = PrepareOutput(argv[1], argv, 1);
    if (!output) return 1;
    size_t size = 0;
    uint8_t* bytes = ReadWholeFile(argv[0], &size);
    if (!bytes) {
        ToolMessage("qftool: cannot read %s\n", argv[0]);
        free(output);
        return 1;
    }
    SongFile song;
    SongOptions options = {AllTracks, true, DefaultKeyId, false};
    bool ok = ReadSongImage(bytes, size, argv[0], SongFromScore, options, nullptr, nullptr, &song);
    free(bytes);
    if (!ok) {
        if (song.message) ToolMessage("%s\n", song.message);
        else ToolMessage("qftool: out of memory\n");
        FreeSongFile(&song);
        free(output);
        return 1;
    }
    // Written only now that the whole score has converted.
    const char* message = WriteRecordingFile(song.data.events, song.data.eventCount, (int32_t)song.data.keyId, 0, output);
    FreeSongFile(&song);
    free(output);
    if (message) {
        ShowFileMessage(message, argv[1]);
        return 1;
    }
    return 0;
}

} // namespace

int main(int nativeCount, char** nativeArguments)
{
    int argc = 0;
    char** argv = ConsoleArguments(nativeCount, nativeArguments, &argc);
    if (argc < 2) return Usage();
    if (strcmp(argv[1], "info") == 0) return SongInfoCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "export") == 0) return ExportCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "write") == 0) return WriteCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "jianpu") == 0) return JianpuCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "import") == 0) return ImportCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "keys") == 0) return SongKeysCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "render") == 0) return RenderCommand(argc - 2, argv + 2);
    return Usage();
}
