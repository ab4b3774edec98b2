#include "portable/song/replay.h"

SentNote& LatestPress(PressStack* stack, int index)
{
    int count = stack->count[index];
    return stack->sent[index][(count < SentNoteDepth ? count : SentNoteDepth) - 1];
}

void ClearPresses(PressStack* stack)
{
    *stack = PressStack();
}

SentNote SoundKey(const ReplaySettings& settings, int64_t octave, int32_t semitone, NoteMessage out[2], int* n)
{
    SentNote sent;
    int32_t note = 0;
    *n = 0;
    if (NoteNumber(octave, semitone, settings.keyId, &note)) {
        out[(*n)++] = {(uint8_t)settings.channel, (uint8_t)note, (uint8_t)settings.velocity};
        sent.note = (int16_t)note;
        sent.channel = (int16_t)settings.channel;
    }
    if (settings.autoBass && NoteNumber(octave - 1, semitone, settings.keyId, &note)) {
        out[(*n)++] = {(uint8_t)BassChannel, (uint8_t)note, (uint8_t)settings.velocity};
        sent.bassNote = (int16_t)note;
    }
    return sent;
}

int EndSent(const SentNote& sent, NoteMessage out[2])
{
    int n = 0;
    if (sent.note >= 0) out[n++] = {(uint8_t)sent.channel, (uint8_t)sent.note, 0};
    if (sent.bassNote >= 0) out[n++] = {(uint8_t)BassChannel, (uint8_t)sent.bassNote, 0};
    return n;
}

int ReplayEvent(PressStack* presses, const ReplaySettings& settings, const RecordedEvent& event, NoteMessage out[2])
{
    uint32_t index = ScanCodeOf(event.keyData);
    const KeyMapEntry* key = PlayableKey(index);
    if (!key) return 0;
    uint8_t& count = presses->count[index];
    if (event.message == KeyReleaseMessage) {
        if (count == 0) return 0;
        SentNote& sent = LatestPress(presses, (int)index);
        SentNote ended = sent;
        sent = SentNote();
        count--;
        return EndSent(ended, out);
    }
    // Whatever octave shift a record holds, its note sounds when it falls
    // in 0..127.
    if (count < 255) count++;
    int n = 0;
    LatestPress(presses, (int)index) = SoundKey(settings, (int64_t)key->octave + event.octaveShift, key->semitone, out, &n);
    return n;
}

int EndEveryPress(PressStack* presses, NoteMessage* out, int capacity)
{
    int n = 0;
    for (int index = 0; index < KeyMapSize; index++) {
        while (presses->count[index] > 0) {
            NoteMessage ends[2];
            SentNote& sent = LatestPress(presses, index);
            int e = EndSent(sent, ends);
            sent = SentNote();
            presses->count[index]--;
            for (int i = 0; i < e && n < capacity; i++) out[n++] = ends[i];
        }
    }
    return n;
}

void ReplayRecording(const RecordedEvent* events, uint32_t count, const ReplaySettings& settings, bool endHeld,
                     ReplayTake take, void* context)
{
    static_assert(KeyMapSize * SentNoteDepth * 2 <= 512, "the ends of every press fit");
    PressStack presses;
    uint64_t ms = 0;
    NoteMessage out[2];
    for (uint32_t i = 0; i < count; i++) {
        ms += events[i].delay;
        int n = ReplayEvent(&presses, settings, events[i], out);
        for (int m = 0; m < n; m++) take(context, ms, i, out[m]);
    }
    if (!endHeld) return;
    NoteMessage ends[512];
    int n = EndEveryPress(&presses, ends, 512);
    for (int m = 0; m < n; m++) take(context, ms, count, ends[m]);
}
