// The performance engine: notes of the key map in every key and shift, the
// exact bytes of each message kind, the octave latch, the keys let go when
// the focus leaves, auto bass, Esc, replayed records of any kind, the two
// scroll bars, the mouse hit test and the output device's life.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "portable/keys/keymap.h"
#include "portable/play/midi_output.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "fake_platform.h"
#include "key_table.h"
#include "portable/song/recording.h"
#include "portable/song/replay.h"

using Words = std::vector<std::string>;

static std::string Word(unsigned status, unsigned d1, unsigned d2)
{
    char text[16];
    snprintf(text, sizeof(text), "%08x", status | d1 << 8 | d2 << 16);
    return text;
}

static uint32_t Down(int scan) { return 1u | (uint32_t)scan << 16; }
static uint32_t Repeat(int scan) { return 1u | (uint32_t)scan << 16 | 1u << 30; }
static uint32_t Up(int scan) { return 1u | (uint32_t)scan << 16 | 3u << 30; }

static void Press(int scan) { PlayKeyEvent(nullptr, 256, Down(scan)); }
static void Release(int scan) { PlayKeyEvent(nullptr, 257, Up(scan)); }

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartCapture();
        ASSERT_TRUE(StartupOpenOutput());
        StartCapture(); // forget the start-up lines; keep the device open
        gSettings.switchOn = true;
        gSettings.midiOut = (MidiOutHandle)(-1 + 2);
    }
};

// The playable keys with their notes in C major, from the shared key table.
struct ScanNote { int scan; int note; };
static std::vector<ScanNote> CMajorNotes()
{
    std::vector<ScanNote> notes;
    for (const KeyTableRow& r : ReadKeyTable()) notes.push_back({r.scan, r.note});
    return notes;
}
static const std::vector<ScanNote> kCMajor = CMajorNotes();

TEST(KeyMapTable, EveryEntryIsTheKeyTables)
{
    std::vector<KeyTableRow> table = ReadKeyTable();
    ASSERT_EQ(45u, table.size());
    int playable = 0;
    for (int scan = 0; scan < 256; scan++)
        if (PlayableKey((uint32_t)scan)) playable++;
    EXPECT_EQ(45, playable);
    for (int scan : {0, 1, 14, 15, 28, 29, 41, 42, 43, 54, 55, 70, 255}) EXPECT_EQ(nullptr, PlayableKey(scan)) << scan;
    for (const KeyTableRow& k : table) {
        const KeyMapEntry* e = PlayableKey((uint32_t)k.scan);
        ASSERT_NE(nullptr, e) << k.scan;
        EXPECT_EQ(k.octave, e->octave) << "scan " << k.scan;
        EXPECT_EQ(k.semitone, e->semitone) << "scan " << k.scan;
        EXPECT_EQ(k.label, e->label) << "scan " << k.scan;
        EXPECT_EQ(k.row, e->row) << "scan " << k.scan;
        EXPECT_EQ(k.column, e->column) << "scan " << k.scan;
        EXPECT_EQ(k.note, 12 * e->octave + e->semitone) << "scan " << k.scan;
    }
    // The keypad's / arrives as 53 with the extended flag, which is no part of the index.
    EXPECT_EQ(53u, ScanCodeOf(53u << 16 | 1u << 24));
}

TEST(KeyMapTable, TranspositionsAndRanges)
{
    const int expected[][2] = {{1297, 0},  {1298, 2},  {1299, 4},  {1300, 5},  {1301, 7},  {1302, 9},
                               {1303, -1}, {1304, 6},  {1305, 1},  {1312, -2}, {1313, 3},  {1314, -4},
                               {1315, 3},  {1316, 5},  {1317, 7},  {1318, -4}, {1319, -2}, {1320, 0},
                               {1321, 2},  {1328, 9},  {1329, 4},  {1330, -1}, {1331, 6},  {1332, 1}};
    for (const auto& k : expected) {
        int32_t t = 99;
        ASSERT_TRUE(Transposition(k[0], &t)) << k[0];
        EXPECT_EQ(k[1], t) << k[0];
    }
    int32_t t = 0;
    for (int id : {1296, 1306, 1311, 1322, 1327, 1333, 0, -1}) EXPECT_FALSE(Transposition(id, &t)) << id;

    int low = 1000, high = -1000, bassLow = 1000, bassHigh = -1000;
    for (const auto& k : expected)
        for (const ScanNote& key : kCMajor)
            for (int shift = -1; shift <= 1; shift++) {
                const KeyMapEntry* e = PlayableKey((uint32_t)key.scan);
                int32_t note = 0, bass = 0;
                ASSERT_TRUE(NoteNumber(e->octave + shift, e->semitone, k[0], &note));
                ASSERT_TRUE(NoteNumber(e->octave + shift - 1, e->semitone, k[0], &bass));
                low = std::min(low, note), high = std::max(high, note);
                bassLow = std::min(bassLow, bass), bassHigh = std::max(bassHigh, bass);
            }
    EXPECT_EQ(26, low);
    EXPECT_EQ(102, high);
    EXPECT_EQ(14, bassLow);
    EXPECT_EQ(90, bassHigh);
}

TEST_F(Engine, EveryKeySoundsItsNoteInSeveralKeysAndAllShifts)
{
    const int keys[][2] = {{1297, 0}, {1302, 9}, {1303, -1}, {1314, -4}, {1320, 0}, {1331, 6}};
    for (const auto& k : keys)
        for (int shift = -1; shift <= 1; shift++) {
            StartCapture();
            gSettings.switchOn = true;
            gSettings.midiOut = 1;
            gSettings.keyId = k[0];
            gFake.shift = shift == 1;
            gFake.control = shift == -1;
            Words expected;
            for (const ScanNote& key : kCMajor) {
                Press(key.scan);
                Release(key.scan);
                int note = key.note + k[1] + 12 * shift;
                expected.push_back(Word(0x90, note, 127));
                expected.push_back(Word(0x80, note, 0));
            }
            EXPECT_EQ(expected, CaptureWords()) << "key " << k[0] << " shift " << shift;
        }
}

TEST_F(Engine, KnownNotes)
{
    struct Case { int key; int scan; bool shift; bool ctrl; int note; };
    const Case cases[] = {
        {1297, 30, false, false, 60}, {1302, 30, false, false, 69}, {1320, 30, false, false, 60},
        {1314, 30, false, false, 56}, {1314, 2, false, true, 26},   {1302, 27, true, false, 102},
        {1297, 5, false, false, 47},  {1297, 18, false, false, 47}, {1297, 32, false, false, 64},
        {1297, 46, false, false, 64}, {1297, 39, false, false, 76}, {1297, 53, false, false, 76},
    };
    for (const Case& c : cases) {
        StartCapture();
        gSettings.switchOn = true;
        gSettings.midiOut = 1;
        gSettings.keyId = c.key;
        gSettings.autoBass = true;
        gFake.shift = c.shift;
        gFake.control = c.ctrl;
        Press(c.scan);
        Words expected = {Word(0x90, c.note, 127), Word(0x9F, c.note - 12, 127)};
        EXPECT_EQ(expected, CaptureWords()) << c.key << " " << c.scan;
    }
}

TEST_F(Engine, MessageBytes)
{
    EXPECT_EQ(0x007f3c90u, PackShortMessage(0x90, 0, 60, 127));
    SendPitchBend(1, 0, 8191);
    SendPitchBend(1, 2, 0);
    SendPitchBend(1, 0, 16382);
    SendProgramChange(1, 3, 55);
    SilenceAllChannels();
    Words expected = {"003f7fe0", "000000e2", "007f7ee0", "000037c3"};
    for (int c = 0; c < 16; c++) expected.push_back(Word(0xB0 + c, 123, 0));
    EXPECT_EQ(expected, CaptureWords());
}

TEST_F(Engine, ReleaseEndsWhatItsPressSent)
{
    // A in C major on channel 1 is held while a setting changes; its release
    // ends the notes its press began, on their channels.
    struct Case { const char* change; bool bassAtPress; void (*apply)(); Words expected; };
    const Case cases[] = {
        {"key to 1=A", false, [] { gSettings.keyId = 1302; }, {"007f3c90", "00003c80"}},
        {"channel to 5", false, [] { gSettings.channel = 4; }, {"007f3c90", "00003c80"}},
        {"auto bass off", true, [] { gSettings.autoBass = false; }, {"007f3c90", "007f309f", "00003c80", "0000308f"}},
        {"auto bass on", false, [] { gSettings.autoBass = true; }, {"007f3c90", "00003c80"}},
        {"all three", true, [] { gSettings.keyId = 1298, gSettings.channel = 7, gSettings.autoBass = false; },
         {"007f3c90", "007f309f", "00003c80", "0000308f"}},
    };
    for (const Case& c : cases) {
        StartCapture();
        gSettings.switchOn = true;
        gSettings.midiOut = 1;
        gSettings.keyId = 1297, gSettings.channel = 0, gSettings.autoBass = c.bassAtPress;
        Press(30);
        c.apply();
        Release(30);
        EXPECT_EQ(c.expected, CaptureWords()) << c.change;
    }
    // The same for replay: the release ends the note its press began.
    StartCapture();
    gSettings.switchOn = true;
    gSettings.midiOut = 1;
    gSettings.keyId = 1297, gSettings.channel = 0, gSettings.autoBass = false;
    ReplayKeyEvent(nullptr, 256, Down(30), 0);
    gSettings.keyId = 1298, gSettings.channel = 3;
    ReplayKeyEvent(nullptr, 257, Up(30), 0);
    ReplayKeyEvent(nullptr, 257, Up(31), 0); // S was never pressed: nothing to end
    EXPECT_EQ((Words{"007f3c90", "00003c80"}), CaptureWords());
}

TEST_F(Engine, AutoRepeatSoundsNothingMore)
{
    Press(30);
    for (int i = 0; i < 5; i++) PlayKeyEvent(nullptr, 256, Repeat(30));
    Release(30);
    EXPECT_EQ((Words{"007f3c90", "00003c80"}), CaptureWords());
    EXPECT_EQ((std::vector<std::string>{"30 1 0 0", "30 0 0 0"}), gFake.drawn);
}

TEST_F(Engine, ShiftLatchHoldsUntilEveryKeyIsUp)
{
    gFake.shift = true;
    Press(30);            // A an octave up
    gFake.shift = false;  // Shift let go, A still held
    gFake.control = true; // Ctrl now: no effect while a key is held
    Press(31);            // S joins the raised chord
    Release(30);
    Release(31);          // the latch is free again
    Press(32);            // Ctrl is down now: D an octave lower
    Release(32);
    EXPECT_EQ((Words{"007f4890", "007f4a90", "00004880", "00004a80", "007f3490", "00003480"}), CaptureWords());
    EXPECT_EQ(0, gSettings.octaveState);
}

TEST_F(Engine, ShiftAndControlTogetherRaise)
{
    gFake.shift = gFake.control = true;
    Press(30);
    EXPECT_EQ(1, gSettings.octaveState);
    EXPECT_EQ((Words{"007f4890"}), CaptureWords());
    // A latched key pressed with Shift while an unshifted key is held shows blue.
    StartCapture();
    gSettings.switchOn = true;
    gSettings.midiOut = 1;
    Press(30);
    gFake.shift = true;
    Press(31);
    EXPECT_EQ(0, gSettings.octaveState);
    EXPECT_EQ((Words{"007f3c90", "007f3e90"}), CaptureWords());
}

TEST_F(Engine, UncountedReleaseNeverDrivesACounterBelowZero)
{
    // Esc while A is held, then A's release: its note-off goes out, no counter goes negative.
    gFake.shift = true;
    Press(30);
    EscapeKey();
    Release(30);
    EXPECT_EQ(0, gSettings.heldCount[0]);
    EXPECT_EQ(0, gSettings.heldCount[1]);
    EXPECT_EQ(0, gSettings.heldCount[2]);
    // The latch is free: the next press samples the modifiers afresh.
    gFake.shift = false;
    Press(31);
    Release(31);
    Words words = CaptureWords();
    ASSERT_EQ(1u + 16u + 2u, words.size()); // Esc ended A: its release sends nothing more
    EXPECT_EQ("007f3e90", words[17]);       // S unshifted
    EXPECT_EQ("00003e80", words[18]);

    // A release whose press went elsewhere, while another key is latched up:
    // the held key keeps its latch and its own release finds its octave.
    StartCapture();
    gSettings.switchOn = true;
    gSettings.midiOut = 1;
    gFake.shift = true;
    Press(31);           // S up an octave
    gFake.shift = false;
    Release(30);         // stray release of A
    EXPECT_EQ(1, gSettings.octaveState);
    EXPECT_EQ(1, gSettings.heldCount[2]);
    Release(31);
    EXPECT_EQ((Words{"007f4a90", "00004a80"}), CaptureWords());
    EXPECT_EQ(0, gSettings.heldCount[2]);
    EXPECT_EQ(0, gSettings.octaveState);

    // Shift with A and S (latched up), Esc, then both releases: neither was
    // counted, so neither frees the latch nor sends anything, and the
    // recording keeps both releases in the raised octave.
    StartCapture();
    gSettings.switchOn = true;
    gSettings.midiOut = 1;
    BeginRecording(0);
    gFake.shift = true;
    Press(30);
    Press(31);
    gFake.shift = false;
    EscapeKey();
    Release(30);
    Release(31);
    words = CaptureWords();
    ASSERT_EQ(2u + 16u, words.size());
    EXPECT_EQ("007f4890", words[0]);
    EXPECT_EQ("007f4a90", words[1]);
    ASSERT_EQ(4u, gRecording.count);
    for (uint32_t i = 0; i < 4; i++) EXPECT_EQ(1, gRecording.events[i].octaveShift) << i;
    EXPECT_EQ(257, gRecording.events[3].message);
}

TEST_F(Engine, FocusLeavingLetsGoOfEveryHeldKeyOnce)
{
    // A with Shift, S, and D with the mouse, auto bass on, while recording;
    // then the focus goes to another window.
    gSettings.autoBass = true;
    BeginRecording(0);
    gFake.clock = 100;
    gFake.shift = true;
    Press(30);
    gFake.shift = false;
    gFake.clock = 150;
    Press(31);
    gSettings.mouseKey = 32;
    PlayKeyEvent(nullptr, 256, 32u << 16);
    gFake.drawn.clear();
    gFake.clock = 400;
    LetGoOfHeldKeys(nullptr);
    EXPECT_EQ((Words{"007f4890", "007f3c9f", "007f4a90", "007f3e9f", "007f4c90", "007f409f",
                     "00004880", "00003c8f", "00004a80", "00003e8f", "00004c80", "0000408f"}),
              CaptureWords());
    EXPECT_EQ((std::vector<std::string>{"30 0 0 0", "31 0 0 0", "32 0 0 0"}), gFake.drawn);
    EXPECT_EQ(0, gSettings.heldCount[2]);
    EXPECT_EQ(0, gSettings.octaveState);
    EXPECT_EQ(NoMouseKey, gSettings.mouseKey);
    // Each release is recorded with its real delay, as its key-up would be.
    const RecordedEvent expected[6] = {{100, 256, Down(30), 1},      {50, 256, Down(31), 1},
                                       {0, 256, 32u << 16, 1},       {250, 257, Up(30), 1},
                                       {0, 257, Up(31), 1},          {0, 257, 32u << 16, 1}};
    ASSERT_EQ(6u, gRecording.count);
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(expected[i].delay, gRecording.events[i].delay) << i;
        EXPECT_EQ(expected[i].message, gRecording.events[i].message) << i;
        EXPECT_EQ(expected[i].keyData, gRecording.events[i].keyData) << i;
        EXPECT_EQ(expected[i].octaveShift, gRecording.events[i].octaveShift) << i;
    }

    // The key-ups that come later, and S still repeating when the focus is
    // back, change nothing; the next press samples the modifiers afresh.
    gFake.clock = 500;
    PlayKeyEvent(nullptr, 256, Repeat(31));
    Release(30);
    Release(31);
    EXPECT_EQ(6u, gRecording.count);
    EXPECT_EQ(0, gSettings.heldCount[0] + gSettings.heldCount[1] + gSettings.heldCount[2]);
    EXPECT_EQ(0, gSettings.octaveState);
    gFake.control = true;
    Press(30);
    Words words = CaptureWords();
    EXPECT_EQ("007f3090", words[words.size() - 2]);
    EXPECT_EQ(-1, gSettings.octaveState);
    EXPECT_EQ(1, gSettings.heldCount[0]);
}

TEST_F(Engine, RepeatAfterEscLatchesSilently)
{
    Press(30);
    EscapeKey();
    StartCapture();
    gSettings.switchOn = true;
    gSettings.midiOut = 1;
    gFake.control = true;
    PlayKeyEvent(nullptr, 256, Repeat(30)); // A still down: latches, no note
    EXPECT_EQ(-1, gSettings.octaveState);
    EXPECT_EQ(1, gSettings.heldCount[0]);
    EXPECT_TRUE(CaptureWords().empty());
    Release(30);
    EXPECT_TRUE(CaptureWords().empty()); // the silent press began nothing
    EXPECT_EQ(0, gSettings.heldCount[0]);
}

TEST_F(Engine, AutoBassDoublesOnChannelSixteen)
{
    gSettings.autoBass = true;
    Press(30);
    Release(30);
    EXPECT_EQ((Words{"007f3c90", "007f309f", "00003c80", "0000308f"}), CaptureWords());
}

TEST_F(Engine, EscSilencesEverythingAndKeepsSettings)
{
    gSettings.velocity = 40;
    gSettings.octaveState = 1;
    EscapeKey();
    Words expected;
    for (int c = 0; c < 16; c++) expected.push_back(Word(0xB0 + c, 123, 0));
    EXPECT_EQ(expected, CaptureWords());
    EXPECT_EQ(40, gSettings.velocity);
    EXPECT_EQ(1, gSettings.octaveState);
}

TEST_F(Engine, ReplayUsesRecordedShiftAndCurrentSettings)
{
    gSettings.keyId = 1302;
    gSettings.channel = 2;
    gSettings.velocity = 90;
    gSettings.autoBass = true;
    ReplayKeyEvent(nullptr, 256, Down(30), 1);
    ReplayKeyEvent(nullptr, 257, Up(30), 1);
    ReplayKeyEvent(nullptr, 256, Down(54), 0); // unplayable: skipped
    ReplayKeyEvent(nullptr, 256, 200u << 16, 0);
    EXPECT_EQ((Words{Word(0x92, 81, 90), Word(0x9F, 69, 90), Word(0x82, 81, 0), Word(0x8F, 69, 0)}), CaptureWords());
    EXPECT_EQ((std::vector<std::string>{"30 1 1 1", "30 0 1 1"}), gFake.drawn);
    EXPECT_EQ(0, gSettings.heldCount[2]); // replay never touches the latch
}

// Playback and the walk that the render, the export and the key score take
// give the same notes: each case's events replayed both ways, in 1=D on
// channel 3 at velocity 100, against the notes worked out by hand.
TEST_F(Engine, PlaybackAndTheRecordingWalkSoundTheSameNotes)
{
    struct Case {
        const char* what;
        bool bass;
        std::vector<RecordedEvent> events; // delay, message, keyData, octave shift
        Words expected;
    };
    const Case cases[] = {
        {"a re-press keeps both notes on", false,
         {{0, 256, Down(30), 0}, {5, 256, Down(30), 0}, {5, 257, Up(30), 0}, {5, 257, Up(30), 0}},
         {Word(0x92, 62, 100), Word(0x92, 62, 100), Word(0x82, 62, 0), Word(0x82, 62, 0)}},
        {"a chord let go in another order", false,
         {{0, 256, Down(30), 0}, {0, 256, Down(32), 0}, {0, 256, Down(34), 0}, {9, 257, Up(30), 0},
          {0, 257, Up(34), 0}, {3, 257, Up(32), 0}},
         {Word(0x92, 62, 100), Word(0x92, 66, 100), Word(0x92, 69, 100), Word(0x82, 62, 0), Word(0x82, 69, 0),
          Word(0x82, 66, 0)}},
        {"a shift, released in another", false,
         {{0, 256, Down(30), 1}, {7, 257, Up(30), 0}, {1, 256, Down(31), -1}, {1, 257, Up(31), -1}},
         {Word(0x92, 74, 100), Word(0x82, 74, 0), Word(0x92, 52, 100), Word(0x82, 52, 0)}},
        {"a bass an octave below on channel 16", true,
         {{0, 256, Down(30), 0}, {4, 257, Up(30), 0}},
         {Word(0x92, 62, 100), Word(0x9F, 50, 100), Word(0x82, 62, 0), Word(0x8F, 50, 0)}},
        {"a release with no press", false,
         {{0, 257, Up(31), 0}, {2, 256, Down(31), 0}, {2, 257, Up(31), 0}, {2, 257, Up(31), 0}},
         {Word(0x92, 64, 100), Word(0x82, 64, 0)}},
    };
    for (const Case& c : cases) {
        StartCapture();
        gSettings.switchOn = true;
        gSettings.midiOut = 1;
        gSettings.keyId = 1298, gSettings.channel = 2, gSettings.velocity = 100, gSettings.autoBass = c.bass;
        for (const RecordedEvent& e : c.events) ReplayKeyEvent(nullptr, (uint32_t)e.message, e.keyData, e.octaveShift);
        EXPECT_EQ(c.expected, CaptureWords()) << "playback: " << c.what;

        // Each message comes at the time of the event that sent it.
        struct Walked { const Case* c; Words words; bool onTime; } walked = {&c, {}, true};
        ReplaySettings settings = {1298, 2, 100, c.bass};
        ReplayRecording(c.events.data(), (uint32_t)c.events.size(), settings, false,
                        [](void* context, uint64_t ms, uint32_t event, const NoteMessage& m) {
                            Walked* w = (Walked*)context;
                            uint64_t due = 0;
                            for (uint32_t i = 0; i <= event; i++) due += w->c->events[i].delay;
                            w->onTime = w->onTime && ms == due;
                            w->words.push_back(Word((m.velocity ? 0x90u : 0x80u) | m.channel, m.note, m.velocity));
                        },
                        &walked);
        EXPECT_EQ(c.expected, walked.words) << "walk: " << c.what;
        EXPECT_TRUE(walked.onTime) << c.what;
    }
}

TEST_F(Engine, RecordsFromAFileSoundWhenTheirNoteIsInRange)
{
    // Only 257 is a release; any other message is a press. Any octave shift
    // sounds when its note falls in 0..127; the others send nothing, and no
    // shift, however large, overflows the note's arithmetic.
    gSettings.autoBass = true;
    ReplayKeyEvent(nullptr, 256, Down(27), 2);  // ] two octaves up: 81 + 24 = 105, bass 93
    ReplayKeyEvent(nullptr, 300, Down(30), 0);  // a press of A: 60, bass 48
    ReplayKeyEvent(nullptr, 0, Down(30), -4);   // 60 - 48 = 12; its bass 0
    ReplayKeyEvent(nullptr, 257, Up(30), -4);
    ReplayKeyEvent(nullptr, 256, Down(30), -5); // 0 sounds; its bass -12 does not
    ReplayKeyEvent(nullptr, 256, Down(30), 7);  // 144, bass 132: too high
    ReplayKeyEvent(nullptr, 256, Down(2), -4);  // 42 - 48: too low
    ReplayKeyEvent(nullptr, 256, Down(30), 2147483647);
    ReplayKeyEvent(nullptr, 257, Up(30), -2147483647 - 1);
    ReplayKeyEvent(nullptr, 256, Down(13), 2147483647);
    ReplayKeyEvent(nullptr, 256, Down(2), -2147483647 - 1);
    EXPECT_EQ((Words{"007f6990", "007f5d9f", "007f3c90", "007f309f", "007f0c90", "007f009f", "00000c80",
                     "0000008f", "007f0090"}),
              CaptureWords());
    // The same in a key a semitone below: ] raised by two is 104.
    StartCapture();
    gSettings.switchOn = true;
    gSettings.midiOut = 1;
    gSettings.keyId = 1303;
    ReplayKeyEvent(nullptr, 1, Down(27), 2);
    ReplayKeyEvent(nullptr, 256, Down(30), -5); // -1: too low
    EXPECT_EQ((Words{"007f6890"}), CaptureWords());
}

TEST_F(Engine, UnplayableKeysAndUnknownKeyIdSendNothing)
{
    for (int scan : {1, 29, 42, 54, 57, 75}) {
        Press(scan);
        Release(scan);
    }
    gSettings.keyId = 1306;
    Press(30);
    Release(30);
    EXPECT_TRUE(CaptureWords().empty());
}

TEST(ScrollBars, VelocityLimits)
{
    int32_t v = 0;
    ASSERT_TRUE(VelocityAfterScroll(127, 0, 0, &v));
    EXPECT_EQ(127, v);
    ASSERT_TRUE(VelocityAfterScroll(5, 3, 0, &v));
    EXPECT_EQ(1, v);
    ASSERT_TRUE(VelocityAfterScroll(60, 2, 0, &v));
    EXPECT_EQ(68, v);
    ASSERT_TRUE(VelocityAfterScroll(60, 1, 0, &v));
    EXPECT_EQ(59, v);
    ASSERT_TRUE(VelocityAfterScroll(60, 5, 1, &v));
    EXPECT_EQ(127, v);
    ASSERT_TRUE(VelocityAfterScroll(60, 4, 127, &v));
    EXPECT_EQ(1, v);
    EXPECT_FALSE(VelocityAfterScroll(60, 8, 0, &v)); // SB_ENDSCROLL
    EXPECT_FALSE(VelocityAfterScroll(60, 6, 0, &v)); // SB_TOP
}

TEST(ScrollBars, PitchBendSpringsBack)
{
    int32_t v = -1;
    ASSERT_TRUE(PitchBendAfterScroll(5, 1, &v));
    EXPECT_EQ(16382, v); // dragged to the top
    ASSERT_TRUE(PitchBendAfterScroll(5, 16383, &v));
    EXPECT_EQ(0, v);
    ASSERT_TRUE(PitchBendAfterScroll(5, 0, &v));
    EXPECT_EQ(16383, v);
    ASSERT_TRUE(PitchBendAfterScroll(4, 100, &v));
    EXPECT_EQ(8191, v); // let go anywhere: back to rest
    for (int code : {0, 1, 2, 3, 6, 7, 8}) EXPECT_FALSE(PitchBendAfterScroll(code, 100, &v)) << code;
}

TEST(MouseKeys, HitTestAtTheEdges)
{
    const int left = 100, top = 200;
    EXPECT_EQ(16, MouseKeyAt(left + 0, top + 39, left, top));   // row 1, first 19 pixels: Q
    EXPECT_EQ(16, MouseKeyAt(left + 18, top + 40, left, top));
    EXPECT_EQ(2, MouseKeyAt(left, top, left, top));             // row 0 first key: 1
    EXPECT_EQ(30, MouseKeyAt(left + 38 * 1 + 5, top + 80, left, top)); // row 2 column 2: A
    EXPECT_EQ(-1, MouseKeyAt(left + 5, top + 80, left, top));   // row 2 column 0: empty
    for (int dx = 456; dx <= 475; dx++) {
        EXPECT_EQ(-1, MouseKeyAt(left + dx, top + 10, left, top)) << dx;
        EXPECT_EQ(-1, MouseKeyAt(left + dx, top + 90, left, top)) << dx;
        EXPECT_EQ(27, MouseKeyAt(left + dx, top + 50, left, top)) << dx; // ]
    }
    EXPECT_EQ(44, MouseKeyAt(left + 60, top + 156, left, top)); // bottom edge: row 3, Z
    EXPECT_EQ(-1, MouseKeyAt(left + 30, top + 156, left, top)); // row 3 column 1: empty
    EXPECT_EQ(-1, MouseKeyAt(left + 30, top + 157, left, top));
    EXPECT_EQ(-1, MouseKeyAt(left - 1, top + 10, left, top));
    EXPECT_EQ(-1, MouseKeyAt(left + 476, top + 10, left, top));
    EXPECT_EQ(37, MouseKeyAt(5, 5, -300, -100));                // a cut-off picture: K
    EXPECT_EQ(-1, MouseKeyAt(200, 5, -300, -100));              // right of it
    EXPECT_EQ(53, MouseKeyAt(left + 19 + 38 * 10 + 1, top + 120, left, top)); // /
}

TEST_F(Engine, SwitchOnSendsTheInstrumentToBothChannels)
{
    SwitchOutputOff();
    gSettings.instrument = 40;
    gSettings.channel = 2;
    gSettings.device = 0;
    EXPECT_EQ(SwitchOpened, SwitchOutputOn());
    EXPECT_EQ(SwitchAlreadyOn, SwitchOutputOn());
    std::vector<std::string> lines = CaptureLines();
    ASSERT_GE(lines.size(), 20u);
    std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ((std::vector<std::string>{"open 0 ok", "msg 0 000028c2", "msg 0 000028cf"}), tail);
}

TEST_F(Engine, FailedOpenLeavesTheSwitchOff)
{
    SwitchOutputOff();
    setenv("QF_MIDI_FAIL_OPEN", "3,-1", 1);
    EXPECT_EQ(SwitchFailed, SwitchOutputOn());
    EXPECT_FALSE(gSettings.switchOn);
    EXPECT_FALSE(StartupOpenOutput());
    unsetenv("QF_MIDI_FAIL_OPEN");
    ASSERT_TRUE(StartupOpenOutput()); // only the selected channel at start-up
    std::vector<std::string> lines = CaptureLines();
    EXPECT_EQ("open -1 ok", lines[lines.size() - 2]);
    EXPECT_EQ("msg -1 000000c0", lines.back());
}

TEST(CaptureBackend, DeviceListFromTheEnvironment)
{
    char name[64];
    unsetenv("QF_MIDI_DEVICES");
    unsetenv("QF_MIDI_MAPPER");
    EXPECT_EQ(1u, MidiOutDeviceCount());
    ASSERT_TRUE(MidiOutDeviceName(0, name, sizeof(name)));
    EXPECT_STREQ("QF Capture", name);
    ASSERT_TRUE(MidiOutDeviceName(-1, name, sizeof(name)));
    EXPECT_STREQ("QF Capture Mapper", name);
    setenv("QF_MIDI_DEVICES", "", 1);
    EXPECT_EQ(0u, MidiOutDeviceCount());
    setenv("QF_MIDI_DEVICES", "Alpha|Beta|Gamma|Beta", 1);
    EXPECT_EQ(4u, MidiOutDeviceCount());
    int32_t found; // a device found again by its name (the first of two alike), the mapper too; 99: none
    for (auto [text, id] : {std::pair{"Beta", 1}, {"QF Capture Mapper", -1}, {"Alpha", 0}, {"Gamm", 99}, {"", 99}})
        EXPECT_TRUE(FindDeviceByName(text, &found) ? found == id : id == 99) << text;
    ASSERT_TRUE(MidiOutDeviceName(2, name, 4));
    EXPECT_STREQ("Gam", name);
    setenv("QF_MIDI_DEVICES", "\xce\xa9\xe5\x90\x88", 1); // Ω合: cut at a character, not inside one
    ASSERT_TRUE(MidiOutDeviceName(0, name, 4));
    EXPECT_STREQ("\xce\xa9", name);
    EXPECT_FALSE(MidiOutDeviceName(3, name, sizeof(name)));
    setenv("QF_MIDI_MAPPER", "0", 1);
    EXPECT_FALSE(MidiOutDeviceName(-1, name, sizeof(name)));
    gSettings.device = -1;
    EXPECT_FALSE(MapperAvailable(name, sizeof(name)));
    EXPECT_EQ(0, gSettings.device);
    unsetenv("QF_MIDI_DEVICES");
    unsetenv("QF_MIDI_MAPPER");
}
