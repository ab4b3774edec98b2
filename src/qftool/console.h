// qftool's command line and messages on the platform: the arguments as UTF-8
// (file names in any script), and UTF-8 text written so that it reads right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The arguments of the program as UTF-8; *count of them. On Windows they
// are taken from the system's own command line, not from argv.
char** ConsoleArguments(int argc, char** argv, int* count);

// Writes a UTF-8 text to stream: on a Windows console as Unicode, elsewhere
// as its bytes.
void WriteConsoleText(FILE* stream, const char* text);

// What a path names, told apart by identity: the same file reached by
// another name (a relative path, a hard link, a symbolic link) has the same
// volume and index.
struct FileIdentity {
    bool exists;     // the path names something
    bool regular;    // a regular file (symbolic links followed)
    uint64_t volume; // the device, or the volume's serial number
    uint64_t index;  // the inode, or the file index
};

// What path names; identity->exists is false when nothing is there.
void IdentifyPath(const char* path, FileIdentity* identity);

// What the standard input reads from.
void IdentifyStandardInput(FileIdentity* identity);

// The path an output named path is written at: where symbolic links exist,
// the file a chain of them ends at (so the link stays a link and its target
// gets the new contents), else path itself. From malloc; nullptr when
// memory is short.
char* OutputTargetPath(const char* path);
// The folder of the running tool as UTF-8, ending in its separator, into
// folder (size bytes); false when it cannot be told or does not fit.
bool ToolFolder(char* folder, size_t size);
