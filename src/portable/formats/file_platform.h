// The local date, files by their UTF-8 paths on every platform, and the safe replacement of
// a file that the recording file and the MIDI export share. Portable
// declarations; the posix and Windows builds each implement them.
#pragma once

#include <cstddef>
#include <cstdio>

// Today's local date as "YYYY-MM-DD" into date (at least 11 bytes).
void LocalDateText(char date[11]);

// fopen for a UTF-8 path (mode as fopen's).
FILE* OpenPathFile(const char* path, const char* mode);

// Creates a new file at a UTF-8 path for writing (binary); nullptr when
// a file or folder of that name exists or it cannot be created.
FILE* CreateNewPathFile(const char* path);

// Removes the file at a UTF-8 path; false when that failed.
bool RemovePathFile(const char* path);

// Opens a new, empty file for writing beside path (in the same folder, under
// a name not in use) and hands its name over in *tempPath (from malloc);
// nullptr, and no name, when none could be created (in a folder so deep
// that no temporary name fits, too). The file at path is never opened.
FILE* CreateFileBeside(const char* path, char** tempPath);

// A temporary name in the folder of path for attempt 0..TempNameAttempts - 1,
// the later attempts shorter; false when that attempt's name does not fit
// (its full path, a relative name completed by the current folder, near
// the length limit).
constexpr int TempNameAttempts = 30;
bool TempNameBeside(const char* path, int attempt, char* name, size_t size);

// Writes what file holds through to the disk.
bool WriteThrough(FILE* file);

// Puts the finished file tempPath in the place of path, replacing any file
// there. False when that failed (tempPath then still exists).
bool ReplaceFileWith(const char* tempPath, const char* path);

// Closes file and, when ok and the close succeeded, moves it over path;
// otherwise removes it and leaves path alone. Frees tempPath. True when
// path now holds the new file.
bool FinishFileBeside(FILE* file, char* tempPath, const char* path, bool ok);
