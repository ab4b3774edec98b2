// The window side of recording and playback: the commands, the playback
// copy, the timer chain and the message that sounds each event.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "portable/song/recording.h"

// The boxes of recording and playback: the request to switch the output on
// first, and the message when the playback copy finds no memory.
inline constexpr char SwitchRequestText[] = "请打开开关";
inline constexpr char SwitchRequestCaption[] = "提示";
inline constexpr char MemoryErrorText[] = "内存分配错误.";
inline constexpr char MemoryErrorCaption[] = "错误";

// Commands 1283 and 1284.
void StartRecordingCommand(HWND window);
void StopRecordingCommand(HWND window);

// Commands 1285 (once) and 1286 (loop), and 1287.
void StartPlaybackCommand(HWND window, bool loop);
void StopPlaybackCommand(HWND window);

// WM_PLAYEVENT: sounds one event of the playback copy (when the output is on).
void PlayEventMessage(HWND window, WPARAM wParam, LPARAM lParam);

// Private messages of the playback chain that reach the main window; true
// when message was one of them (result then in *result).
bool PlaybackWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Timer 1 of the main window: plays a file loaded at start-up once.
void PlaybackStartTimer(HWND window);

// The copy of the recording that playback reads. 1 on success; on failure
// the "内存分配错误." box, and the copy is empty.
int MakePlaybackCopy(const RecordedEvent* events, uint32_t count);
void ReleasePlaybackCopy();

// The main window's destruction: stops a live chain, then frees the copy.
void ShutdownPlayback();

// The end of a single play, posted by the chain after its last event so that
// it arrives behind that event; wParam the chain's generation. The window
// turns it into command 1287 when that chain is still the current one.
constexpr UINT WM_PLAYEND = WM_USER + 2;

// The chain. StartPlayback ends a live chain, then arms the first timer for
// the copy's first event: 1 when armed, 0 otherwise (an empty copy arms
// nothing). StopPlayback ends a live chain: on return no timer is armed, no
// further message will be posted, and the timer resolution has been ended
// exactly once for the chain.
int StartPlayback(HWND window, bool loop);
void StopPlayback();
bool PlaybackRunning();
uint32_t PlaybackCopyCount();

// The event that a WM_PLAYEVENT names, or null when it names no event of
// the current copy.
const RecordedEvent* PlaybackEventAt(WPARAM events, LPARAM index);

// True once for the WM_PLAYEND that the current chain posted at its end
// (wParam its generation); false for a stale or stray one.
bool TakePlaybackEnd(WPARAM generation);

// Removes the chain's messages still waiting in the window's queue.
void DrainPlaybackMessages(HWND window);

// How the chain arms its timers: for each event's due time from the start
// of the play (the program's way), or each step from the previous tick (the
// old way, whose lateness adds up; kept to compare against).
enum PlaybackPacing { DueTimePacing, StepPacing };
extern PlaybackPacing gPlaybackPacing;

// The multimedia timer functions the chain calls (winmm's); tests may put
// others in their place.
struct PlaybackTimerFunctions {
    MMRESULT(WINAPI* getDevCaps)(LPTIMECAPS caps, UINT size);
    MMRESULT(WINAPI* beginPeriod)(UINT period);
    MMRESULT(WINAPI* endPeriod)(UINT period);
    MMRESULT(WINAPI* setEvent)(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
    MMRESULT(WINAPI* killEvent)(UINT timerId);
    DWORD(WINAPI* getTime)();
};
extern PlaybackTimerFunctions gPlaybackTimerFunctions;

// What the chain has done since the program started.
struct PlaybackCounters {
    long periodsBegun = 0; // timeBeginPeriod calls
    long periodsEnded = 0; // timeEndPeriod calls
    long timersArmed = 0;
    long eventsPosted = 0;
    long endsPosted = 0;
};
PlaybackCounters ReadPlaybackCounters();
