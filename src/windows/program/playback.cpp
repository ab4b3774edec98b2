// The playback copy and the chain of one-shot multimedia timers that posts
// its events to the main window.
//
// How the two threads meet. The window thread starts and stops the chain;
// the multimedia timer's thread runs PlaybackTick. They share the chain's
// state under one lock, and neither ever waits for the other while it holds
// that lock:
// - The window thread calls no multimedia timer function (timeGetDevCaps,
//   timeBeginPeriod, timeSetEvent, timeKillEvent, timeEndPeriod, timeGetTime)
//   while it holds the lock. So a tick waiting for the lock can never hold
//   up a timer function that might itself wait for the timer's thread.
// - Each chain has a generation number, given to its timers as their user
//   data. A tick takes the lock and goes on only when its generation is the
//   live chain's and the chain still runs; a tick of a stopped or earlier
//   chain does nothing.
// - The tick arms its successor, and at the chain's end ends the timer
//   resolution, itself under the lock; it only posts messages, so it never
//   waits for the window thread.
// - StartPlayback arms the first timer without the lock and stores its
//   identifier afterwards only if no tick of the chain has run yet (the
//   first tick may come before the identifier does, and then has armed its
//   successor). StopPlayback marks the chain stopped under the lock, then
//   kills the armed timer and ends the resolution without it.
#include "windows/program/recorder_commands.h"

#include <cstdlib>
#include <cstring>

#include "portable/song/pacing.h"
#include "windows/program/app.h"
#include "windows/platform/system_text.h"

struct PlaybackCopy {
    RecordedEvent* events = nullptr;
    uint32_t count = 0;
};

struct PlaybackTimer {
    bool running = false;   // a resolution has been begun and the chain lives
    UINT timerId = 0;       // the armed timer, 0 none
    UINT resolution = 5;    // the timer resolution and the shortest step
    UINT shortestWait = 1;  // the least delay timeSetEvent accepts
    UINT longestWait = 1000000;
    uint32_t position = 0;  // index of the next event to post
    HWND window = nullptr;
    bool loop = false;
    uint32_t generation = 0; // of the live chain; its timers carry it
    bool ticked = false;    // a tick of the live chain has run
    bool endPosted = false; // the chain's end is on its way to the window
    uint64_t clock = 0;     // the last reading of timeGetTime, extended
    uint64_t start = 0;     // the clock when the play started
    uint64_t due = 0;       // when the event at position is due, after start
    bool early = false;     // the armed wait stops short of the due time
};

PlaybackPacing gPlaybackPacing = DueTimePacing;
PlaybackTimerFunctions gPlaybackTimerFunctions = {timeGetDevCaps, timeBeginPeriod, timeEndPeriod,
                                                  timeSetEvent,   timeKillEvent,   timeGetTime};

static PlaybackCopy gPlaybackCopy;
static PlaybackTimer gPlaybackTimer;
static PlaybackCounters gCounters;
static SRWLOCK gPlaybackLock = SRWLOCK_INIT;

static void CALLBACK PlaybackTick(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR param2);

// The clock extended past its wrap, from a reading of timeGetTime. Lock held.
static uint64_t ExtendedClock(uint32_t reading)
{
    gPlaybackTimer.clock = ExtendClock(gPlaybackTimer.clock, reading);
    return gPlaybackTimer.clock;
}

// The step before the event at position; moves its due time on by it.
static uint32_t AdvanceDue()
{
    uint32_t step = PlaybackStep(gPlaybackCopy.events[gPlaybackTimer.position].delay, gPlaybackTimer.resolution);
    gPlaybackTimer.due += step;
    return step;
}

// The wait to arm for the event at position, elapsed milliseconds after the
// start of the play. Lock held.
static uint32_t NextWait(uint32_t step, uint64_t elapsed)
{
    PlaybackTimer& t = gPlaybackTimer;
    t.early = false;
    if (gPlaybackPacing != DueTimePacing) return step;
    uint32_t wait = WaitUntilDue(t.due, elapsed, t.shortestWait);
    // A wait longer than the timer allows is taken in pieces.
    if (wait > t.longestWait) {
        wait = t.longestWait;
        t.early = true;
    }
    return wait;
}

// Arms the one-shot timer for the event at position, on the timer's thread.
// Lock held.
static bool ArmNextTimer(uint32_t step)
{
    PlaybackTimer& t = gPlaybackTimer;
    uint32_t wait = NextWait(step, ExtendedClock(gPlaybackTimerFunctions.getTime()) - t.start);
    t.timerId = gPlaybackTimerFunctions.setEvent(wait, t.resolution, PlaybackTick, (DWORD_PTR)t.generation,
                                                 TIME_ONESHOT);
    if (t.timerId == 0) return false;
    gCounters.timersArmed++;
    return true;
}

// The chain is over, on the timer's thread: the resolution ends and nothing
// stays armed. Lock held.
static void EndChain()
{
    gPlaybackTimerFunctions.endPeriod(gPlaybackTimer.resolution);
    gCounters.periodsEnded++;
    gPlaybackTimer.running = false;
    gPlaybackTimer.timerId = 0;
}

static void CALLBACK PlaybackTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    PlaybackTimer& t = gPlaybackTimer;
    // A tick of a chain that a stop or a new start has ended does nothing.
    if (!t.running || (uint32_t)user != t.generation) {
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return;
    }
    t.ticked = true;
    t.timerId = 0;
    if (t.early) {
        if (!ArmNextTimer(0)) EndChain();
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return;
    }
    PostMessageW(t.window, WM_PLAYEVENT, (WPARAM)gPlaybackCopy.events, (LPARAM)t.position);
    gCounters.eventsPosted++;
    t.position++;
    if (t.position >= gPlaybackCopy.count) {
        if (!t.loop) {
            // Posted, not sent: the end must arrive behind the last event.
            EndChain();
            t.endPosted = true;
            PostMessageW(t.window, WM_PLAYEND, (WPARAM)t.generation, 0);
            gCounters.endsPosted++;
            ReleaseSRWLockExclusive(&gPlaybackLock);
            return;
        }
        // Looping goes on from event 0; its due time follows on from the
        // last, so lateness does not build up across the restarts either.
        t.position = 0;
    }
    if (!ArmNextTimer(AdvanceDue())) EndChain();
    ReleaseSRWLockExclusive(&gPlaybackLock);
}

void StopPlayback()
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    if (!gPlaybackTimer.running) {
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return;
    }
    // Whatever a tick armed before the lock was taken is the timer killed
    // here; a tick that comes after finds the chain no longer running.
    UINT timerId = gPlaybackTimer.timerId;
    UINT resolution = gPlaybackTimer.resolution;
    gPlaybackTimer.running = false;
    gPlaybackTimer.timerId = 0;
    gCounters.periodsEnded++;
    ReleaseSRWLockExclusive(&gPlaybackLock);
    if (timerId != 0) gPlaybackTimerFunctions.killEvent(timerId);
    gPlaybackTimerFunctions.endPeriod(resolution);
}

int StartPlayback(HWND window, bool loop)
{
    StopPlayback();
    PlaybackTimer& t = gPlaybackTimer;
    AcquireSRWLockExclusive(&gPlaybackLock);
    t.window = window;
    t.loop = loop;
    t.position = 0;
    t.generation++;
    t.ticked = false;
    t.endPosted = false;
    uint32_t generation = t.generation;
    bool empty = gPlaybackCopy.count == 0;
    ReleaseSRWLockExclusive(&gPlaybackLock);
    if (empty) return 0;

    // The timer's limits, the resolution and the start, without the lock.
    TIMECAPS caps;
    UINT resolution = 5, shortestWait = 1, longestWait = 1000000;
    if (gPlaybackTimerFunctions.getDevCaps(&caps, sizeof(caps)) == MMSYSERR_NOERROR) {
        if (caps.wPeriodMax <= 5) resolution = caps.wPeriodMax;
        if (caps.wPeriodMin > 1) shortestWait = caps.wPeriodMin;
        if (caps.wPeriodMax >= shortestWait) longestWait = caps.wPeriodMax;
    }
    if (resolution < shortestWait) resolution = shortestWait;
    gPlaybackTimerFunctions.beginPeriod(resolution);
    uint32_t now = gPlaybackTimerFunctions.getTime();

    AcquireSRWLockExclusive(&gPlaybackLock);
    gCounters.periodsBegun++;
    t.resolution = resolution;
    t.shortestWait = shortestWait;
    t.longestWait = longestWait;
    t.start = ExtendedClock(now);
    t.due = 0;
    t.running = true;
    uint32_t wait = NextWait(AdvanceDue(), 0);
    ReleaseSRWLockExclusive(&gPlaybackLock);

    UINT timerId =
        gPlaybackTimerFunctions.setEvent(wait, resolution, PlaybackTick, (DWORD_PTR)generation, TIME_ONESHOT);

    AcquireSRWLockExclusive(&gPlaybackLock);
    if (timerId != 0) {
        gCounters.timersArmed++;
        // A first tick that came already has armed its successor (or ended
        // the chain): its identifier is the one to keep.
        if (t.running && t.generation == generation && !t.ticked) t.timerId = timerId;
    } else {
        // Nothing armed, so no tick can come: the chain ends here.
        t.running = false;
        t.timerId = 0;
        gCounters.periodsEnded++;
    }
    ReleaseSRWLockExclusive(&gPlaybackLock);
    if (timerId == 0) {
        gPlaybackTimerFunctions.endPeriod(resolution);
        return 0;
    }
    return 1;
}

bool PlaybackRunning()
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    bool running = gPlaybackTimer.running;
    ReleaseSRWLockExclusive(&gPlaybackLock);
    return running;
}

bool TakePlaybackEnd(WPARAM generation)
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    PlaybackTimer& t = gPlaybackTimer;
    bool current = t.endPosted && !t.running && (uint32_t)generation == t.generation;
    if (current) t.endPosted = false;
    ReleaseSRWLockExclusive(&gPlaybackLock);
    return current;
}

PlaybackCounters ReadPlaybackCounters()
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    PlaybackCounters counters = gCounters;
    ReleaseSRWLockExclusive(&gPlaybackLock);
    return counters;
}

void DrainPlaybackMessages(HWND window)
{
    MSG message;
    while (PeekMessageW(&message, window, WM_PLAYEVENT, WM_PLAYEND, PM_REMOVE)) {
    }
}

uint32_t PlaybackCopyCount()
{
    return gPlaybackCopy.count;
}

const RecordedEvent* PlaybackEventAt(WPARAM events, LPARAM index)
{
    if ((RecordedEvent*)events != gPlaybackCopy.events || gPlaybackCopy.events == nullptr) return nullptr;
    if (index < 0 || (uint64_t)index >= gPlaybackCopy.count) return nullptr;
    return &gPlaybackCopy.events[index];
}

void ReleasePlaybackCopy()
{
    // The chain reads the copy: it must be over before the copy goes.
    StopPlayback();
    free(gPlaybackCopy.events);
    gPlaybackCopy.events = nullptr;
    gPlaybackCopy.count = 0;
}

int MakePlaybackCopy(const RecordedEvent* events, uint32_t count)
{
    ReleasePlaybackCopy();
    if (count == 0) return 1;
    RecordedEvent* copy = (RecordedEvent*)malloc((size_t)count * sizeof(RecordedEvent));
    if (!copy) {
        ProgramMessageBox(nullptr, MemoryErrorText, MemoryErrorCaption, MB_OK);
        return 0;
    }
    memcpy(copy, events, (size_t)count * sizeof(RecordedEvent));
    gPlaybackCopy.events = copy;
    gPlaybackCopy.count = count;
    return 1;
}
