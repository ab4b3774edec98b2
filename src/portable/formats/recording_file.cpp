// The recording file reader and writer, and the safe replacement of a file.
#include "portable/formats/recording_file.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr uint32_t FourCC(const char id[5])
{
    return (uint32_t)(uint8_t)id[0] | (uint32_t)(uint8_t)id[1] << 8 | (uint32_t)(uint8_t)id[2] << 16 |
           (uint32_t)(uint8_t)id[3] << 24;
}

constexpr uint32_t RiffId = FourCC("RIFF");
constexpr uint32_t FormQF = FourCC("QF  ");
constexpr uint32_t FmtId = FourCC("fmt ");
constexpr uint32_t DataId = FourCC("data");
constexpr uint32_t RecordingHeaderSize = 24;

void PutWord(uint8_t* at, uint32_t value)
{
    at[0] = (uint8_t)value;
    at[1] = (uint8_t)(value >> 8);
    at[2] = (uint8_t)(value >> 16);
    at[3] = (uint8_t)(value >> 24);
}

uint32_t GetWord(const uint8_t* at)
{
    return (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
}

// A file image to read from: a block of memory, or an open file.
struct RiffSource {
    const uint8_t* bytes; // the image, or nullptr for a file
    FILE* file;
    uint64_t size;        // bytes in the image or the file
};

bool SeekTo(FILE* file, uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(file, (long long)offset, SEEK_SET) == 0;
#else
    return fseeko(file, (off_t)offset, SEEK_SET) == 0;
#endif
}

bool FileSize(FILE* file, uint64_t* size)
{
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) return false;
    long long end = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    long long end = (long long)ftello(file);
#endif
    if (end < 0) return false;
    *size = (uint64_t)end;
    return true;
}

// Reads n bytes at offset; false unless all of them were there.
bool ReadAt(const RiffSource& source, uint64_t offset, void* buffer, size_t n)
{
    if (offset > source.size || (uint64_t)n > source.size - offset) return false;
    if (source.bytes) {
        memcpy(buffer, source.bytes + offset, n);
        return true;
    }
    return SeekTo(source.file, offset) && fread(buffer, 1, n, source.file) == n;
}

struct Chunk {
    uint64_t start;      // offset of the chunk header
    uint32_t size;       // size field: the data without header and pad byte
    uint64_t dataOffset; // start + 8
};

// Walks the chunks from pos onwards while they start before end, skipping
// every chunk (with its pad byte) until one of the wanted id is found (and,
// for a form chunk, of the wanted form type). False when the walk reaches
// end or runs out of file.
bool FindChunk(const RiffSource& source, uint64_t pos, uint64_t end, uint32_t id, uint32_t formType,
               Chunk* found)
{
    while (pos < end) {
        uint8_t header[8];
        if (!ReadAt(source, pos, header, sizeof header)) return false;
        uint32_t chunkId = GetWord(header);
        uint32_t size = GetWord(header + 4);
        if (chunkId == id) {
            bool match = true;
            if (formType != 0) {
                uint8_t form[4];
                if (!ReadAt(source, pos + 8, form, sizeof form)) return false;
                match = GetWord(form) == formType;
            }
            if (match) {
                *found = {pos, size, pos + 8};
                return true;
            }
        }
        pos += 8 + (uint64_t)size + (size & 1);
    }
    return false;
}

const char* ParseSource(const RiffSource& source, RecordingFileData* out)
{
    Chunk riff, fmt, data;
    if (!FindChunk(source, 0, UINT64_MAX, RiffId, FormQF, &riff)) return NotStandardFileMessage;
    uint64_t riffEnd = riff.dataOffset + riff.size;
    if (!FindChunk(source, riff.dataOffset + 4, riffEnd, FmtId, 0, &fmt)) return NotStandardFileMessage;
    if (fmt.size != RecordingHeaderSize) return NotSupportedFileMessage;
    uint8_t header[RecordingHeaderSize];
    if (!ReadAt(source, fmt.dataOffset, header, sizeof header)) return CannotReadFileMessage;
    uint32_t eventCount = GetWord(header);
    if (eventCount == 0) return NotSupportedFileMessage;
    uint64_t afterFmt = fmt.dataOffset + RecordingHeaderSize;
    if (!FindChunk(source, afterFmt, riffEnd, DataId, 0, &data)) return NotStandardFileMessage;
    uint64_t dataBytes = 16 * (uint64_t)eventCount;
    if ((uint64_t)data.size != dataBytes) return NotSupportedFileMessage;
    // A file cut short inside its events fails as a short read would, before
    // memory for events that are not there is asked for.
    if (data.dataOffset + dataBytes > source.size) return CannotReadFileMessage;
    // dataBytes equals a 32-bit size here, so it fits a size_t everywhere.
    uint8_t* raw = (uint8_t*)malloc((size_t)dataBytes);
    if (!raw) return CannotReadFileMessage;
    if (!ReadAt(source, data.dataOffset, raw, (size_t)dataBytes)) {
        free(raw);
        return CannotReadFileMessage;
    }
    // The records keep their file bytes; decode them in place into host order.
    RecordedEvent* events = (RecordedEvent*)raw;
    for (uint32_t i = 0; i < eventCount; i++) {
        const uint8_t* r = raw + 16 * (size_t)i;
        RecordedEvent e;
        e.delay = GetWord(r);
        e.message = (int32_t)GetWord(r + 4);
        e.keyData = GetWord(r + 8);
        e.octaveShift = (int32_t)GetWord(r + 12);
        memcpy(&events[i], &e, sizeof e);
    }
    out->events = events;
    out->eventCount = eventCount;
    out->keyId = GetWord(header + 4);
    out->autoBass = GetWord(header + 8) == 1;
    return nullptr;
}

} // namespace

void EncodeRecordedEvent(const RecordedEvent& event, uint8_t bytes[16])
{
    PutWord(bytes, event.delay);
    PutWord(bytes + 4, (uint32_t)event.message);
    PutWord(bytes + 8, event.keyData);
    PutWord(bytes + 12, (uint32_t)event.octaveShift);
}

void BuildRecordingFileHeader(uint8_t header[RecordingFileHeaderSize], uint32_t count, int32_t keyId,
                              int autoBass, const char* date)
{
    memset(header, 0, RecordingFileHeaderSize);
    uint8_t* h = header;
    memcpy(h + 0, "RIFF", 4);
    PutWord(h + 4, 96 + 16 * count);
    memcpy(h + 8, "QF  ", 4);
    memcpy(h + 12, "LIST", 4);
    PutWord(h + 16, 44);
    memcpy(h + 20, "INFO", 4);
    memcpy(h + 24, "ISFT", 4);
    PutWord(h + 28, 11);
    memcpy(h + 32, "QF by Olan", 11); // with its 0 byte; the pad byte at 43 stays 0
    memcpy(h + 44, "ISCD", 4);
    PutWord(h + 48, 11);
    size_t dateLength = strnlen(date, 10);
    memcpy(h + 52, date, dateLength); // 0 bytes follow: the terminator and the pad byte
    memcpy(h + 64, "fmt ", 4);
    PutWord(h + 68, RecordingHeaderSize);
    PutWord(h + 72, count);
    PutWord(h + 76, (uint32_t)keyId);
    PutWord(h + 80, autoBass ? 1 : 0); // the three reserved words stay 0
    memcpy(h + 96, "data", 4);
    PutWord(h + 100, 16 * count);
}

FILE* CreateFileBeside(const char* path, char** tempPath)
{
    *tempPath = nullptr;
    size_t size = strlen(path) + 32;
    char* name = (char*)malloc(size);
    if (!name) return nullptr;
    for (int attempt = 0; attempt < TempNameAttempts; attempt++) {
        // A name that does not fit beside a deep path gives way to a shorter
        // one; the file at path itself is never opened for writing.
        if (!TempNameBeside(path, attempt, name, size)) continue;
        // A name in use, or one that cannot be created (a leftover that is
        // read-only, a folder of that name), gives way to the next.
        FILE* file = CreateNewPathFile(name);
        if (!file) continue;
        *tempPath = name;
        return file;
    }
    free(name);
    return nullptr;
}

bool FinishFileBeside(FILE* file, char* tempPath, const char* path, bool ok)
{
    // The new file is on the disk before it takes the old one's place.
    if (ok) ok = WriteThrough(file);
    if (fclose(file) != 0) ok = false;
    if (ok) ok = ReplaceFileWith(tempPath, path);
    if (!ok) RemovePathFile(tempPath);
    free(tempPath);
    return ok;
}

const char* WriteRecordingFile(const RecordedEvent* events, uint32_t count, int32_t keyId, int autoBass,
                               const char* path)
{
    if (count > MaxRecordingFileEvents) return CannotWriteFileMessage;
    char* tempPath = nullptr;
    FILE* file = CreateFileBeside(path, &tempPath);
    if (!file) return CannotCreateFileMessage;

    char date[11];
    LocalDateText(date);
    uint8_t header[RecordingFileHeaderSize];
    BuildRecordingFileHeader(header, count, keyId, autoBass, date);
    bool ok = fwrite(header, 1, sizeof header, file) == sizeof header;

    // The events go out in blocks of their file bytes.
    uint8_t block[256 * 16];
    for (uint32_t done = 0; ok && done < count;) {
        uint32_t n = count - done < 256 ? count - done : 256;
        for (uint32_t i = 0; i < n; i++) EncodeRecordedEvent(events[done + i], block + 16 * i);
        ok = fwrite(block, 1, 16 * (size_t)n, file) == 16 * (size_t)n;
        done += n;
    }
    if (ok) ok = fflush(file) == 0;
    return FinishFileBeside(file, tempPath, path, ok) ? nullptr : CannotWriteFileMessage;
}

const char* ReadRecordingFile(const char* path, RecordingFileData* out)
{
    FILE* file = OpenPathFile(path, "rb");
    if (!file) return CannotOpenFileMessage;
    RiffSource source = {nullptr, file, 0};
    const char* message = FileSize(file, &source.size) ? ParseSource(source, out) : CannotReadFileMessage;
    // A file that the system could not read (a folder, a failing disk) did
    // not show what it holds.
    if (message && ferror(file)) message = CannotReadFileMessage;
    fclose(file);
    return message;
}

const char* ParseRecordingFile(const uint8_t* bytes, size_t size, RecordingFileData* out)
{
    static const uint8_t empty[1] = {0};
    RiffSource source = {bytes ? bytes : empty, nullptr, bytes ? (uint64_t)size : 0};
    return ParseSource(source, out);
}
