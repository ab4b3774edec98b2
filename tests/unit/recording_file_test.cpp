// The recording file: exact bytes, every check of the reader, and the safe
// replacement of an earlier file.
#include "portable/formats/recording_file.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include "fake_platform.h"
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct TempDir {
    std::string path;
    TempDir()
    {
        char name[] = "/tmp/qf-recfile-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string File(const char* name) const { return path + "/" + name; }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        DIR* d = opendir(path.c_str());
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
        closedir(d);
        return names;
    }
};

Bytes ReadAll(const std::string& path)
{
    Bytes bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
    fclose(f);
    return bytes;
}

void WriteAll(const std::string& path, const Bytes& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    fclose(f);
}

void PutWord(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
}

// A chunk: id, size field, body, and the pad byte when the size is odd.
Bytes Chunk(const char* id, const Bytes& body, uint32_t sizeField)
{
    Bytes b(id, id + 4);
    PutWord(b, sizeField);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}
Bytes Chunk(const char* id, const Bytes& body) { return Chunk(id, body, (uint32_t)body.size()); }

Bytes Riff(const char* form, const std::vector<Bytes>& chunks)
{
    Bytes body(form, form + 4);
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}

Bytes FmtBody(uint32_t count, uint32_t keyId, uint32_t autoBass)
{
    Bytes b;
    PutWord(b, count);
    PutWord(b, keyId);
    PutWord(b, autoBass);
    b.resize(24, 0);
    return b;
}

Bytes DataBody(uint32_t count)
{
    Bytes b;
    for (uint32_t i = 0; i < count; i++) {
        PutWord(b, 100 + i);
        PutWord(b, 256);
        PutWord(b, 0x1E0001);
        PutWord(b, 0);
    }
    return b;
}

std::string TodayText()
{
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char text[16];
    return strftime(text, sizeof text, "%Y-%m-%d", &local) == 10 ? text : "?";
}

const RecordedEvent PressA = {500, 256, 0x001E0001, 0};
const RecordedEvent ReleaseA = {250, 257, 0xC01E0001, 0};

TEST(RecordingFileBytes, RecordsAreTheirSixteenBytes)
{
    uint8_t bytes[16];
    EncodeRecordedEvent(PressA, bytes);
    const uint8_t press[16] = {0xF4, 0x01, 0, 0, 0x00, 0x01, 0, 0, 0x01, 0x00, 0x1E, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(bytes, press, 16));
    EncodeRecordedEvent(ReleaseA, bytes);
    const uint8_t message[4] = {0x01, 0x01, 0, 0}, keyData[4] = {0x01, 0x00, 0x1E, 0xC0};
    EXPECT_EQ(0, memcmp(bytes + 4, message, 4));
    EXPECT_EQ(0, memcmp(bytes + 8, keyData, 4));
    RecordedEvent down = {0, 256, 0, -1};
    EncodeRecordedEvent(down, bytes);
    EXPECT_EQ(0xFFFFFFFFu, (uint32_t)bytes[12] | bytes[13] << 8 | bytes[14] << 16 | (uint32_t)bytes[15] << 24);
}

TEST(RecordingFileBytes, OneEventFileIs120Bytes)
{
    uint8_t header[RecordingFileHeaderSize];
    BuildRecordingFileHeader(header, 1, 1297, 0, "2003-05-08");
    Bytes file(header, header + sizeof header);
    // The press of A, 500 ms after the start, as its file bytes.
    const uint8_t record[16] = {0xF4, 0x01, 0, 0, 0x00, 0x01, 0, 0, 0x01, 0x00, 0x1E, 0x00, 0, 0, 0, 0};
    file.insert(file.end(), record, record + 16);

    const char* expectedHead =
        "RIFF\x70\0\0\0QF  LIST\x2C\0\0\0INFOISFT\x0B\0\0\0QF by Olan\0\0"
        "ISCD\x0B\0\0\0" "2003-05-08\0\0fmt \x18\0\0\0";
    Bytes expected(expectedHead, expectedHead + 72);
    Bytes fmt = FmtBody(1, 1297, 0);
    expected.insert(expected.end(), fmt.begin(), fmt.end());
    const char* dataHead = "data\x10\0\0\0";
    expected.insert(expected.end(), dataHead, dataHead + 8);
    expected.insert(expected.end(), record, record + 16);
    ASSERT_EQ(120u, expected.size());
    EXPECT_EQ(expected, file);
}

TEST(RecordingFileBytes, FmtBodyOfTwoEventsWithAutoBass)
{
    uint8_t header[RecordingFileHeaderSize];
    BuildRecordingFileHeader(header, 2, 1297, 5, "2003-05-08"); // any non-zero setting is stored as 1
    const uint8_t fmt[24] = {0x02, 0, 0, 0, 0x11, 0x05, 0, 0, 0x01, 0, 0, 0};
    EXPECT_EQ(0, memcmp(header + 72, fmt, 24));
    EXPECT_EQ(96u + 32u, (uint32_t)header[4] | header[5] << 8);
    EXPECT_EQ(32, header[100]);
}

TEST(RecordingFileWrite, WritesTodayAndReadsBack)
{
    TempDir dir;
    std::string path = dir.File("song.qfi");
    WriteAll(path, Bytes(5000, 0xAA)); // an earlier, longer file is replaced completely
    std::string before = TodayText();
    RecordedEvent events[3] = {PressA, ReleaseA, {0xFFFFFFFF, 300, 0x00FF0000, 1}};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 3, 1328, 1, path.c_str()));
    Bytes file = ReadAll(path);
    ASSERT_EQ(104u + 48u, file.size());
    // The local date, formatted here with strftime (the writer formats the
    // fields itself), read before and after the write in case midnight passed.
    std::string written(reinterpret_cast<const char*>(file.data() + 52), 10);
    EXPECT_EQ(0, file[62]);
    EXPECT_TRUE(written == before || written == TodayText()) << written;

    RecordingFileData data;
    ASSERT_EQ(nullptr, ReadRecordingFile(path.c_str(), &data));
    EXPECT_EQ(3u, data.eventCount);
    EXPECT_EQ(1328u, data.keyId);
    EXPECT_TRUE(data.autoBass);
    EXPECT_EQ(0, memcmp(events, data.events, sizeof events));
    free(data.events);
    EXPECT_EQ(std::vector<std::string>{"song.qfi"}, dir.Entries());
}

// One crafted file and the message its read must give.
struct Crafted {
    const char* what;
    Bytes bytes;
    const char* message;
};

std::vector<Crafted> CraftedFiles()
{
    Bytes list = Chunk("LIST", {'I', 'N', 'F', 'O'});
    Bytes fmt1 = Chunk("fmt ", FmtBody(1, 1297, 0));
    Bytes data1 = Chunk("data", DataBody(1));
    Bytes fmt28 = FmtBody(1, 1297, 0);
    fmt28.resize(28, 0);
    Bytes good = Riff("QF  ", {list, fmt1, data1});
    Bytes cutInFmt = Riff("QF  ", {fmt1});
    cutInFmt.resize(12 + 8 + 10);
    Bytes cutInData = Riff("QF  ", {fmt1, Chunk("data", DataBody(4))});
    cutInData[12 + 8] = 4; // eventCount 4 in the fmt body
    cutInData.resize(cutInData.size() - 1);
    Bytes shortRiff = Riff("QF  ", {fmt1, data1});
    shortRiff[4] = 4; // the RIFF chunk holds only its form type: "fmt " lies beyond it
    shortRiff[5] = shortRiff[6] = shortRiff[7] = 0;

    return {
        {"empty file", {}, NotStandardFileMessage},
        {"a WAVE file", Riff("WAVE", {fmt1, data1}), NotStandardFileMessage},
        {"a bare header", Bytes(good.begin(), good.begin() + 10), NotStandardFileMessage},
        {"no fmt chunk", Riff("QF  ", {list, data1}), NotStandardFileMessage},
        {"fmt beyond the RIFF size", shortRiff, NotStandardFileMessage},
        {"fmt of 28 bytes", Riff("QF  ", {Chunk("fmt ", fmt28), data1}), NotSupportedFileMessage},
        {"cut inside fmt", cutInFmt, CannotReadFileMessage},
        {"eventCount 0", Riff("QF  ", {Chunk("fmt ", FmtBody(0, 1297, 0)), Chunk("data", {})}),
         NotSupportedFileMessage},
        {"data before fmt", Riff("QF  ", {data1, fmt1}), NotStandardFileMessage},
        {"data of another size", Riff("QF  ", {fmt1, Chunk("data", DataBody(2))}), NotSupportedFileMessage},
        // 16 x eventCount wraps to the data size in 32 bits.
        {"count x 16 wraps to 16", Riff("QF  ", {Chunk("fmt ", FmtBody(0x10000001, 1297, 0)), data1}),
         NotSupportedFileMessage},
        {"count x 16 wraps to 0", Riff("QF  ", {Chunk("fmt ", FmtBody(0x80000000, 1297, 0)), Chunk("data", {})}),
         NotSupportedFileMessage},
        {"data size field beyond the file", Riff("QF  ", {fmt1, Chunk("data", {}, 0xFFFFFFF0)}),
         NotSupportedFileMessage},
        {"cut inside data", cutInData, CannotReadFileMessage},
    };
}

TEST(RecordingFileRead, EveryCheckFailsWithItsMessageAndLeavesTheCallerAlone)
{
    TempDir dir;
    RecordedEvent kept = {1, 2, 3, 4};
    const RecordingFileData before = {&kept, 7, 1301, true};
    for (const Crafted& c : CraftedFiles()) {
        SCOPED_TRACE(c.what);
        RecordingFileData data = before;
        EXPECT_EQ(c.message, ParseRecordingFile(c.bytes.data(), c.bytes.size(), &data));
        EXPECT_EQ(0, memcmp(&before, &data, sizeof data));

        std::string path = dir.File("crafted.qfi");
        WriteAll(path, c.bytes);
        EXPECT_EQ(c.message, ReadRecordingFile(path.c_str(), &data));
        EXPECT_EQ(0, memcmp(&before, &data, sizeof data));
    }
    RecordingFileData data = before;
    EXPECT_EQ(CannotOpenFileMessage, ReadRecordingFile(dir.File("missing.qfi").c_str(), &data));
    EXPECT_EQ(0, memcmp(&before, &data, sizeof data));
}

TEST(RecordingFileRead, OtherChunksAreSkippedWhereverTheyStand)
{
    Bytes odd = Chunk("JUNK", {1, 2, 3, 4, 5}); // odd size: a pad byte follows
    Bytes file = Chunk("JUNK", {9, 9, 9});      // before the RIFF chunk
    Bytes wave = Riff("WAVE", {Chunk("fmt ", FmtBody(9, 1, 0))});
    Bytes qf = Riff("QF  ", {odd, Chunk("fmt ", FmtBody(2, 1320, 1)), odd,
                             Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("data", DataBody(2)), odd});
    file.insert(file.end(), wave.begin(), wave.end());
    file.insert(file.end(), qf.begin(), qf.end());
    RecordingFileData data;
    ASSERT_EQ(nullptr, ParseRecordingFile(file.data(), file.size(), &data));
    EXPECT_EQ(2u, data.eventCount);
    EXPECT_EQ(1320u, data.keyId);
    EXPECT_TRUE(data.autoBass);
    EXPECT_EQ(101u, data.events[1].delay);
    EXPECT_EQ(0x1E0001u, data.events[1].keyData);
    free(data.events);

    // autoBass is on only when the stored word is exactly 1.
    Bytes two = Riff("QF  ", {Chunk("fmt ", FmtBody(1, 1297, 2)), Chunk("data", DataBody(1))});
    ASSERT_EQ(nullptr, ParseRecordingFile(two.data(), two.size(), &data));
    EXPECT_FALSE(data.autoBass);
    free(data.events);
}

TEST(RecordingFileWrite, AFailedSaveKeepsTheEarlierFile)
{
    TempDir dir;
    std::string path = dir.File("song.qfi");
    RecordedEvent events[2] = {PressA, ReleaseA};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 2, 1297, 0, path.c_str()));
    Bytes earlier = ReadAll(path);

    // The disk fills up (the file size limit) in the middle of a long recording.
    std::vector<RecordedEvent> many(2000, PressA);
    const char* message = nullptr;
    WithFileSizeLimit(4096, [&] {
        message = WriteRecordingFile(many.data(), (uint32_t)many.size(), 1297, 0, path.c_str());
    });
    EXPECT_EQ(CannotWriteFileMessage, message);
    EXPECT_EQ(earlier, ReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"song.qfi"}, dir.Entries());

    // A target that cannot be replaced (a folder) and a folder that is missing.
    std::string folder = dir.File("folder.qfi");
    mkdir(folder.c_str(), 0700);
    EXPECT_EQ(CannotWriteFileMessage, WriteRecordingFile(events, 2, 1297, 0, folder.c_str()));
    EXPECT_EQ(CannotCreateFileMessage, WriteRecordingFile(events, 2, 1297, 0, dir.File("no/such.qfi").c_str()));
    EXPECT_EQ(2u, dir.Entries().size());
}

} // namespace
