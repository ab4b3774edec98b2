#include "portable/song/recording.h"

#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"

Recording gRecording;

void ReleaseRecordingEvents()
{
    free(gRecording.events);
    gRecording.events = nullptr;
    gRecording.count = 0;
}

void BeginRecording(uint32_t now)
{
    gRecording.isRecording = true;
    ReleaseRecordingEvents();
    gRecording.lastEventTime = now;
}

void EndRecording()
{
    gRecording.isRecording = false;
}

bool AppendRecordedEventAt(uint32_t now, int32_t message, uint32_t keyData, int32_t octaveShift)
{
    if (!PlayableKey(ScanCodeOf(keyData))) return false;
    if (message == KeyPressMessage && (keyData & (1u << 30))) return false; // auto-repeat
    if (message == KeyReleaseMessage && gRecording.count == 0) return false; // its press came before
    // The array grows by exactly one record; when it cannot, the event is
    // dropped and the recording stays as it was.
    if (gRecording.count == UINT32_MAX / sizeof(RecordedEvent)) return false;
    size_t bytes = ((size_t)gRecording.count + 1) * sizeof(RecordedEvent);
    RecordedEvent* grown = (RecordedEvent*)realloc(gRecording.events, bytes);
    if (!grown) return false;
    gRecording.events = grown;
    RecordedEvent& e = gRecording.events[gRecording.count];
    e.delay = now - gRecording.lastEventTime; // modulo 2^32 across the clock's wrap
    e.message = message;
    e.keyData = keyData;
    e.octaveShift = octaveShift;
    gRecording.lastEventTime = now;
    gRecording.count++;
    return true;
}

bool ReplaceRecordingEvents(const RecordedEvent* events, uint32_t count)
{
    RecordedEvent* copy = nullptr;
    if (count > 0) {
        copy = (RecordedEvent*)malloc((size_t)count * sizeof(RecordedEvent));
        if (!copy) return false;
        memcpy(copy, events, (size_t)count * sizeof(RecordedEvent));
    }
    AdoptRecordingEvents(copy, count);
    return true;
}

void AdoptRecordingEvents(RecordedEvent* events, uint32_t count)
{
    ReleaseRecordingEvents();
    gRecording.events = events;
    gRecording.count = count;
}
