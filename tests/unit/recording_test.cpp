// The recording hook's rules (repeats, the dropped first release, delays
// modulo 2^32, the modified flag) as live playing drives them, and the
// pacing arithmetic of playback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "fake_platform.h"
#include "windows/program/document_state.h"
#include "portable/song/pacing.h"
#include "portable/song/recording.h"

static uint32_t Down(int scan) { return 1u | (uint32_t)scan << 16; }
static uint32_t Repeat(int scan) { return 1u | (uint32_t)scan << 16 | 1u << 30; }
static uint32_t Up(int scan) { return 1u | (uint32_t)scan << 16 | 3u << 30; }

class Recorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartCapture();
        gSettings.switchOn = true;
        gSettings.midiOut = 1;
    }
    void TearDown() override { ReleaseRecordingEvents(); }

    // Plays a key at clock time t, as the window does for a key message.
    static void At(uint32_t t, uint32_t message, uint32_t keyData)
    {
        gFake.clock = t;
        PlayKeyEvent(nullptr, message, keyData);
    }
};

TEST_F(Recorder, FirstDelayCountsFromTheStartAndEachFromTheLast)
{
    BeginRecording(1000);
    At(1250, 256, Down(30));
    At(1300, 256, Down(31));
    At(1300, 257, Up(30));
    At(4000, 257, Up(31));
    ASSERT_EQ(4u, gRecording.count);
    const uint32_t delays[] = {250, 50, 0, 2700};
    const int32_t messages[] = {256, 256, 257, 257};
    const uint32_t keys[] = {Down(30), Down(31), Up(30), Up(31)};
    for (uint32_t i = 0; i < 4; i++) {
        EXPECT_EQ(delays[i], gRecording.events[i].delay) << i;
        EXPECT_EQ(messages[i], gRecording.events[i].message) << i;
        EXPECT_EQ(keys[i], gRecording.events[i].keyData) << i;
        EXPECT_EQ(0, gRecording.events[i].octaveShift) << i;
    }
}

TEST_F(Recorder, RepeatsAndAnEarlyReleaseAreNotRecorded)
{
    // A key held when recording starts: its release comes first and is dropped,
    // and the silent time counts into the next event's delay.
    gFake.clock = 10;
    PlayKeyEvent(nullptr, 256, Down(32));
    BeginRecording(100);
    At(120, 256, Repeat(32));
    At(150, 257, Up(32));
    EXPECT_EQ(0u, gRecording.count);
    EXPECT_FALSE(gDocument.modified);

    // Held for three seconds with auto-repeat: exactly the press and the release.
    At(200, 256, Down(30));
    for (uint32_t t = 860; t < 3200; t += 40) At(t, 256, Repeat(30));
    At(3200, 257, Up(30));
    ASSERT_EQ(2u, gRecording.count);
    EXPECT_EQ(100u, gRecording.events[0].delay);
    EXPECT_EQ(3000u, gRecording.events[1].delay);

    // Keys without a playable entry (Tab, Enter, left Shift, out of range) add nothing.
    for (int scan : {15, 28, 42, 54, 200}) {
        At(3300, 256, Down(scan));
        At(3310, 257, Up(scan));
    }
    EXPECT_EQ(2u, gRecording.count);
}

TEST_F(Recorder, DelayAcrossTheClockWrap)
{
    BeginRecording(0xFFFFFF00u);
    At(0xFFFFFFF0u, 256, Down(30));
    At(0x00000010u, 257, Up(30));      // the counter wrapped in between
    At(0x00000010u + 5, 256, Down(31));
    ASSERT_EQ(3u, gRecording.count);
    EXPECT_EQ(0xF0u, gRecording.events[0].delay);
    EXPECT_EQ(0x20u, gRecording.events[1].delay);
    EXPECT_EQ(5u, gRecording.events[2].delay);
}

TEST_F(Recorder, ShiftLatchAndMouseKeysAreRecordedAsPlayed)
{
    BeginRecording(0);
    gFake.shift = true;
    At(10, 256, Down(30));
    gFake.shift = false; // let go while the key is still down
    At(20, 256, Down(31));
    At(30, 257, Up(30));
    At(40, 257, Up(31));
    gFake.control = true;
    At(50, 256, Down(44));
    At(60, 257, Up(44));
    gFake.control = false;
    // A key clicked on the on-screen keyboard: its index times 65536.
    AppendRecordedEventAt(70, 256, 33u << 16, 0);
    const int32_t shifts[] = {1, 1, 1, 1, -1, -1, 0};
    ASSERT_EQ(7u, gRecording.count);
    for (uint32_t i = 0; i < 7; i++) EXPECT_EQ(shifts[i], gRecording.events[i].octaveShift) << i;
    EXPECT_EQ(33u << 16, gRecording.events[6].keyData);
}

TEST_F(Recorder, ModifiedFlagFollowsTheFirstEvent)
{
    BeginRecording(0);
    EXPECT_FALSE(gDocument.modified);
    RecordPlayedKey(257, Up(30), 0); // dropped: no event before it
    EXPECT_FALSE(gDocument.modified);
    RecordPlayedKey(256, Down(30), 0);
    EXPECT_TRUE(gDocument.modified);
    // A new recording starts with the old events gone, the flag untouched.
    gDocument.modified = false;
    BeginRecording(100);
    EXPECT_EQ(0u, gRecording.count);
    EXPECT_EQ(nullptr, gRecording.events);
    RecordPlayedKey(256, Down(30), 0);
    EXPECT_EQ(1u, gRecording.count);
    EXPECT_TRUE(gDocument.modified);
    EndRecording();
    EXPECT_FALSE(gRecording.isRecording);
    // Not recording: playing adds nothing.
    At(200, 256, Down(31));
    EXPECT_EQ(1u, gRecording.count);
}

TEST(Pacing, StepIsTheLargerOfDelayAndResolution)
{
    EXPECT_EQ(5u, PlaybackStep(0, 5));
    EXPECT_EQ(5u, PlaybackStep(4, 5));
    EXPECT_EQ(5u, PlaybackStep(5, 5));
    EXPECT_EQ(6u, PlaybackStep(6, 5));
    EXPECT_EQ(0xFFFFFFFFu, PlaybackStep(0xFFFFFFFFu, 5)); // unsigned comparison
}

TEST(Pacing, WaitUntilDue)
{
    EXPECT_EQ(37u, WaitUntilDue(137, 100, 1)); // on time
    EXPECT_EQ(33u, WaitUntilDue(137, 104, 1)); // the tick came 4 ms late
    EXPECT_EQ(1u, WaitUntilDue(137, 137, 1));  // due now: the least wait
    EXPECT_EQ(1u, WaitUntilDue(137, 500, 1));  // long overdue
    EXPECT_EQ(2u, WaitUntilDue(137, 136, 2));  // the platform's least wait
    EXPECT_EQ(0xFFFFFFFFu, WaitUntilDue(1ull << 40, 0, 1));
}

TEST(Pacing, ExtendClockAcrossTheWrap)
{
    uint64_t c = ExtendClock(0, 0xFFFFFFF0u);
    EXPECT_EQ(0xFFFFFFF0ull, c);
    c = ExtendClock(c, 0x10u);
    EXPECT_EQ(0x100000010ull, c);
    c = ExtendClock(c, 0x20u);
    EXPECT_EQ(0x100000020ull, c);
}

// A simulated chain whose every tick fires late by a fixed amount: armed for
// the due time, each event stays within that lateness of its due time, while
// the step from the previous tick lets the lateness pile up.
TEST(Pacing, DueTimeChainDoesNotDrift)
{
    std::vector<uint32_t> delays;
    for (int i = 0; i < 400; i++) delays.push_back(i % 7 == 0 ? 0 : (uint32_t)(i * 13 % 41)); // chords and gaps
    const uint32_t lateness = 1, resolution = 5;
    uint64_t due = 0, now = 0, stepNow = 0;
    uint64_t worst = 0;
    for (uint32_t d : delays) {
        uint32_t step = PlaybackStep(d, resolution);
        uint64_t previousDue = due;
        due += step;
        now += WaitUntilDue(due, now, 1) + lateness;
        stepNow += step + lateness;
        ASSERT_GE(now, due);
        worst = std::max<uint64_t>(worst, now - due);
        // Never earlier than the least wait after the previous tick.
        ASSERT_GE(due, previousDue);
    }
    EXPECT_LE(worst, lateness);
    EXPECT_EQ(due + lateness * delays.size(), stepNow);
}
