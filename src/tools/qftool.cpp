// qftool: the recording file and the MIDI export on the command line, with
// the program's own reader, writer and exporter, and songs in jianpu.
//
//   qftool info FILE.qfi
//   qftool export FILE.qfi OUT.mid [--key K] [--instrument P] [--bass 0|1]
//   qftool write OUT.qfi --key K [--bass 0|1]     (event lines on standard input)
//   qftool jianpu SCORE.txt OUT.qfi               (a jianpu score as a recording)
//   qftool keys FILE.qfi                          (the keys to press, line by line)
//   qftool render FILE.qfi OUT.wav [--key K] [--instrument P] [--bass 0|1] [--sf2 FILE] [--rate HZ]
//                                                 (through the program's own synthesizer)
//
// File names are UTF-8, and so is every message, on every platform.
// Exit status 0 on success, 1 otherwise.
#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/midi_export.h"
#include "files/recording_file.h"
#include "tools/console.h"
#include "tools/jianpu.h"
#include "tools/render.h"

namespace {

constexpr const char* UsageText =
    "usage: qftool info FILE.qfi\n"
    "       qftool export FILE.qfi OUT.mid [--key K] [--instrument P] [--bass 0|1]\n"
    "       qftool write OUT.qfi --key K [--bass 0|1] < events\n"
    "       qftool jianpu SCORE.txt OUT.qfi\n"
    "       qftool keys FILE.qfi\n"
    "       qftool render FILE.qfi OUT.wav [--key K] [--instrument P] [--bass 0|1] [--sf2 FILE] [--rate HZ]\n"
    "event lines: <delay> <message> <keyData, 8 hex digits> <octaveShift>\n";

// Copies text into out (room for 4 bytes a byte of text), showing what a
// terminal could not: a control character or a byte that is no part of a
// UTF-8 character becomes \xNN; every other character stays itself. A line
// end at the very end stays a line end.
void ShowableText(const char* text, char* out)
{
    const unsigned char* p = (const unsigned char*)text;
    while (*p) {
        unsigned c = *p;
        if (c == '\n' && p[1] == 0) {
            *out++ = '\n';
            break;
        }
        int length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        bool whole = length > 0;
        for (int i = 1; whole && i < length; i++) whole = (p[i] & 0xC0) == 0x80;
        if (whole && length == 3) {
            unsigned second = p[1];
            whole = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0); // overlong, surrogate
        }
        if (whole && length == 4) {
            unsigned second = p[1];
            whole = !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90); // overlong, beyond U+10FFFF
        }
        bool control = c < 0x20 || c == 0x7F || (length == 2 && c == 0xC2 && p[1] < 0xA0);
        if (!whole || control) {
            int n = whole ? length : 1;
            for (int i = 0; i < n; i++) out += sprintf(out, "\\x%02X", p[i]);
            p += n;
            continue;
        }
        memcpy(out, p, (size_t)length);
        out += length;
        p += length;
    }
    *out = 0;
}

// Writes a message (UTF-8, printf's format) to standard error; what it
// quotes of the user's input shows as ShowableText shows it.
void Complain(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n < 0) return;
    char* text = (char*)malloc((size_t)n + 1);
    char* shown = (char*)malloc(4 * (size_t)n + 1);
    if (text && shown) {
        va_start(args, format);
        vsnprintf(text, (size_t)n + 1, format, args);
        va_end(args);
        ShowableText(text, shown);
        WriteConsoleText(stderr, shown);
    }
    free(text);
    free(shown);
}

int Usage()
{
    WriteConsoleText(stderr, UsageText);
    return 1;
}

// Prints a reader or writer message with the file name filled in. The
// messages are the program's GBK texts, turned into UTF-8 first.
void ShowFileMessage(const char* format, const char* fileName)
{
    char converted[256];
    if (!ProgramTextToUtf8(format, converted, sizeof converted)) {
        Complain("qftool: %s\n", fileName);
        return;
    }
    // The format holds one "%s" and nothing else that printf reads.
    strcat(converted, "\n");
    Complain(converted, fileName);
}

// A whole decimal number within [low, high].
bool ParseNumber(const char* text, long long low, long long high, long long* value)
{
    if (!text || !*text || isspace((unsigned char)*text)) return false;
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (*end != 0 || v < low || v > high) return false;
    *value = v;
    return true;
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
                Complain("qftool: %s needs a value\n", arg);
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
                Complain("qftool: bad or repeated option %s %s\n", arg, value);
                return false;
            }
        } else if (arg[0] == '-' && arg[1] == '-') {
            Complain("qftool: unknown option %s\n", arg);
            return false;
        } else {
            if (a->positionalCount >= maxPositional) {
                Complain("qftool: unexpected argument %s\n", arg);
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

// The path to write the output of a command at (from malloc), or nullptr
// after a message: an output that is not a regular file (a folder, a
// device, a pipe) or is the same file as one of the inputs ("-" stands for
// the standard input) is refused, and nothing is written.
char* PrepareOutput(const char* output, const char* const* inputs, int inputCount)
{
    char* target = OutputTargetPath(output);
    if (!target) {
        Complain("qftool: out of memory\n");
        return nullptr;
    }
    FileIdentity out;
    IdentifyPath(target, &out);
    if (out.exists && !out.regular) {
        Complain("qftool: %s is not a regular file (a folder, a device or a pipe); nothing written\n", output);
        free(target);
        return nullptr;
    }
    for (int i = 0; out.exists && i < inputCount; i++) {
        FileIdentity in;
        bool standardInput = strcmp(inputs[i], "-") == 0;
        if (standardInput) IdentifyStandardInput(&in);
        else IdentifyPath(inputs[i], &in);
        if (in.exists && in.volume == out.volume && in.index == out.index) {
            Complain("qftool: %s is the same file as %s; nothing written\n", output,
                     standardInput ? "the standard input" : inputs[i]);
            free(target);
            return nullptr;
        }
    }
    return target;
}

// Reads a recording file; on failure shows the reader's message and returns false.
bool ReadRecordingOrComplain(const char* path, RecordingFileData* data)
{
    const char* message = ReadRecordingFile(path, data);
    if (message) ShowFileMessage(message, path);
    return !message;
}

int InfoCommand(int argc, char** argv)
{
    if (argc != 1) return Usage();
    RecordingFileData data;
    if (!ReadRecordingOrComplain(argv[0], &data)) return 1;
    printf("events %" PRIu32 "\nkey %" PRIu32 "\nautobass %d\n", data.eventCount, data.keyId, data.autoBass ? 1 : 0);
    for (uint32_t i = 0; i < data.eventCount; i++) {
        const RecordedEvent& e = data.events[i];
        printf("%" PRIu32 " %" PRId32 " %08" PRIx32 " %" PRId32 "\n", e.delay, e.message, e.keyData, e.octaveShift);
    }
    free(data.events);
    return fflush(stdout) == 0 ? 0 : 1;
}

int ExportCommand(int argc, char** argv)
{
    Arguments a;
    if (!ParseArguments(argc, argv, 2, true, &a)) return 1;
    char* output = PrepareOutput(a.positional[1], a.positional, 1);
    if (!output) return 1;
    RecordingFileData data;
    if (!ReadRecordingOrComplain(a.positional[0], &data)) {
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
        Complain("qftool: cannot export %s to %s\n", a.positional[0], a.positional[1]);
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
            Complain("qftool: line %lu is no event line\n", lineNumber);
            free(events);
            free(output);
            return 1;
        }
        if (count == capacity) {
            uint32_t grown = capacity ? capacity * 2 : 64;
            RecordedEvent* more =
                grown > capacity ? (RecordedEvent*)realloc(events, (size_t)grown * sizeof *events) : nullptr;
            if (!more) {
                Complain("qftool: out of memory\n");
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
        Complain("qftool: no event lines on standard input\n");
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

// Reads a whole file into memory (from malloc); nullptr when it cannot.
uint8_t* ReadWholeFile(const char* path, size_t* size)
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

int JianpuCommand(int argc, char** argv)
{
    if (argc != 2) return Usage();
    char* output = PrepareOutput(argv[1], argv, 1);
    if (!output) return 1;
    size_t size = 0;
    uint8_t* bytes = ReadWholeFile(argv[0], &size);
    if (!bytes) {
        Complain("qftool: cannot read %s\n", argv[0]);
        free(output);
        return 1;
    }
    Score score;
    ScoreError error;
    RecordedEvent* events = nullptr;
    uint32_t count = 0;
    bool ok = ParseScore(bytes, size, &score, &error);
    free(bytes);
    if (ok) {
        ok = ScoreEvents(score, &events, &count, &error);
        FreeScore(&score);
    }
    if (!ok) {
        Complain("%s:%" PRIu32 ":%" PRIu32 ": %s\n", argv[0], error.line, error.column, error.text);
        free(output);
        return 1;
    }
    // Written only now that the whole score has converted.
    const char* message = WriteRecordingFile(events, count, score.keyId, 0, output);
    free(events);
    free(output);
    if (message) {
        ShowFileMessage(message, argv[1]);
        return 1;
    }
    return 0;
}

int KeysCommand(int argc, char** argv)
{
    if (argc != 1) return Usage();
    RecordingFileData data;
    if (!ReadRecordingOrComplain(argv[0], &data)) return 1;
    WriteKeyScore(stdout, data.events, data.eventCount);
    free(data.events);
    return fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int nativeCount, char** nativeArguments)
{
    int argc = 0;
    char** argv = ConsoleArguments(nativeCount, nativeArguments, &argc);
    if (argc < 2) return Usage();
    if (strcmp(argv[1], "info") == 0) return InfoCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "export") == 0) return ExportCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "write") == 0) return WriteCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "jianpu") == 0) return JianpuCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "keys") == 0) return KeysCommand(argc - 2, argv + 2);
    if (strcmp(argv[1], "render") == 0) return RenderCommand(argc - 2, argv + 2);
    return Usage();
}
