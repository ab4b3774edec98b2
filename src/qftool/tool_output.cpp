#include "qftool/tool_output.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/formats/recording_file.h"
#include "portable/formats/program_text.h"
#include "portable/formats/song_file.h"
#include "qftool/console.h"

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
void ToolMessage(const char* format, ...)
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

void ShowFileMessage(const char* format, const char* fileName)
{
    char converted[256];
    // Room is kept for the line end; the format holds one "%s" and nothing
    // else that printf reads.
    if (!ProgramTextToUtf8(format, converted, sizeof converted - 1)) {
        ToolMessage("qftool: %s\n", fileName);
        return;
    }
    strcat(converted, "\n");
    ToolMessage(converted, fileName);
}

// The path to write the output of a command at (from malloc), or nullptr
// after a message: an output that is not a regular file (a folder, a
// device, a pipe) or is the same file as one of the inputs ("-" stands for
// the standard input) is refused, and nothing is written.
char* PrepareOutput(const char* output, const char* const* inputs, int inputCount)
{
    char* target = OutputTargetPath(output);
    if (!target) {
        ToolMessage("qftool: out of memory\n");
        return nullptr;
    }
    FileIdentity out;
    IdentifyPath(target, &out);
    if (out.exists && !out.regular) {
        ToolMessage("qftool: %s is not a regular file (a folder, a device or a pipe); nothing written\n", output);
        free(target);
        return nullptr;
    }
    for (int i = 0; out.exists && i < inputCount; i++) {
        FileIdentity in;
        bool standardInput = strcmp(inputs[i], "-") == 0;
        if (standardInput) IdentifyStandardInput(&in);
        else IdentifyPath(inputs[i], &in);
        if (in.exists && in.volume == out.volume && in.index == out.index) {
            ToolMessage("qftool: %s is the same file as %s; nothing written\n", output,
                     standardInput ? "the standard input" : inputs[i]);
            free(target);
            return nullptr;
        }
    }
    return target;
}

bool ParseNumber(const char* text, long long low, long long high, long long* value)
{
    if (!text || !*text || isspace((unsigned char)*text)) return false;
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (*end != 0 || v < low || v > high) return false;
    *value = v;
    return true;
}

uint8_t* ReadWholeFile(const char* path, size_t* size)
{
    return ReadWholePathFile(path, size);
}
