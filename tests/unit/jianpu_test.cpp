// Jianpu scores: the note of every degree, accidental and octave mark in
// major and minor keys, the keys chosen, lengths with dots and dashes, the
// running time of long scores, and every error with its line and column.
#include "portable/formats/jianpu.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok;
    Score score;
    ScoreError error;
};

Parsed Parse(const std::string& text)
{
    Parsed p;
    p.ok = ParseScore((const uint8_t*)text.data(), text.size(), &p.score, &p.error);
    return p;
}

std::vector<int32_t> Notes(const Score& score)
{
    std::vector<int32_t> notes;
    for (uint32_t i = 0; i < score.count; i++) notes.push_back(score.notes[i].note);
    return notes;
}

// The events of a score, with their times from the start in milliseconds.
struct Timed {
    uint64_t at;
    RecordedEvent event;
};

std::vector<Timed> Convert(const std::string& text)
{
    Parsed p = Parse(text);
    EXPECT_TRUE(p.ok) << text << ": " << p.error.text;
    if (!p.ok) return {};
    RecordedEvent* events = nullptr;
    uint32_t count = 0;
    ScoreError error;
    bool ok = ScoreEvents(p.score, &events, &count, &error);
    FreeScore(&p.score);
    EXPECT_TRUE(ok) << text << ": " << error.text;
    std::vector<Timed> timed;
    uint64_t at = 0;
    for (uint32_t i = 0; ok && i < count; i++) timed.push_back({at += events[i].delay, events[i]});
    free(events);
    return timed;
}

TEST(JianpuScore, NotesOfDegreesAccidentalsAndOctavesInMajorAndMinorKeys)
{
    struct Case {
        std::string score;
        int32_t keyId;
        std::vector<int32_t> notes; // -1 a rest
    } cases[] = {
        {"1 2 3 4 5 6 7", 1297, {60, 62, 64, 65, 67, 69, 71}},
        {"#1 b2 #4 b7 1' 1'' 5, 5,, b3, 0", 1297, {61, 61, 66, 70, 72, 84, 55, 43, 51, -1}},
        {"q#4'. s5,.. d0", 1297, {78, 55, -1}},
        {"1=A 1 7 7, 1'", 1302, {69, 80, 68, 81}},
        {"1=B 1 7", 1303, {59, 70}},
        {"1=bA 1 5", 1314, {56, 63}},
        {"1=Ab 1", 1314, {56}},
        {"1=Db 1", 1305, {61}},
        {"1=Gb 1", 1304, {66}},
        {"1=F# 1", 1304, {66}},
        {"1=A# 1", 1312, {58}},
        {"1=Bb 1", 1312, {58}},
        {"1=#C 1", 1305, {61}},
        {"1=E# 1", 1300, {65}},
        {"1=Cb 1", 1303, {59}},
        {"1=c 1", 1297, {60}},
        {"6=a 6 1 #5", 1320, {69, 60, 68}},
        {"6=A 6", 1320, {69}},
        {"6=F# 6 1", 1328, {78, 69}},
        {"6=Bb 6", 1332, {70}},
        {"6=e 6 #4 b7", 1317, {76, 73, 77}},
        {"6=c 6", 1315, {72}},
        {"6=f 6", 1318, {65}},
        // The key of the first sounding note is the recording's; a later one modulates.
        {"1=C 1 1=G 1", 1297, {60, 67}},
        {"0 1=D 1", 1298, {-1, 62}},
        // Bars, time signatures, comments, lyrics and headers in either encoding.
        {"title=\xe6\xac\xa2\xe4\xb9\x90\xe9\xa2\x82\n3/4 1 | 2 3 || % \xe6\xb3\xa8\xe9\x87\x8a 9 x\nL: \xe6\xac\xa2 x\n"
         "composer=x 1",
         1297, {60, 62, 64}},
        {"\xef\xbb\xbf" "1 2", 1297, {60, 62}},
        {"title=\xbb\xb6\xc0\xd6\xcb\xcc \x81|\x81-\r\nL: \xbb\xb6 \xc0\xd6\r\n1 2|3 % \x81\x7c\r\n", 1297, {60, 62, 64}},
        // What an input method types, in UTF-8 and (plain literals) in GBK; old Mac line ends.
        {u8"１＝Ｇ　１　２’ ５，|｜３‘——", 1301, {67, 81, 62, 83}},
        {"１＝Ｇ　１　２’ ５，|｜３‘——", 1301, {67, 81, 62, 83}},
        {u8"1=E♭ 1 1=♭E 1 ♯4 ♩=96 ♩.=60 ♭7", 1313, {63, 63, 69, 73}},
        {"1=D\r1\r\r2\r", 1298, {62, 64}},
        // A header line reads the marks after it; other words stay part of it.
        {"title=小星星 1=G 4=120\n1", 1301, {67}},
        {u8"曲名=x 1 1=A\n1", 1302, {69}},
        // Ties, slurs, tuplets and repeats with endings, written out.
        {"(1 2) 3~3 (q1 q2)~ 3[ q1 q2 q3] 2[q5 q5]", 1297, {60, 62, 64, 64, 60, 62, 60, 62, 64, 67, 67}},
        {"|: 1 2 :| 3 :| 4", 1297, {60, 62, 60, 62, 64, 64, 65}},
        {"|: 1 [1. 2 :|[2. 3 |: 4 :|: 5 :|", 1297, {60, 62, 60, 64, 65, 65, 67, 67}},
        {u8"1 ［1 2 ：｜［2 3", 1297, {60, 62, 60, 64}},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.score);
        ASSERT_TRUE(p.ok) << c.score << ": " << p.error.line << ":" << p.error.column << ": " << p.error.text;
        EXPECT_EQ(c.keyId, p.score.keyId) << c.score;
        EXPECT_EQ(c.notes, Notes(p.score)) << c.score;
        FreeScore(&p.score);
    }
}

TEST(JianpuScore, KeysAndShiftsThatPlayANote)
{
    struct Case {
        int32_t keyId, note;
        uint32_t scan; // 0: no key reaches it
        int32_t shift;
    } cases[] = {
        {1297, 60, 30, 0},  // A
        {1297, 64, 32, 0},  // D, not C
        {1297, 52, 21, 0},  // Y, not 7
        {1297, 47, 18, 0},  // E, not 4
        {1297, 71, 36, 0},  // J, not M
        {1297, 76, 39, 0},  // ;, not /
        {1297, 61, 44, 0},  // Z
        {1297, 42, 2, 0},   // 1
        {1297, 81, 27, 0},  // ]
        {1297, 82, 49, 1},  // Shift+N
        {1297, 84, 37, 1},  // Shift+K
        {1297, 93, 27, 1},  // Shift+]
        {1297, 41, 22, -1}, // Ctrl+U
        {1297, 35, 18, -1}, // Ctrl+E, not Ctrl+4
        {1297, 30, 2, -1},  // Ctrl+1
        {1297, 94, 0, 0},
        {1297, 29, 0, 0},
        {1302, 69, 30, 0},  // A in A major
        {1314, 60, 32, 0},  // D in bA major
        {1303, 92, 27, 1},  // Shift+] in B major
        {1320, 69, 35, 0},  // H in a minor
    };
    for (const Case& c : cases) {
        uint32_t scan = 0;
        int32_t shift = 0;
        bool found = ChooseKey(c.note, c.keyId, &scan, &shift);
        EXPECT_EQ(c.scan != 0, found) << c.keyId << " " << c.note;
        if (found && c.scan) {
            EXPECT_EQ(c.scan, scan) << c.keyId << " " << c.note;
            EXPECT_EQ(c.shift, shift) << c.keyId << " " << c.note;
        }
    }
}

TEST(JianpuScore, EventsAsTheKeyboardReportsThem)
{
    // 1'' needs Shift on K; 5,, is Q without a shift.
    std::vector<Timed> events = Convert("4=60 1'' 5,,");
    ASSERT_EQ(4u, events.size());
    const RecordedEvent expected[4] = {
        {0, 256, 0x00250001, 1}, {970, 257, 0xC0250001, 1}, {30, 256, 0x00100001, 0}, {970, 257, 0xC0100001, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(expected[i].delay, events[i].event.delay) << i;
        EXPECT_EQ(expected[i].message, events[i].event.message) << i;
        EXPECT_EQ(expected[i].keyData, events[i].event.keyData) << i;
        EXPECT_EQ(expected[i].octaveShift, events[i].event.octaveShift) << i;
    }
}

TEST(JianpuScore, LengthsWithDotsAndDashesLessTheGap)
{
    struct Case {
        std::string score;
        std::vector<uint64_t> presses, releases; // ms from the start
    } cases[] = {
        // At 60 a beat is 1000 ms; each note ends 30 ms early.
        {"4=60 1 q1 s1 d1 1. q1. 1 - - q1 - 0 - 1",
         {0, 1000, 1500, 1750, 1875, 3375, 4125, 7125, 10625},
         {970, 1470, 1720, 1845, 3345, 4095, 7095, 8595, 11595}},
        // s.. is 7/16 of a beat, 437.5 ms: the running time rounds half up.
        {"4=60 s1.. 1", {0, 438}, {408, 1408}},
        // Short notes keep three quarters of their length.
        {"4=240 d1 d1", {0, 31}, {24, 55}},
        // The default tempo, 90: 666.67 ms a beat.
        {"1 1 1", {0, 667, 1333}, {637, 1303, 1970}},
        {"4=60 1 4=120 1 1", {0, 1000, 1500}, {970, 1470, 1970}},
        // A tie holds one press over both notes, across a bar line too; a slur changes nothing.
        {"4=60 1~1 1 - ~ | 1 2 (3~4)", {0, 2000, 5000, 6000, 7000}, {1970, 4970, 5970, 6970, 7970}},
        // Triplets and quintuplets in the time of 2 and 4; a duplet in that of 3.
        {"4=60 3[ q1 q1 q1 ] 5[ s1 s1 s1 s1 s1 ] 1", {0, 333, 667, 1000, 1200, 1400, 1600, 1800, 2000},
         {303, 637, 970, 1170, 1370, 1570, 1770, 1970, 2970}},
        // 6/8 with a dotted crotchet at 60: a crotchet at 90.
        {"6/8 4.=60 q1 q1 q1 1. 2[ q1 q1 ]", {0, 333, 667, 1000, 2000, 2500}, {303, 637, 970, 1970, 2470, 2970}},
        {"4=60 |: 1 :| 2", {0, 1000, 2000}, {970, 1970, 2970}},
        // A triplet of quavers written as a crotchet and a quaver.
        {"4=60 3[ 1 q1 ] 1", {0, 667, 1000}, {637, 970, 1970}},
    };
    for (const Case& c : cases) {
        std::vector<Timed> events = Convert(c.score);
        std::vector<uint64_t> presses, releases;
        for (const Timed& t : events) (t.event.message == 256 ? presses : releases).push_back(t.at);
        EXPECT_EQ(c.presses, presses) << c.score;
        EXPECT_EQ(c.releases, releases) << c.score;
    }
}

TEST(JianpuScore, LongScoresEndOnTheBeat)
{
    struct Case {
        std::string head, note;
        uint64_t second, last, end; // presses of the second and the last note, end of the last note
    } cases[] = {
        {"4=96", "q1", 313, 3124688, 3125000},       // 312.5 ms a note
        {"4=70", "1", 857, 8570571, 8571429},        // 857.14 ms
        {"4=90", "s1", 167, 1666500, 1666667},       // 166.67 ms
    };
    for (const Case& c : cases) {
        std::string score = c.head;
        for (int i = 0; i < 10000; i++) score += " " + c.note;
        std::vector<Timed> events = Convert(score);
        ASSERT_EQ(20000u, events.size()) << c.head;
        EXPECT_EQ(c.second, events[2].at) << c.head;
        EXPECT_EQ(c.last, events[19998].at) << c.head;
        EXPECT_EQ(c.end - 30, events[19999].at) << c.head;
    }
}

TEST(JianpuScore, ErrorsNameTheLineAndColumn)
{
    struct Case {
        std::string score;
        uint32_t line, column;
        std::string text; // part of the message
    } cases[] = {
        {"1 2 x", 1, 5, "unknown token \"x\""},
        {"1=C\n  q8", 2, 4, "expected a note 1 to 7"},
        {"1=H 1", 1, 3, "unknown key \"H\""},
        {"1=Bbb 1", 1, 3, "unknown key"},
        {"2=C 1", 1, 1, "unknown mark"},
        {"4=5 1", 1, 1, "bad tempo"},
        {"4=501 1", 1, 1, "bad tempo"},
        {"4=x 1", 1, 1, "bad tempo"},
        {"4=-5 1", 1, 1, "bad tempo \"4=-5\""},
        {"1=-C 1", 1, 3, "unknown key \"-C\""},
        {"1 3/ 1", 1, 3, "time signature"},
        {"- 1", 1, 1, "no note before it"},
        {"1 1',", 1, 5, "not both"},
        {"1...", 1, 4, "at most two dots"},
        {"0'", 1, 2, "rest takes no octave"},
        {"q#0", 1, 2, "rest takes no #"},
        {"1x", 1, 2, "after the note"},
        {"", 1, 1, "empty score"},
        {"% nothing\n0 0\n", 2, 4, "empty score"},
        // The character itself in UTF-8, from either encoding; control characters and bytes as \xNN.
        {"title=\xe6\xad\x8c\nL: \xe6\xad\x8c 1\n1 2 \xe4\xb8\xad 3", 3, 5, u8"\"中\" is not part of jianpu"},
        {"title=\xb8\xe8\nL: \xb8\xe8 1\n1 2 \xd6\xd0 3", 3, 5, u8"\"中\" is not part of jianpu"},
        {"\xef\xbb\xbf\xe4\xb8\xad", 1, 1, u8"\"中\" is not"},
        {u8"1 ♩ 2", 1, 3, u8"\"♩\" is not"},
        {"1\r2\x01", 2, 2, "\"\\x01\" is not"},
        {"1 2\xff", 1, 4, "\"\\xFF\" is not"},
        {u8"1=Ｈ", 1, 3, u8"unknown key \"Ｈ\""},
        {"\xff\xfe" "1\0", 1, 1, "UTF-16 (what Notepad calls \"Unicode\"): save it as UTF-8"},
        {std::string("1\0 \0", 4), 1, 1, "UTF-16"},
        {std::string("\x2d\x4e" "1\0 \0" "2\0", 8), 1, 1, "UTF-16 (what Notepad calls"}, // "中1 2", no mark
        {std::string("\0\x4e\0" "1\0 \0" "2", 8), 1, 1, "UTF-16"},                        // big-endian
        {std::string("\0" "1 2 3", 6), 1, 1, "\"\\x00\" is not text but a control character"},
        {std::string("1 2\n3 \0 4", 9), 2, 3, "\"\\x00\" is not text"},
        {"title=x 1=H", 1, 11, "unknown key"},
        {"4.=400 1", 1, 1, "4.= and 7 to 333"},
        {"~ 1", 1, 1, "\"~\" with no note"},
        {"1 ]", 1, 3, "no tuplet open"},
        {"3[ 1 3[ 1 ]", 1, 6, "a tuplet inside a tuplet"},
        {"1\n3[ 1", 2, 1, "tuplet not closed"},
        {"1[ 1 ]", 1, 1, "bad tuplet \"1[\""},
        {"3[ ]", 1, 4, "an empty tuplet"},
        {"3[ 1 :| 1 ]", 1, 6, "inside a tuplet"},
        {"|: 1 |: 2 :|", 1, 6, "a repeat inside a repeat: close the one at 1:1"},
        {"1 |: 1", 1, 3, "repeat not closed"},
        {"1 [1 2", 1, 3, "repeat not closed"},
        {":| 1", 1, 1, "nothing to repeat"},
        {"1 [2 2", 1, 3, "a second ending with no first"},
        {"|: 1 [1 2 [1 3 :|", 1, 11, "the first ending is written twice (the first [1 is at 1:6): close it"},
        {"|: 1 [1 2 :| [1 3", 1, 14, "the first ending is written twice (the first [1 is at 1:6): after its :|"},
        {"|: 1 [1 2 [2 3", 1, 11, "the first ending at 1:6 is not closed with :|"},
        {"1 3[ q1 q2 ] 1", 1, 3, "the tuplet 3[ holds 2 notes: a tuplet of 3 needs 3 notes, or"},
        {"5[ 1 q1 q1 ]", 1, 1, "the tuplet 5[ holds 3 notes"},
        // Out of reach: found when the notes become key events.
        {"1 2\n 1'''", 2, 2, "no key plays this note (MIDI 96)"},
        {"1=A 1,,,", 1, 5, "no key plays this note (MIDI 33)"},
        {"6=a 7''", 1, 5, "no key plays this note (MIDI 95)"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.score);
        ScoreError error = p.error;
        if (p.ok) {
            RecordedEvent* events = nullptr;
            uint32_t count = 0;
            bool ok = ScoreEvents(p.score, &events, &count, &error);
            FreeScore(&p.score);
            free(events);
            EXPECT_FALSE(ok) << c.score;
            if (ok) continue;
        }
        EXPECT_EQ(c.line, error.line) << c.score << ": " << error.text;
        EXPECT_EQ(c.column, error.column) << c.score << ": " << error.text;
        EXPECT_NE(std::string::npos, std::string(error.text).find(c.text)) << c.score << ": " << error.text;
    }
}

} // namespace
