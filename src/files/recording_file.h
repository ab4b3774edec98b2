// The recording file: a RIFF file of form "QF  " (extension "qfi") holding the
// recorded events, the musical key and the auto-bass setting. Portable: plain
// C stdio; paths are UTF-8 on every platform, opened through the file
// platform below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "recorder/recording.h"

// What a successful read hands over.
struct RecordingFileData {
    RecordedEvent* events; // from malloc, exactly eventCount records; the caller frees it with free()
    uint32_t eventCount;   // never 0
    uint32_t keyId;        // as stored; not checked
    bool autoBass;         // on only when the stored word is exactly 1
};

// The six messages of the reader and the writer; each holds one "%s" for the
// file name.
inline constexpr char CannotCreateFileMessage[] = "不能创建文件%s.";
inline constexpr char CannotWriteFileMessage[] = "不能写入文件%s.";
inline constexpr char CannotOpenFileMessage[] = "不能找到或打开文件%s.";
inline constexpr char NotStandardFileMessage[] = "文件%s不是标准的琴坊文件.";
inline constexpr char NotSupportedFileMessage[] = "文件%s不是被支持的琴坊文件.";
inline constexpr char CannotReadFileMessage[] = "不能读取文件%s.";

// Everything of a recording file that comes before the events.
constexpr size_t RecordingFileHeaderSize = 104;

// The largest number of events whose file length still fits the RIFF size field.
constexpr uint32_t MaxRecordingFileEvents = (0xFFFFFFFFu - 96u) / 16u;

// Writes the file at path: nullptr on success, else one of the messages.
// The file is written beside path under a temporary name and replaces path
// only when it was written in full; on failure an earlier file at path stays
// as it was. autoBass is stored as 1 when non-zero. The date is the local date.
const char* WriteRecordingFile(const RecordedEvent* events, uint32_t count, int32_t keyId, int autoBass,
                               const char* path);

// Reads and checks the file at path: nullptr on success with *out filled,
// else one of the messages and *out untouched.
const char* ReadRecordingFile(const char* path, RecordingFileData* out);

// The same checks on a file image held in memory.
const char* ParseRecordingFile(const uint8_t* bytes, size_t size, RecordingFileData* out);

// The 104 bytes that precede the events of a file of count events; date is
// the "YYYY-MM-DD" text of the ISCD chunk (10 characters).
void BuildRecordingFileHeader(uint8_t header[RecordingFileHeaderSize], uint32_t count, int32_t keyId,
                              int autoBass, const char* date);

// One event as its 16 little-endian file bytes.
void EncodeRecordedEvent(const RecordedEvent& event, uint8_t bytes[16]);

// Today's local date as "YYYY-MM-DD" into date (at least 11 bytes).
void LocalDateText(char date[11]);

// The file platform: files opened and removed by their UTF-8 paths.

// fopen for a UTF-8 path (mode as fopen's).
FILE* OpenPathFile(const char* path, const char* mode);

// Creates a new file at a UTF-8 path for writing (binary); nullptr when
// a file or folder of that name exists or it cannot be created.
FILE* CreateNewPathFile(const char* path);

// Removes the file at a UTF-8 path; false when that failed.
bool RemovePathFile(const char* path);

// Safe replacement of a file, shared by the recording file and the MIDI export.

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
