// Recording and playback on a real window and the real multimedia timer:
// the enabled states each command sets, the order of the last event and the
// end of a single play, looping, pacing, and many start/stop cycles that
// race the chain's own end without calling a timer function under the lock.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "portable/play/midi_output.h"
#include "portable/play/performance.h"
#include "windows/program/document_state.h"
#include "windows/program/recorder_commands.h"
#include "portable/song/recording.h"
#include "windows/program/app.h"

namespace {

// What the test window saw, in order: "e<index>" per posted event, "stop"
// per command 1287.
std::vector<std::string> gSeen;
std::vector<double> gEventTimes; // milliseconds after gClockStart
LARGE_INTEGER gClockStart, gClockRate;

double Milliseconds()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)(now.QuadPart - gClockStart.QuadPart) * 1000.0 / (double)gClockRate.QuadPart;
}

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (PlaybackWindowMessage(window, message, wParam, lParam, &result)) return result;
    switch (message) {
    case WM_PLAYEVENT:
        // The notes themselves are the display's and the engine's business;
        // here only the order and the moment count.
        if (PlaybackEventAt(wParam, lParam)) {
            gSeen.push_back("e" + std::to_string((long)lParam));
            gEventTimes.push_back(Milliseconds());
        } else {
            gSeen.push_back("stale");
        }
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CmdStartRecording: StartRecordingCommand(window); break;
        case CmdStopRecording: StopRecordingCommand(window); break;
        case CmdPlay: StartPlaybackCommand(window, false); break;
        case CmdLoop: StartPlaybackCommand(window, true); break;
        case CmdStopPlaying:
            gSeen.push_back("stop");
            StopPlaybackCommand(window);
            break;
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

constexpr int kRecorderItems[] = {CmdStartRecording, CmdStopRecording, CmdPlay,   CmdLoop,  CmdStopPlaying,
                                  CmdSave,           CmdSaveAs,        CmdLoad,   CmdExport};

HWND MakeTestWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QFPlaybackTest";
        RegisterClassA(&wc);
        registered = true;
    }
    HMENU bar = CreateMenu();
    HMENU recorder = CreatePopupMenu();
    for (int id : kRecorderItems) AppendMenuA(recorder, MF_STRING, id, "x");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)recorder, "r");
    HWND window = CreateWindowA("QFPlaybackTest", "playback", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, bar,
                                GetModuleHandleA(nullptr), nullptr);
    for (int i = 0; i < 5; i++)
        CreateWindowA("BUTTON", "b", WS_CHILD | WS_VISIBLE, i * 60, 0, 50, 20, window, (HMENU)(INT_PTR)PushButtonIds[i],
                      GetModuleHandleA(nullptr), nullptr);
    return window;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Pumps messages until done() or the time is up.
template <typename Done> bool PumpUntil(Done done, double milliseconds)
{
    double end = Milliseconds() + milliseconds;
    while (!done()) {
        if (Milliseconds() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        Pump();
    }
    return true;
}

// Stand-ins for the timer functions that call winmm's, but first, when
// called on the window thread, have a second thread take the playback lock
// (as a tick must) and wait for it: a timer function that waited for the
// timer's thread would otherwise never return.
DWORD gWindowThread;
PlaybackTimerFunctions gRealTimer;
int gCallsUnderLock = 0;
HANDLE gProbeAsked, gProbeDone;
bool gProbeQuits = false;

DWORD WINAPI ProbeLock(LPVOID)
{
    while (WaitForSingleObject(gProbeAsked, INFINITE) == WAIT_OBJECT_0 && !gProbeQuits) {
        PlaybackRunning();
        SetEvent(gProbeDone);
    }
    return 0;
}

void CheckLockFree()
{
    if (GetCurrentThreadId() != gWindowThread || gCallsUnderLock > 0) return;
    SetEvent(gProbeAsked);
    if (WaitForSingleObject(gProbeDone, 1000) != WAIT_OBJECT_0) gCallsUnderLock++;
}

MMRESULT WINAPI CheckedGetDevCaps(LPTIMECAPS caps, UINT size)
{
    CheckLockFree();
    return gRealTimer.getDevCaps(caps, size);
}
MMRESULT WINAPI CheckedBeginPeriod(UINT period)
{
    CheckLockFree();
    return gRealTimer.beginPeriod(period);
}
MMRESULT WINAPI CheckedEndPeriod(UINT period)
{
    CheckLockFree();
    return gRealTimer.endPeriod(period);
}
MMRESULT WINAPI CheckedSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags)
{
    CheckLockFree();
    return gRealTimer.setEvent(delay, resolution, callback, user, flags);
}
MMRESULT WINAPI CheckedKillEvent(UINT timerId)
{
    CheckLockFree();
    return gRealTimer.killEvent(timerId);
}
DWORD WINAPI CheckedGetTime()
{
    CheckLockFree();
    return gRealTimer.getTime();
}

RecordedEvent Event(uint32_t delay, int32_t message, int scan, int32_t shift = 0)
{
    return RecordedEvent{delay, message, (uint32_t)scan << 16 | 1u, shift};
}

// The enabled state of each of kRecorderItems and of the five buttons, as
// one string: menu items E/G, a space, then buttons E/D.
std::string States(HWND window)
{
    std::string s;
    for (int id : kRecorderItems) s += (GetMenuState(GetMenu(window), id, MF_BYCOMMAND) & MF_GRAYED) ? 'G' : 'E';
    s += ' ';
    for (int id : PushButtonIds) s += IsWindowEnabled(GetDlgItem(window, id)) ? 'E' : 'D';
    return s;
}

void SetStartUpStates(HWND window)
{
    for (int id : kRecorderItems) EnableMenuItem(GetMenu(window), id, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(GetMenu(window), CmdStartRecording, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(GetMenu(window), CmdLoad, MF_BYCOMMAND | MF_ENABLED);
    for (int id : PushButtonIds) EnableWindow(GetDlgItem(window, id), id == CmdStartRecording);
}

class Playback : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override
    {
        QueryPerformanceFrequency(&gClockRate);
        QueryPerformanceCounter(&gClockStart);
        ResetPerformanceSettings();
        gDocument = DocumentState();
        ReleaseRecordingEvents();
        gRecording = Recording();
        ASSERT_TRUE(SwitchOutputOn() == SwitchOpened);
        window = MakeTestWindow();
        gMainWindow = window;
        SetStartUpStates(window);
        gSeen.clear();
        gEventTimes.clear();
        gRealTimer = gPlaybackTimerFunctions;
    }
    void TearDown() override
    {
        gPlaybackTimerFunctions = gRealTimer;
        ShutdownPlayback();
        SwitchOutputOff();
        DestroyWindow(window);
        gMainWindow = nullptr;
        ReleaseRecordingEvents();
        Pump();
    }

    void Copy(const std::vector<RecordedEvent>& events)
    {
        ASSERT_EQ(1, MakePlaybackCopy(events.data(), (uint32_t)events.size()));
    }
};

// The rows of the enabled-state table, menu items in the order of
// kRecorderItems (1283..1287, 1288, 1289, 1296, 1282), then the buttons.
constexpr char kStartUp[] = "EGGGGGGEG EDDDD";
constexpr char kRecording[] = "GEGGGGGGG DEDDD";
constexpr char kRecorded[] = "EGEEGEEEE EDEED";
constexpr char kRecordedNothing[] = "EGGGGGGEG EDDDD";
constexpr char kPlaying[] = "GGGGEGGGG DDDDE";

TEST_F(Playback, EnabledStatesFollowEachCommand)
{
    EXPECT_EQ(kStartUp, States(window));
    SendMessageA(window, WM_COMMAND, CmdStartRecording, 0);
    EXPECT_EQ(kRecording, States(window));
    EXPECT_TRUE(gRecording.isRecording);
    RecordPlayedKey(KeyPressMessage, 30u << 16, 0); // through the recording hook: modified
    ASSERT_TRUE(AppendRecordedEventAt(timeGetTime() + 20, KeyReleaseMessage, 30u << 16, 0));
    SendMessageA(window, WM_COMMAND, CmdStopRecording, 0);
    EXPECT_EQ(kRecorded, States(window));
    EXPECT_FALSE(gRecording.isRecording);
    EXPECT_EQ(2u, PlaybackCopyCount());
    EXPECT_TRUE(gDocument.modified);

    SendMessageA(window, WM_COMMAND, CmdLoop, 0);
    EXPECT_EQ(kPlaying, States(window));
    EXPECT_TRUE(PlaybackRunning());
    SendMessageA(window, WM_COMMAND, CmdStopPlaying, 0);
    EXPECT_FALSE(PlaybackRunning());
    EXPECT_EQ(kRecorded, States(window)); // save enabled: the recording is modified

    // Stopped when not modified, the save item keeps its state.
    EnableMenuItem(GetMenu(window), CmdSave, MF_BYCOMMAND | MF_GRAYED);
    gDocument.modified = false;
    SendMessageA(window, WM_COMMAND, CmdPlay, 0);
    SendMessageA(window, WM_COMMAND, CmdStopPlaying, 0);
    EXPECT_EQ("EGEEGGEEE EDEED", States(window));

    // A recording with no key pressed: play stays greyed, modified cleared.
    gDocument.modified = true;
    SendMessageA(window, WM_COMMAND, CmdStartRecording, 0);
    SendMessageA(window, WM_COMMAND, CmdStopRecording, 0);
    EXPECT_EQ(kRecordedNothing, States(window));
    EXPECT_FALSE(gDocument.modified);
    EXPECT_EQ(0u, PlaybackCopyCount());

    // Play with an empty copy (the items enabled by hand, as after a failed
    // copy): refused, nothing armed, the controls unchanged.
    EnableMenuItem(GetMenu(window), CmdPlay, MF_BYCOMMAND | MF_ENABLED);
    EnableWindow(GetDlgItem(window, CmdPlay), TRUE);
    std::string before = States(window);
    PlaybackCounters counters = ReadPlaybackCounters();
    SendMessageA(window, WM_COMMAND, CmdPlay, 0);
    EXPECT_EQ(before, States(window));
    EXPECT_FALSE(PlaybackRunning());
    EXPECT_EQ(counters.periodsBegun, ReadPlaybackCounters().periodsBegun);
    EXPECT_EQ(0, StartPlayback(window, false));
}

TEST_F(Playback, SinglePlayEndsAfterItsLastEventLikeAStop)
{
    Copy({Event(0, 256, 30), Event(12, 256, 31), Event(0, 257, 30), Event(20, 257, 31), Event(3, 256, 32),
          Event(6, 257, 32)});
    QueryPerformanceCounter(&gClockStart); // the times count from the start of the play
    SendMessageA(window, WM_COMMAND, CmdPlay, 0);
    ASSERT_TRUE(PumpUntil([] { return !gSeen.empty() && gSeen.back() == "stop"; }, 2000));
    const std::vector<std::string> expected = {"e0", "e1", "e2", "e3", "e4", "e5", "stop"};
    EXPECT_EQ(expected, gSeen);
    EXPECT_EQ("EGEEGGEEE EDEED", States(window)); // as after a stop, save untouched
    EXPECT_FALSE(PlaybackRunning());
    PlaybackCounters c = ReadPlaybackCounters();
    EXPECT_EQ(c.periodsBegun, c.periodsEnded);
    // Steps of at least 5 ms: 5, 12, 5, 20, 5, 6 after the start.
    ASSERT_EQ(6u, gEventTimes.size());
    const double due[] = {5, 17, 22, 42, 47, 53};
    for (int i = 0; i < 6; i++) {
        EXPECT_GT(gEventTimes[i], due[i] - 2) << i;
        EXPECT_LT(gEventTimes[i], due[i] + 50) << i; // late on a busy machine, never early
    }
}

TEST_F(Playback, LoopRestartsAfterTheFirstEventsDelayAndStopsClean)
{
    Copy({Event(30, 256, 30), Event(10, 257, 30), Event(5, 256, 31)});
    QueryPerformanceCounter(&gClockStart);
    SendMessageA(window, WM_COMMAND, CmdLoop, 0);
    ASSERT_TRUE(PumpUntil([] { return gSeen.size() >= 8; }, 3000));
    SendMessageA(window, WM_COMMAND, CmdStopPlaying, 0);
    size_t seen = gSeen.size();
    PumpUntil([] { return false; }, 80);
    EXPECT_EQ(seen, gSeen.size()) << "an event after the stop";
    for (size_t i = 0; i + 1 < seen; i++) EXPECT_EQ("e" + std::to_string(i % 3), gSeen[i]);
    EXPECT_EQ("stop", gSeen[seen - 1]);
    // The due times run on across the restarts: 30, 40, 45, then 75, 85, 90 ...
    const double due[] = {30, 40, 45, 75, 85, 90, 120};
    for (int i = 0; i < 7; i++) {
        EXPECT_GT(gEventTimes[i], due[i] - 2) << i;
        EXPECT_LT(gEventTimes[i], due[i] + 50) << i; // late on a busy machine, never early
    }
    PlaybackCounters c = ReadPlaybackCounters();
    EXPECT_EQ(c.periodsBegun, c.periodsEnded);
}

// Many plays of short copies, stopped after a random time: before the first
// event, between events, just as the single play ends, or after it. The
// stop sometimes comes while the window is not pumping, so that it meets
// ticks arming their successors and events already in the queue. The window
// thread never calls a timer function while it holds the lock that the
// ticks take.
TEST_F(Playback, StartStopCyclesLeaveNothingBehind)
{
    gWindowThread = GetCurrentThreadId();
    gCallsUnderLock = 0;
    gProbeQuits = false;
    gProbeAsked = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    gProbeDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE prober = CreateThread(nullptr, 0, ProbeLock, nullptr, 0, nullptr);
    gPlaybackTimerFunctions = {CheckedGetDevCaps, CheckedBeginPeriod, CheckedEndPeriod,
                               CheckedSetEvent,   CheckedKillEvent,   CheckedGetTime};
    PlaybackCounters before = ReadPlaybackCounters();
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    int ended = 0, stray = 0;
    for (int cycle = 0; cycle < 600; cycle++) {
        std::vector<RecordedEvent> events;
        uint32_t count = 1 + next(4);
        for (uint32_t i = 0; i < count; i++) events.push_back(Event(next(8), i % 2 ? 257 : 256, 30 + (int)i));
        Copy(events);
        bool loop = next(4) == 0;
        gSeen.clear();
        SendMessageA(window, WM_COMMAND, loop ? CmdLoop : CmdPlay, 0);
        uint32_t wait = next(30);
        if (next(2)) Sleep(wait);
        else PumpUntil([] { return false; }, wait);
        if (!gSeen.empty() && gSeen.back() == "stop") ended++;
        SendMessageA(window, WM_COMMAND, CmdStopPlaying, 0);
        size_t seen = gSeen.size();
        if (cycle % 50 == 0) PumpUntil([] { return false; }, 20);
        else Pump();
        if (gSeen.size() != seen) stray++;
        for (const std::string& s : gSeen) ASSERT_NE("stale", s) << "cycle " << cycle;
        ASSERT_FALSE(PlaybackRunning());
    }
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(0, stray);
    EXPECT_GT(ended, 20); // some plays did end on their own before the stop
    PlaybackCounters after = ReadPlaybackCounters();
    EXPECT_EQ(600, after.periodsBegun - before.periodsBegun);
    EXPECT_EQ(after.periodsBegun, after.periodsEnded);
    EXPECT_EQ(0, gCallsUnderLock);
    gPlaybackTimerFunctions = gRealTimer;
    gProbeQuits = true;
    SetEvent(gProbeAsked);
    WaitForSingleObject(prober, 5000);
    for (HANDLE h : {prober, gProbeAsked, gProbeDone}) CloseHandle(h);
}

TEST_F(Playback, DestructionStopsALiveChainBeforeFreeingTheCopy)
{
    Copy({Event(0, 256, 30), Event(5, 257, 30)});
    ASSERT_EQ(1, StartPlayback(window, true));
    ASSERT_TRUE(PumpUntil([] { return gSeen.size() >= 3; }, 1000));
    ShutdownPlayback();
    EXPECT_FALSE(PlaybackRunning());
    EXPECT_EQ(0u, PlaybackCopyCount());
    size_t seen = gSeen.size();
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(seen, gSeen.size());
    PlaybackCounters c = ReadPlaybackCounters();
    EXPECT_EQ(c.periodsBegun, c.periodsEnded);
}

} // namespace
