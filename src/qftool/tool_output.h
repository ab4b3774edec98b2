// What qftool says, reads and writes: its messages, which quote what the
// user typed so that it reads right, numbers on its command line, whole
// input files, and the check of an output path that keeps every input whole.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies text into out (room for 4 bytes a byte of text), showing what a
// terminal could not: a control character or a byte that is no part of a
// UTF-8 character becomes \xNN; every other character stays itself. A line
// end at the very end stays a line end.
void ShowableText(const char* text, char* out);

// Writes a message (UTF-8, printf's format) to standard error, shown as
// ShowableText shows it.
void ToolMessage(const char* format, ...);

// A message of the file reader or writer (a GBK text of the program with
// one "%s") with the file name in its place, as ToolMessage writes it.
void ShowFileMessage(const char* format, const char* fileName);

// The path to write the output of a command at (from malloc), or nullptr
// after a message: an output that is not a regular file (a folder, a
// device, a pipe) or is the same file as one of the inputs ("-" stands for
// the standard input) is refused, and nothing is written.
char* PrepareOutput(const char* output, const char* const* inputs, int inputCount);

// A whole decimal number within [low, high], nothing else (no blank).
bool ParseNumber(const char* text, long long low, long long high, long long* value);

// Reads a whole file into memory (from malloc); nullptr when it cannot.
uint8_t* ReadWholeFile(const char* path, size_t* size);
