// The MIDI export: exact bytes, delta-times, the notes at their octave
// shift, the bass track, records that play nothing, waits beyond the largest delta-time, and failures.
#include "portable/formats/midi_export.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include "fake_platform.h"
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Build(const std::vector<RecordedEvent>& events, int32_t keyId = 1297, int32_t instrument = 0,
            int autoBass = 0)
{
    size_t size = 0;
    uint8_t* file = BuildMidiFile(events.data(), (uint32_t)events.size(), keyId, instrument, autoBass, &size);
    if (!file) return {};
    Bytes bytes(file, file + size);
    free(file);
    return bytes;
}

RecordedEvent Key(uint32_t delay, int32_t message, uint32_t scanCode, int32_t shift = 0)
{
    return {delay, message, scanCode << 16 | 1, shift};
}

// The bytes of track t (0 or 1) without its header.
Bytes Track(const Bytes& file, int t)
{
    size_t at = 14;
    for (;; t--) {
        if (at + 8 > file.size()) return {};
        uint32_t length = (uint32_t)file[at + 4] << 24 | file[at + 5] << 16 | file[at + 6] << 8 | file[at + 7];
        if (t == 0) return Bytes(file.begin() + at + 8, file.begin() + at + 8 + length);
        at += 8 + length;
    }
}

// The events of a track body after its tempo and program change: each as
// its delta-time and its bytes.
struct TrackEvent {
    uint32_t delta;
    Bytes bytes;
};
std::vector<TrackEvent> Events(const Bytes& body)
{
    std::vector<TrackEvent> events;
    size_t at = 10;
    while (at < body.size()) {
        uint32_t delta = 0;
        do delta = delta << 7 | (body[at] & 0x7F);
        while (body[at++] & 0x80);
        size_t n = body[at] == 0xFF ? 3 + body[at + 2] : 3;
        events.push_back({delta, Bytes(body.begin() + at, body.begin() + at + n)});
        at += n;
    }
    return events;
}

TEST(MidiExportBytes, WorkedExampleIs54Bytes)
{
    // A key of octave 4, semitone 0 (R) pressed after 1000 ms, released 500 ms later.
    const Bytes expected = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0xC0,
                            0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x20, 0x00, 0xFF, 0x51, 0x03, 0x0B, 0x96,
                            0xC6, 0x00, 0xC0, 0x00, 0x81, 0x7C, 0x90, 0x30, 0x7F, 0x7E, 0x80, 0x30, 0x7F, 0x83,
                            0x0F, 0x90, 0x01, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    std::vector<RecordedEvent> events = {Key(1000, 256, 19), {500, 257, 0xC0130001, 0}};
    EXPECT_EQ(expected, Build(events));

    char dir[] = "/tmp/qf-midi-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    std::string path = std::string(dir) + "/song.mid";
    ASSERT_EQ(1, ExportMidiFile(events.data(), 2, 1297, 0, 0, path.c_str()));
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    Bytes written(100);
    written.resize(fread(written.data(), 1, written.size(), f));
    fclose(f);
    EXPECT_EQ(expected, written);
    std::system((std::string("rm -rf ") + dir).c_str());
}

TEST(MidiExportBytes, DelayTimesAsVariableLengthQuantities)
{
    struct {
        uint32_t ms;
        Bytes delta;
    } cases[] = {{0, {0x00}}, {3, {0x00}}, {100, {0x19}}, {1000, {0x81, 0x7C}}, {65000, {0x81, 0x80, 0x2F}}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.ms);
        Bytes body = Track(Build({Key(c.ms, 256, 30)}), 0);
        ASSERT_EQ(10 + c.delta.size() + 3 + 13, body.size());
        EXPECT_EQ(c.delta, Bytes(body.begin() + 10, body.begin() + 10 + c.delta.size()));
    }
    EXPECT_EQ(16431u, DelayTicks(65000));
    EXPECT_EQ(1085767261u, DelayTicks(0xFFFFFFFFu)); // the product does not overflow
}

TEST(MidiExportBytes, NotesSoundAtTheirKeyWithTheOctaveShift)
{
    // The first note of each track (-1: left out, so R's press 7000 ms later
    // comes first) for a record followed by that press; instrument 40.
    struct Case {
        int32_t keyId;
        RecordedEvent event;
        int melody, bass;
    } cases[] = {
        {1302, Key(0, 256, 30, 1), 81, 69},
        {1302, Key(0, 300, 30, -1), 57, 45}, // any message but a release is a press, as playback has it
        {1328, Key(0, 256, 30, 0), 69, 57},  // #f minor transposes as A major
        {1297, Key(0, 256, 36, 1), 83, 71},  // 7' 1'' 2'' 3'' of a three-octave scale
        {1297, Key(0, 256, 37, 1), 84, 72},
        {1297, Key(0, 256, 38, 1), 86, 74},
        {1297, Key(0, 256, 39, 1), 88, 76},
        {1297, Key(0, 256, 40, 6), -1, -1},  // beyond 127
        {1314, Key(0, 256, 2, -3), 2, -1},   // the bass below 0
        {1297, Key(0, 256, 30, INT32_MIN), -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event.octaveShift);
        Bytes file = Build({c.event, Key(7000, 256, 19)}, c.keyId, 40, 1);
        for (int t = 0; t < 2; t++) {
            Bytes body = Track(file, t);
            ASSERT_EQ(40, body[9]);
            TrackEvent first = Events(body)[0];
            uint8_t channel = t ? 15 : 0;
            int want = t ? c.bass : c.melody;
            if (want < 0) {
                EXPECT_EQ(DelayTicks(7000), first.delta);
                EXPECT_EQ(0x90 | channel, first.bytes[0]);
            } else {
                EXPECT_EQ(0u, first.delta);
                EXPECT_EQ((Bytes{(uint8_t)(0x90 | channel), (uint8_t)want, 0x7F}), first.bytes);
            }
        }
    }
}

TEST(MidiExportBytes, AutoBassAddsAFormat1TrackOnChannel16)
{
    std::vector<RecordedEvent> events = {Key(1000, 256, 30), Key(1000, 257, 30)};
    Bytes file = Build(events, 1297, 5, 1);
    EXPECT_EQ((Bytes{0, 1, 0, 2, 0x00, 0xC0}), Bytes(file.begin() + 8, file.begin() + 14));
    EXPECT_EQ(33u, Track(file, 0).size());
    const Bytes bass = {0x00, 0xFF, 0x51, 0x03, 0x0B, 0x96, 0xC6, 0x00, 0xCF, 0x05, 0x81, 0x7C, 0x9F, 48,
                        0x7F, 0x81, 0x7C, 0x8F, 48,   0x7F, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(bass, Track(file, 1));
    EXPECT_EQ(14 + 8 + 33 + 8 + bass.size(), file.size());
}

TEST(MidiExportTiming, RecordsThatPlayNothingPassTheirDelayOn)
{
    // Between press and release: scan code 60 (no key), Esc, and a scan code
    // of 255; the release comes 1000 ms after the press in all.
    std::vector<RecordedEvent> withGaps = {Key(1000, 256, 30), Key(400, 256, 60), Key(300, 257, 1),
                                           {200, 256, 0xFFFFFFFF, 0}, Key(100, 257, 30)};
    std::vector<RecordedEvent> plain = {Key(1000, 256, 30), Key(1000, 257, 30)};
    EXPECT_EQ(Build(plain, 1297, 0, 1), Build(withGaps, 1297, 0, 1));

    // Only unplayable records: an empty song, and no key is needed for it.
    std::vector<RecordedEvent> nothing = {Key(5, 256, 0), Key(5, 257, 54)};
    EXPECT_EQ(Build({}, 1297), Build(nothing, 999));
    EXPECT_EQ(54u - 9u, Build({}, 1).size()); // the worked example less its two notes
}

TEST(MidiExportTiming, WaitsBeyondTheLargestDeltaTimeAreSplit)
{
    // Three waits of 2^32 - 1 ms, one of them carried over an unplayable
    // record: more than 2^32 ms in one wait.
    std::vector<RecordedEvent> events = {Key(0xFFFFFFFF, 256, 30), Key(0xFFFFFFFF, 256, 0),
                                         Key(0xFFFFFFFF, 257, 30)};
    for (int bass = 0; bass <= 1; bass++) {
        Bytes file = Build(events, 1297, 0, bass);
        for (int t = 0; t <= bass; t++) {
            SCOPED_TRACE(t);
            std::vector<TrackEvent> track = Events(Track(file, t));
            uint64_t time = 0;
            std::vector<uint64_t> noteTimes;
            for (const TrackEvent& e : track) {
                EXPECT_LE(e.delta, LargestDeltaTime);
                time += e.delta;
                if (e.bytes[0] == 0xFF && e.bytes[1] == 0x01) {
                    EXPECT_EQ(LargestDeltaTime, e.delta);
                }
                if ((e.bytes[0] & 0xE0) == 0x80 && e.bytes[1] != 1) noteTimes.push_back(time);
            }
            ASSERT_EQ(2u, noteTimes.size());
            EXPECT_EQ(DelayTicks(0xFFFFFFFFu), noteTimes[0]);
            EXPECT_EQ(DelayTicks(0xFFFFFFFFu) + DelayTicks(2 * (uint64_t)0xFFFFFFFFu), noteTimes[1]);
            EXPECT_EQ(4u + 8u, track.size() - (t == 0 ? 5 : 3)); // 4 + 8 fillers beside the notes and tail
        }
    }
}

std::vector<std::string> Entries(const char* dir)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir);
    while (dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
    return names;
}

TEST(MidiExportFailure, AFailedExportKeepsTheEarlierFile)
{
    char dir[] = "/tmp/qf-midi-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    std::string path = std::string(dir) + "/song.mid";
    std::vector<RecordedEvent> events = {Key(1000, 256, 30), Key(1000, 257, 30)};
    ASSERT_EQ(1, ExportMidiFile(events.data(), 2, 1297, 0, 0, path.c_str()));
    Bytes earlier = Build(events);

    // A key without transposition.
    EXPECT_EQ(0, ExportMidiFile(events.data(), 2, 1306, 0, 0, path.c_str()));
    EXPECT_TRUE(Build(events, 1306).empty());

    // The disk fills up in the middle of a long export.
    std::vector<RecordedEvent> many(4000, Key(1000, 256, 30));
    int written = 0;
    WithFileSizeLimit(4096, [&] {
        written = ExportMidiFile(many.data(), (uint32_t)many.size(), 1297, 0, 1, path.c_str());
    });
    EXPECT_EQ(0, written);

    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    Bytes kept(200);
    kept.resize(fread(kept.data(), 1, kept.size(), f));
    fclose(f);
    EXPECT_EQ(earlier, kept);
    EXPECT_EQ(std::vector<std::string>{"song.mid"}, Entries(dir));
    std::system((std::string("rm -rf ") + dir).c_str());
}

} // namespace
