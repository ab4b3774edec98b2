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
        if (gSettings.pressCount[index] < 255) gSettings.pressCount[index]++;
    } else {
        // The first key of a chord samples the modifiers; Shift wins.
        if (ShiftKeyDown()) gSettings.octaveState = 1;
        else if (ControlKeyDown()) gSettings.octaveState = -1;
        else gSettings.octaveState = 0;
        HeldCount(gSettings.octaveState) = 1;
        if (gSettings.pressCount[index] < 255) gSettings.pressCount[index]++;
        octave += gSettings.octaveState;
        // A key still down after Esc repeats: it latches but does not sound.
        if (IsRepeat(keyData)) return;
    }
    if (gRecording.isRecording) AppendRecordedEvent(KeyPressMessage, keyData, gSettings.octaveState);
    SendNoteOn(gSettings.midiOut, gSettings.channel, octave, key.semitone, gSettings.velocity);
    if (gSettings.autoBass) SendNoteOn(gSettings.midiOut, BassChannel, octave - 1, key.semitone, gSettings.velocity);
    DrawKeyMarker(surface, index, 1, 0, 0);
}

static void ReleaseKey(KeySurface* surface, int index, const KeyMapEntry& key, uint32_t keyData)
{
    if (gRecording.isRecording) AppendRecordedEvent(KeyReleaseMessage, keyData, gSettings.octaveState);
    int32_t shift = gSettings.octaveState;
    // A release whose press was never counted (after Esc, or pressed while
    // the output was off or another window had the focus) leaves the
    // counters and the latch alone, so the keys really held keep their
    // octave and no counter goes below zero. Its note-off still goes out, in
    // the latched octave. Only the release of the last counted key frees
    // the latch.
    if (gSettings.pressCount[index] > 0) {
        gSettings.pressCount[index]--;
        if (HeldCount(shift) > 0) HeldCount(shift)--;
        if (!AnyKeyHeld()) gSettings.octaveState = 0;
    }
    int32_t octave = key.octave + shift;
    SendNoteOff(gSettings.midiOut, gSettings.channel, octave, key.semitone, 0);
    if (gSettings.autoBass) SendNoteOff(gSettings.midiOut, BassChannel, octave - 1, key.semitone, 0);
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
        ReleaseKey(surface, (int)index, *key, keyData);
    }
}

void ReplayKeyEvent(KeySurface* surface, uint32_t message, uint32_t keyData, int32_t octaveShift)
{
    uint32_t index = ScanCodeOf(keyData);
    const KeyMapEntry* key = PlayableKey(index);
    if (!key) return;
    // A record of a file is a release only when its message says so; any
    // other message is a press. Whatever octave shift it holds, its note
    // sounds when it falls in 0..127 (the senders drop the others).
    int64_t octave = (int64_t)key->octave + octaveShift;
    if (message == (uint32_t)KeyReleaseMessage) {
        SendNoteOff(gSettings.midiOut, gSettings.channel, octave, key->semitone, 0);
        DrawKeyMarker(surface, (int)index, 0, 1, octaveShift);
        if (gSettings.autoBass) SendNoteOff(gSettings.midiOut, BassChannel, octave - 1, key->semitone, 0);
    } else {
        SendNoteOn(gSettings.midiOut, gSettings.channel, octave, key->semitone, gSettings.velocity);
        if (gSettings.autoBass)
            SendNoteOn(gSettings.midiOut, BassChannel, octave - 1, key->semitone, gSettings.velocity);
        DrawKeyMarker(surface, (int)index, 1, 1, octaveShift);
    }
}

void LetGoOfHeldKeys(KeySurface* surface)
{
    for (int index = 0; index < KeyMapSize; index++) {
        const KeyMapEntry* key = PlayableKey((uint32_t)index);
        if (!key || gSettings.pressCount[index] == 0) continue;
        // Each counted press gets the release its key-up would have brought:
        // the mouse's key-up word for the key held with the mouse, else the
        // keyboard's (repeat count 1, previous state and transition set).
        while (gSettings.pressCount[index] > 0) {
            uint32_t keyData = (uint32_t)index << 16;
            if (index == gSettings.mouseKey) gSettings.mouseKey = NoMouseKey;
            else keyData |= 1u | 3u << 30;
            ReleaseKey(surface, index, *key, keyData);
        }
        gSettings.letGo[index] = true;
    }
    gSettings.mouseKey = NoMouseKey;
}

void ReleaseHeldKeys()
{
    gSettings.heldCount[0] = gSettings.heldCount[1] = gSettings.heldCount[2] = 0;
    for (uint8_t& n : gSettings.pressCount) n = 0;
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
