// The recording file: a RIFF file of form "QF  " (extension "qfi") holding the
// recorded events, the musical key and the auto-bass setting. Portable: plain
// C stdio; paths are UTF-8 on every platform, opened through the file
// platform below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "portable/formats/file_platform.h"
#include "portable/song/recording.h"

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
