// The playback copy and the chain of one-shot multimedia timers that posts
// its events to the main window. The chain's state is shared between the
// window thread (start, stop, copy) and the timer thread (the tick); one lock
// guards it, and neither side holds the lock while waiting on the other.
#include "recorder/recorder_commands.h"

#include <mmsystem.h>

#include <cstdlib>
#include <cstring>

#include "recorder/pacing.h"
#include "shell/app.h"

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
    uint32_t generation = 0;
    bool endPosted = false; // the chain's end is on its way to the window
    uint64_t clock = 0;     // the last reading of timeGetTime, extended
    uint64_t start = 0;     // the clock when the play started
    uint64_t due = 0;       // when the event at position is due, after start
    bool early = false;     // the armed wait stops short of the due time
};

PlaybackPacing gPlaybackPacing = DueTimePacing;

static PlaybackCopy gPlaybackCopy;
static PlaybackTimer gPlaybackTimer;
static PlaybackCounters gCounters;
static SRWLOCK gPlaybackLock = SRWLOCK_INIT;

static void CALLBACK PlaybackTick(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR param2);

static uint64_t ReadClock()
{
    gPlaybackTimer.clock = ExtendClock(gPlaybackTimer.clock, timeGetTime());
    return gPlaybackTimer.clock;
}

// The step before the event at position; moves its due time on by it.
static uint32_t AdvanceDue()
{
    uint32_t step = PlaybackStep(gPlaybackCopy.events[gPlaybackTimer.position].delay, gPlaybackTimer.resolution);
    gPlaybackTimer.due += step;
    return step;
}

// Arms the one-shot timer for the event at position. Lock held.
static bool ArmTimer(uint32_t step)
{
    PlaybackTimer& t = gPlaybackTimer;
    uint32_t wait = step;
    t.early = false;
    if (gPlaybackPacing == DueTimePacing) {
        wait = WaitUntilDue(t.due, ReadClock() - t.start, t.shortestWait);
        // A wait longer than the timer allows is taken in pieces.
        if (wait > t.longestWait) {
            wait = t.longestWait;
            t.early = true;
        }
    }
    t.timerId = timeSetEvent(wait, t.resolution, PlaybackTick, 0, TIME_ONESHOT);
    if (t.timerId == 0) return false;
    gCounters.timersArmed++;
    return true;
}

// The chain is over: the resolution ends and nothing stays armed. Lock held.
static void EndChain()
{
    timeEndPeriod(gPlaybackTimer.resolution);
    gCounters.periodsEnded++;
    gPlaybackTimer.running = false;
    gPlaybackTimer.timerId = 0;
}

static void CALLBACK PlaybackTick(UINT timerId, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    PlaybackTimer& t = gPlaybackTimer;
    // A tick of a timer that a stop has killed (or of an earlier chain)
    // does nothing.
    if (!t.running || timerId != t.timerId) {
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return;
    }
    t.timerId = 0;
    if (t.early) {
        if (!ArmTimer(0)) EndChain();
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return;
    }
    PostMessageA(t.window, WM_PLAYEVENT, (WPARAM)gPlaybackCopy.events, (LPARAM)t.position);
    gCounters.eventsPosted++;
    t.position++;
    if (t.position >= gPlaybackCopy.count) {
        if (!t.loop) {
            // Posted, not sent: the end must arrive behind the last event.
            EndChain();
            t.endPosted = true;
            PostMessageA(t.window, WM_PLAYEND, (WPARAM)t.generation, 0);
            gCounters.endsPosted++;
            ReleaseSRWLockExclusive(&gPlaybackLock);
            return;
        }
        // Looping goes on from event 0; its due time follows on from the
        // last, so lateness does not build up across the restarts either.
        t.position = 0;
    }
    if (!ArmTimer(AdvanceDue())) EndChain();
    ReleaseSRWLockExclusive(&gPlaybackLock);
}

void StopPlayback()
{
    AcquireSRWLockExclusive(&gPlaybackLock);
    if (!gPlaybackTimer.running) {
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return;
    }
    // Whatever a tick armed before taking the lock is the timer killed here;
    // a tick that comes after finds the chain no longer running.
    UINT timerId = gPlaybackTimer.timerId;
    UINT resolution = gPlaybackTimer.resolution;
    gPlaybackTimer.running = false;
    gPlaybackTimer.timerId = 0;
    gCounters.periodsEnded++;
    ReleaseSRWLockExclusive(&gPlaybackLock);
    if (timerId != 0) timeKillEvent(timerId);
    timeEndPeriod(resolution);
}

int StartPlayback(HWND window, bool loop)
{
    StopPlayback();
    AcquireSRWLockExclusive(&gPlaybackLock);
    PlaybackTimer& t = gPlaybackTimer;
    t.window = window;
    t.loop = loop;
    t.position = 0;
    t.generation++;
    t.endPosted = false;
    if (gPlaybackCopy.count == 0) {
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return 0;
    }
    TIMECAPS caps;
    t.resolution = 5;
    t.shortestWait = 1;
    t.longestWait = 1000000;
    if (timeGetDevCaps(&caps, sizeof(caps)) == MMSYSERR_NOERROR) {
        if (caps.wPeriodMax <= 5) t.resolution = caps.wPeriodMax;
        if (caps.wPeriodMin > 1) t.shortestWait = caps.wPeriodMin;
        if (caps.wPeriodMax >= t.shortestWait) t.longestWait = caps.wPeriodMax;
    }
    if (t.resolution < t.shortestWait) t.resolution = t.shortestWait;
    timeBeginPeriod(t.resolution);
    gCounters.periodsBegun++;
    t.start = ReadClock();
    t.due = 0;
    // The lock is held while arming, so the first tick waits until the
    // chain is marked running with its timer's identifier.
    t.running = true;
    if (!ArmTimer(AdvanceDue())) {
        EndChain();
        ReleaseSRWLockExclusive(&gPlaybackLock);
        return 0;
    }
    ReleaseSRWLockExclusive(&gPlaybackLock);
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
    while (PeekMessageA(&message, window, WM_PLAYEVENT, WM_PLAYEND, PM_REMOVE)) {
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
        MessageBoxA(nullptr, "内存分配错误.", "错误", MB_OK);
        return 0;
    }
    memcpy(copy, events, (size_t)count * sizeof(RecordedEvent));
    gPlaybackCopy.events = copy;
    gPlaybackCopy.count = count;
    return 1;
}
