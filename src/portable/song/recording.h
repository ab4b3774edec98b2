// The recorded performance: key presses and releases with their timing.
// Portable; the caller reads the clock.
#pragma once

#include <cstdint>

// One recorded key event; the same 16 bytes in memory and in a recording file.
struct RecordedEvent {
    uint32_t delay;      // milliseconds since the previous event (modulo 2^32)
    int32_t message;     // 256 pressed, 257 released
    uint32_t keyData;    // the key message's parameter; bits 16..23 the scan code
    int32_t octaveShift; // -1, 0, +1: the latched octave state
};
static_assert(sizeof(RecordedEvent) == 16, "a recorded event is 16 bytes");

constexpr int32_t KeyPressMessage = 256;   // WM_KEYDOWN
constexpr int32_t KeyReleaseMessage = 257; // WM_KEYUP

struct Recording {
    RecordedEvent* events = nullptr; // exactly count records
    uint32_t count = 0;
    bool isRecording = false;
    uint32_t lastEventTime = 0;      // clock at the last event or the start
};

extern Recording gRecording;

// Drops the previous events and starts recording at time now.
void BeginRecording(uint32_t now);

// Appends one event played at clock reading now, its delay counted from the
// event before. A release while the recording is still empty is dropped, as
// is an auto-repeated press. Returns false when the event was dropped (by
// the rules, or because memory ran out).
bool AppendRecordedEventAt(uint32_t now, int32_t message, uint32_t keyData, int32_t octaveShift);

// Ends recording; the events stay.
void EndRecording();

// Replaces the events with a copy of count records (a load). False, and the
// recording unchanged, when memory cannot be had.
bool ReplaceRecordingEvents(const RecordedEvent* events, uint32_t count);

// Takes over an events array allocated with malloc (a load).
void AdoptRecordingEvents(RecordedEvent* events, uint32_t count);

// Frees the events; count becomes 0.
void ReleaseRecordingEvents();
