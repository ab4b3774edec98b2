// Practice: the song's chords, what moves the song on in wait mode, the
// judgements in tempo mode, the passage that repeats and the result.
#include "portable/practice/practice.h"
#include "windows/program/practice_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t A = 30, S = 31, D = 32, F = 33;

// A song of chords at song times: each key pressed at its chord's time and
// let go 10 ms later, in no octave shift.
struct Song {
    PracticeSong song{};
    Song(std::vector<std::pair<uint64_t, std::vector<uint32_t>>> chords)
    {
        std::vector<RecordedEvent> events;
        uint64_t last = 0;
        for (auto& [ms, keys] : chords) {
            for (uint32_t key : keys) events.push_back({(uint32_t)(ms - last), 256, key << 16 | 1, 0}), last = ms;
            for (uint32_t key : keys) events.push_back({(uint32_t)(ms + 10 - last), 257, key << 16 | 1, 0}), last = ms + 10;
        }
        EXPECT_TRUE(BuildPracticeSong(events.data(), (uint32_t)events.size(), 1297, &song));
    }
    ~Song() { FreePracticeSong(&song); }
};

// The chords as text: "30 31|32" is a chord of A and S, then D; "+" Shift.
std::string Chords(const PracticeSong& s)
{
    std::string text;
    for (uint32_t c = 0; c < s.chordCount; c++) {
        for (uint32_t n = 0; n < s.chords[c].noteCount; n++) {
            const PracticeNote& note = s.notes[s.chords[c].firstNote + n];
            text += std::string(n ? " " : c ? "|" : "") + (note.shift > 0 ? "+" : note.shift < 0 ? "-" : "") +
                    std::to_string(note.scan);
        }
    }
    return text;
}

struct Player {
    Practice p{};
    Player(const Song& s, PracticeMode mode = PracticeWait, uint32_t speed = 100)
    {
        EXPECT_TRUE(StartPractice(&p, &s.song, mode, speed, 0));
    }
    ~Player() { StopPractice(&p); }
    PracticeChange Down(uint32_t key, uint64_t at = 0, int32_t shift = 0) { return PracticeKey(&p, key, shift, true, at); }
    void Up(uint32_t key, uint64_t at = 0) { PracticeKey(&p, key, 0, false, at); }
};

} // namespace

TEST(Practice, ChordsArePressesWithinTheWindowInOneShift)
{
    // D 30 ms after A joins it; F in Shift starts a chord of its own, which A
    // in Shift joins; that A pressed again starts the next; a shift of two
    // no key reaches, and it is left out.
    RecordedEvent events[] = {{0, 256, A << 16, 0},  {20, 256, S << 16, 0}, {10, 256, D << 16, 0},
                              {0, 256, F << 16, 1},  {5, 256, A << 16, 1},  {0, 257, A << 16, 1},
                              {0, 256, A << 16, 1},  {400, 256, D << 16, 2}, {31, 256, S << 16, -1}};
    PracticeSong s;
    ASSERT_TRUE(BuildPracticeSong(events, 9, 1297, &s));
    EXPECT_EQ("30 31 32|+33 +30|+30|-31", Chords(s));
    EXPECT_EQ(435u + 31, s.chords[3].ms);
    FreePracticeSong(&s);
}

TEST(Practice, WaitModeMovesOnWhenEveryKeyOfTheChordIsDown)
{
    Song song({{0, {A, S, D}}, {500, {F}}});
    // A three-key chord pressed in any order: only the last key moves on.
    const uint32_t orders[][3] = {{A, S, D}, {A, D, S}, {S, A, D}, {S, D, A}, {D, A, S}, {D, S, A}};
    for (auto& order : orders) {
        Player run(song);
        EXPECT_FALSE(run.Down(order[0]).moved);
        EXPECT_FALSE(run.Down(order[1]).moved);
        PracticeChange last = run.Down(order[2]);
        EXPECT_TRUE(last.moved && !last.wrongKey);
        EXPECT_EQ(1u, run.p.chord);
        EXPECT_EQ(3u, run.p.result.right);
    }
    // A key let go before the chord is complete must go down again.
    Player run(song);
    run.Down(A), run.Down(S), run.Up(A);
    EXPECT_FALSE(run.Down(D).moved);
    EXPECT_TRUE(run.Down(A).moved);
}

TEST(Practice, AWrongKeySoundsAsAnErrorAndTheSongStays)
{
    Song song({{0, {A, S}}, {500, {D}}});
    Player run(song);
    PracticeChange wrong = run.Down(F);
    EXPECT_TRUE(wrong.wrongKey && !wrong.moved);
    EXPECT_TRUE(run.Down(A, 0, 1).wrongKey); // the right key in the wrong octave
    run.Up(A), run.Up(F);
    run.Down(A);
    EXPECT_TRUE(run.Down(S).moved);
    run.Down(D);
    PracticeResult r = PracticeResultNow(&run.p);
    EXPECT_EQ(3u, r.notes);
    EXPECT_EQ(1u, r.right); // the chord with the wrong keys is not played right
    EXPECT_EQ(2u, r.wrongKeys);
    EXPECT_TRUE(run.p.finished);
}

TEST(Practice, AKeyHeldIntoTheNextChordCountsOnlyWhenPressedAgain)
{
    Song song({{0, {A}}, {500, {A, S}}});
    Player run(song);
    EXPECT_TRUE(run.Down(A).moved);
    EXPECT_FALSE(run.Down(S).moved); // A is still down from the chord before
    run.Up(A);
    EXPECT_TRUE(run.Down(A).moved);
    EXPECT_TRUE(run.p.finished);
}

TEST(Practice, ASongThatEndsOnAChordEndsWithItsLastKey)
{
    Song song({{0, {A}}, {500, {S, D}}});
    Player run(song);
    run.Down(A);
    EXPECT_FALSE(run.Down(S).finished);
    PracticeChange end = run.Down(D);
    EXPECT_TRUE(end.finished && run.p.finished);
    EXPECT_EQ(UINT32_MAX, NextChord(&run.p));
    EXPECT_FALSE(run.Down(F).wrongKey); // nothing counts after the end
    EXPECT_EQ(3u, PracticeResultNow(&run.p).notes);
}

TEST(Practice, TempoModeJudgesEachPressByItsTimingError)
{
    // A is due 1000 ms into the song, after a lead-in of a second at the
    // speed: at real time 100000 / speed + 1000.
    struct Case { uint32_t speed; int64_t offset; Judgement judged; } cases[] = {
        {100, 0, JudgedExact},  {100, -50, JudgedExact}, {100, 50, JudgedExact}, {100, 51, JudgedGood},
        {100, -150, JudgedGood}, {100, 150, JudgedGood}, {100, 151, NotJudged},  {100, -152, NotJudged},
        {50, 50, JudgedExact},  {50, 52, JudgedGood},    {50, 300, NotJudged},   {125, -150, JudgedGood},
    };
    Song song({{1000, {A}}, {3000, {S}}});
    for (const Case& c : cases) {
        Player run(song, PracticeTempo, c.speed);
        uint64_t due = 100000 / c.speed + 1000;
        PracticeChange change = run.Down(A, (uint64_t)((int64_t)due + c.offset));
        EXPECT_EQ(c.judged, change.judgement) << c.speed << " " << c.offset;
        EXPECT_EQ(c.judged == NotJudged, change.wrongKey) << c.speed << " " << c.offset;
        // Played in time the next note is lit at once; missed, it is judged so when its time is over.
        PracticeStretch stretch;
        PracticeChange later = PracticeTick(&run.p, due + 160 * 100 / c.speed, &stretch);
        EXPECT_EQ(1u, run.p.chord) << c.speed << " " << c.offset;
        EXPECT_EQ(c.judged == NotJudged ? JudgedMiss : NotJudged, later.judgement) << c.speed << " " << c.offset;
    }
}

TEST(Practice, APassageRepeatsUntilPracticeStops)
{
    Song song({{0, {A}}, {500, {S}}, {1000, {D}}, {1500, {F}}});
    Player run(song);
    run.Down(A);
    SetLoopStart(&run.p); // at S
    run.Up(A), run.Down(S);
    SetLoopEnd(&run.p);   // at D
    EXPECT_EQ(1u, NextChord(&run.p));
    for (int pass = 0; pass < 3; pass++) {
        run.Up(S), run.Up(D);
        PracticeChange wrap = run.Down(D);
        EXPECT_TRUE(wrap.wrapped && wrap.moved && !wrap.finished);
        EXPECT_EQ(1u, run.p.chord);
        EXPECT_TRUE(run.Down(S).moved);
    }
    EXPECT_EQ(1u + 1 + 3 * 2, PracticeResultNow(&run.p).notes);
    // In tempo mode the passage starts again a lead-in before its first chord.
    Player tempo(song, PracticeTempo, 100);
    PracticeStretch stretch;
    PracticeTick(&tempo.p, 1100, &stretch); // song time 100: A is the chord to play
    SetLoopEnd(&tempo.p);
    PracticeChange wrap = PracticeTick(&tempo.p, 1200, &stretch); // A's time is over
    EXPECT_TRUE(wrap.wrapped);
    EXPECT_EQ(-1000, PracticeSongMs(&tempo.p, 1200));
}

TEST(Practice, TheSongsTimeWaitsForThePlayerAndFollowsHim)
{
    Song song({{1000, {A}}, {2000, {S}}});
    Player run(song);
    PracticeStretch st;
    PracticeTick(&run.p, 500, &st);
    EXPECT_EQ((std::vector<int64_t>{-1, -1, 500}), (std::vector<int64_t>{st.from, st.skippedTo, st.to}));
    PracticeTick(&run.p, 1500, &st); // held just before A: what sounds with A waits for it
    EXPECT_EQ(999, st.to);
    run.Down(A, 1600);
    PracticeTick(&run.p, 1700, &st);
    EXPECT_EQ((std::vector<int64_t>{999, 999, 1099}), (std::vector<int64_t>{st.from, st.skippedTo, st.to}));
    run.Down(S, 1800); // early: the song jumps to S, its notes on the way left out
    PracticeTick(&run.p, 1850, &st);
    EXPECT_EQ((std::vector<int64_t>{1099, 1999, 2049}), (std::vector<int64_t>{st.from, st.skippedTo, st.to}));
}

TEST(Practice, TheResultAndWhichIsBetter)
{
    Song song({{1000, {A}}, {2000, {S}}, {3000, {D}}, {4000, {F}}});
    Player run(song, PracticeTempo, 100);
    run.Down(A, 2010), run.Down(S, 2980), run.Down(D, 4100), run.Down(F, 5500);
    PracticeStretch st;
    PracticeTick(&run.p, 6000, &st);
    PracticeResult r = PracticeResultNow(&run.p);
    EXPECT_EQ(4u, r.notes);
    EXPECT_EQ(3u, r.right);
    EXPECT_EQ(1u, r.wrongKeys);
    EXPECT_TRUE(r.hasMedian);
    EXPECT_EQ(20u, r.medianErrorMs); // of 10, 20 and 100
    PracticeResult same = r, fewerWrong = r, worse = r, closer = r;
    fewerWrong.wrongKeys = 0, worse.right = 2, closer.medianErrorMs = 5;
    EXPECT_FALSE(BetterResult(same, r));
    EXPECT_TRUE(BetterResult(fewerWrong, r));
    EXPECT_FALSE(BetterResult(worse, r));
    EXPECT_TRUE(BetterResult(closer, r));
}

TEST(Practice, TheResultBoxAndTheStatusLine)
{
    PracticeResult wait = {24, 22, 3, 0, false}, tempo = {48, 40, 1, 18, true}, best = {48, 44, 0, 12, true};
    struct Case { PracticeResult result; PracticeMode mode; const PracticeResult* best; bool newBest; const char* text; };
    const Case cases[] = {
        {wait, PracticeWait, nullptr, false, "音符: 24\n弹对: 22/24 (91%)\n错键: 3"},
        {tempo, PracticeTempo, &best, false,
         "音符: 48\n弹对: 40/48 (83%)\n错键: 1\n时间误差(中位数): 18 毫秒\n\n最好成绩: 弹对 44/48 (91%), 错键 0, 误差 12 毫秒"},
        {tempo, PracticeTempo, nullptr, true,
         "音符: 48\n弹对: 40/48 (83%)\n错键: 1\n时间误差(中位数): 18 毫秒\n\n这是这首曲子的最好成绩!"},
    };
    char text[512];
    for (const Case& c : cases) {
        PracticeResultText(text, sizeof text, c.result, c.mode, c.best, c.newBest);
        EXPECT_STREQ(c.text, text);
    }
    PracticeStatusText(text, sizeof text, 3, 24, PracticeTempo, 75);
    EXPECT_STREQ("跟弹练习  第 3/24 个音  速度 75%", text);
}
