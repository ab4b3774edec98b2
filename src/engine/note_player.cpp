#include "engine/note_player.h"

#include "engine/keymap.h"
#include "engine/midi_output.h"
#include "engine/performance.h"
#include "engine/platform.h"
#include "recorder/recording.h"

PerformanceSettings gSettings;

void ResetPerformanceSettings()
{
    gSettings = PerformanceSettings();
}

static bool IsRepeat(uint32_t keyData) { return (keyData & (1u << 30)) != 0; }

static bool AnyKeyHeld()
{
    return gSettings.heldCount[0] != 0 || gSettings.heldCount[1] != 0 || gSettings.heldCount[2] != 0;
}

// Sounds the note of octave and semitone in the current key on the chosen
// channel, and its bass note when auto bass is on; a note that falls outside
// 0..127 is not sent. Returns what went out.
static SentNote SoundNote(int64_t octave, int32_t semitone)
{
    SentNote sent;
    int32_t note = 0;
    if (NoteNumber(octave, semitone, gSettings.keyId, &note)) {
        SendNoteOn(gSettings.midiOut, gSettings.channel, note, gSettings.velocity);
        sent.note = (int16_t)note;
        sent.channel = (int16_t)gSettings.channel;
    }
    if (gSettings.autoBass && NoteNumber(octave - 1, semitone, gSettings.keyId, &note)) {
        SendNoteOn(gSettings.midiOut, BassChannel, note, gSettings.velocity);
        sent.bassNote = (int16_t)note;
    }
    return sent;
}

// Ends what a press sent.
static void EndNote(const SentNote& sent)
{
    if (sent.note >= 0) SendNoteOff(gSettings.midiOut, sent.channel, sent.note, 0);
    if (sent.bassNote >= 0) SendNoteOff(gSettings.midiOut, BassChannel, sent.bassNote, 0);
}

// The place of the latest of count remembered presses.
static SentNote& LatestSent(SentNote (&presses)[SentNoteDepth], int count)
{
    return presses[(count < SentNoteDepth ? count : SentNoteDepth) - 1];
}

static void PressKey(KeySurface* surface, int index, const KeyMapEntry& key, uint32_t keyData)
{
    // A key let go when the focus left, still down when it came back: it
    // stays let go until it is pressed anew.
    if (gSettings.letGo[index]) {
        if (IsRepeat(keyData)) return;
        gSettings.letGo[index] = false;
    }
    int32_t octave = key.octave;
    if (AnyKeyHeld()) {
        // The latch is set: a further key sounds in the held keys' shift.
        if (IsRepeat(keyData)) return;
        octave += gSettings.octaveState;
        HeldCount(gSettings.octaveState)++;
    } else {
        // The first key of a chord samples the modifiers; Shift wins.
        if (ShiftKeyDown()) gSettings.octaveState = 1;
        else if (ControlKeyDown()) gSettings.octaveState = -1;
        else gSettings.octaveState = 0;
        HeldCount(gSettings.octaveState) = 1;
        octave += gSettings.octaveState;
    }
    if (gSettings.pressCount[index] < 255) gSettings.pressCount[index]++;
    SentNote& sent = LatestSent(gSettings.sent[index], gSettings.pressCount[index]);
    sent = SentNote();
    // A key still down after Esc repeats: it latches but does not sound.
    if (IsRepeat(keyData)) return;
    if (gRecording.isRecording) AppendRecordedEvent(KeyPressMessage, keyData, gSettings.octaveState);
    sent = SoundNote(octave, key.semitone);
    DrawKeyMarker(surface, index, 1, 0, 0);
}

static void ReleaseKey(KeySurface* surface, int index, uint32_t keyData)
{
    if (gRecording.isRecording) AppendRecordedEvent(KeyReleaseMessage, keyData, gSettings.octaveState);
    // The release ends what its press sent. A release whose press was never
    // counted (after Esc, or pressed while the output was off or another
    // window had the focus) has nothing to end, and leaves the counters and
    // the latch alone, so the keys really held keep their octave. Only the
    // release of the last counted key frees the latch.
    if (gSettings.pressCount[index] > 0) {
        SentNote& sent = LatestSent(gSettings.sent[index], gSettings.pressCount[index]);
        SentNote ended = sent;
        sent = SentNote();
        gSettings.pressCount[index]--;
        int32_t shift = gSettings.octaveState;
        if (HeldCount(shift) > 0) HeldCount(shift)--;
        if (!AnyKeyHeld()) gSettings.octaveState = 0;
        EndNote(ended);
    }
    DrawKeyMarker(surface, index, 0, 0, 0);
}

void PlayKeyEvent(KeySurface* surface, uint32_t message, uint32_t keyData)
{
    uint32_t index = ScanCodeOf(keyData);
    const KeyMapEntry* key = PlayableKey(index);
    if (!key) return;
    if (message == (uint32_t)KeyPressMessage) {
        PressKey(surface, (int)index, *key, keyData);
    } else if (message == (uint32_t)KeyReleaseMessage) {
        // The key-up of a key let go when the focus left: it is over already.
        if (gSettings.letGo[index]) {
            gSettings.letGo[index] = false;
            return;
        }
        ReleaseKey(surface, (int)index, keyData);
    }
}

bool KeyCountedAsHeld(uint32_t keyData)
{
    uint32_t index = ScanCodeOf(keyData);
    return PlayableKey(index) && gSettings.pressCount[index] > 0 && !gSettings.letGo[index];
}

void ReplayKeyEvent(KeySurface* surface, uint32_t message, uint32_t keyData, int32_t octaveShift)
{
    uint32_t index = ScanCodeOf(keyData);
    const KeyMapEntry* key = PlayableKey(index);
    if (!key) return;
    uint8_t& count = gSettings.replayCount[index];
    // A record of a file is a release only when its message says so; any
    // other message is a press. Whatever octave shift it holds, its note
    // sounds when it falls in 0..127. A release ends what the press of its
    // key sent; one with no press before it has nothing to end.
    if (message == (uint32_t)KeyReleaseMessage) {
        if (count > 0) {
            SentNote& sent = LatestSent(gSettings.replayed[index], count);
            SentNote ended = sent;
            sent = SentNote();
            count--;
            EndNote(ended);
        }
        DrawKeyMarker(surface, (int)index, 0, 1, octaveShift);
    } else {
        if (count < 255) count++;
        LatestSent(gSettings.replayed[index], count) = SoundNote((int64_t)key->octave + octaveShift, key->semitone);
        DrawKeyMarker(surface, (int)index, 1, 1, octaveShift);
    }
}

void LetGoOfHeldKeys(KeySurface* surface)
{
    for (int index = 0; index < KeyMapSize; index++) {
        if (!PlayableKey((uint32_t)index) || gSettings.pressCount[index] == 0) continue;
        // Each counted press gets the release its key-up would have brought:
        // the mouse's key-up word for the key held with the mouse, else the
        // keyboard's (repeat count 1, previous state and transition set).
        while (gSettings.pressCount[index] > 0) {
            uint32_t keyData = (uint32_t)index << 16;
            if (index == gSettings.mouseKey) gSettings.mouseKey = NoMouseKey;
            else keyData |= 1u | 3u << 30;
            ReleaseKey(surface, index, keyData);
        }
        gSettings.letGo[index] = true;
    }
    gSettings.mouseKey = NoMouseKey;
}

void ReleaseHeldKeys()
{
    gSettings.heldCount[0] = gSettings.heldCount[1] = gSettings.heldCount[2] = 0;
    for (int index = 0; index < KeyMapSize; index++) {
        gSettings.pressCount[index] = 0;
        gSettings.replayCount[index] = 0;
        for (int i = 0; i < SentNoteDepth; i++) gSettings.sent[index][i] = gSettings.replayed[index][i] = SentNote();
    }
}

void EscapeKey()
{
    ReleaseHeldKeys();
    SilenceAllChannels();
}

bool VelocityAfterScroll(int32_t velocity, int code, int thumb, int32_t* result)
{
    int32_t v;
    switch (code) {
    case 0: v = velocity + 1; break;   // SB_LINEUP
    case 1: v = velocity - 1; break;   // SB_LINEDOWN
    case 2: v = velocity + 8; break;   // SB_PAGEUP
    case 3: v = velocity - 8; break;   // SB_PAGEDOWN
    case 4:                            // SB_THUMBPOSITION
    case 5: v = 128 - thumb; break;    // SB_THUMBTRACK
    default: return false;
    }
    *result = v < 1 ? 1 : v > 127 ? 127 : v;
    return true;
}

bool PitchBendAfterScroll(int code, int thumb, int32_t* value)
{
    if (code == 5) { // SB_THUMBTRACK: the wheel follows the thumb
        int32_t v = 16383 - thumb;
        *value = v < 0 ? 0 : v > 16383 ? 16383 : v;
        return true;
    }
    if (code == 4) { // SB_THUMBPOSITION: let go, it springs back
        *value = PitchBendRest;
        return true;
    }
    return false;
}

int MouseKeyAt(unsigned x, unsigned y, int left, int top)
{
    // Coordinates are taken unsigned, as the window reports them.
    long long dx = (long long)x - left, dy = (long long)y - top;
    if (dx < 0 || dx > 475 || dy < 0 || dy > 156) return -1;
    int row = (int)(dy / 39);
    if (row > 3) row = 3;
    long long column = (row == 0 || row == 2) ? (dx / 38) * 2 : ((dx - 19) / 38) * 2 + 1;
    if (column < 0) column = 0;
    if (column > 23) column = 23;
    for (int i = 0; i < KeyMapSize; i++)
        if (KeyMap[i].octave != -1 && KeyMap[i].row == row && KeyMap[i].column == column) return i;
    return -1;
}

void SelectChannel(int32_t channel)
{
    gSettings.channel = channel;
    if (gSettings.switchOn) SendInstrument();
}

void SelectInstrument(int32_t program)
{
    gSettings.instrument = program;
    if (gSettings.switchOn) SendInstrument();
}

void SelectKey(int32_t keyId)
{
    gSettings.keyId = keyId;
}

void ToggleAutoBass()
{
    gSettings.autoBass = !gSettings.autoBass;
}
