// qftool's command line and messages on the platform: the arguments as UTF-8
// (file names in any script), and UTF-8 text written so that it reads right.
#pragma once

#include <cstddef>
#include <cstdio>

// The arguments of the program as UTF-8; *count of them. On Windows they
// are taken from the system's own command line, not from argv.
char** ConsoleArguments(int argc, char** argv, int* count);

// Writes a UTF-8 text to stream: on a Windows console as Unicode, elsewhere
// as its bytes.
void WriteConsoleText(FILE* stream, const char* text);

// A text of the program (GBK) as UTF-8 into out (size bytes); false, and
// out untouched, when it cannot be converted or does not fit.
bool ProgramTextToUtf8(const char* text, char* out, size_t size);

// The folder of the running tool as UTF-8, ending in its separator, into
// folder (size bytes); false when it cannot be told or does not fit.
bool ToolFolder(char* folder, size_t size);
