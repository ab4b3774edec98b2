#include "portable/play/note_player.h"

#include "portable/keys/keymap.h"
#include "portable/play/midi_output.h"
#include "portable/play/performance.h"
#include "portable/play/system_facts.h"

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

static PlayedKeyHook gPlayedKeyHook = nullptr;

void SetPlayedKeyHook(PlayedKeyHook hook)
{
    gPlayedKeyHook = hook;
}

static ReplaySettings CurrentReplaySettings()
{
    return {gSettings.keyId, gSettings.channel, gSettings.velocity, gSettings.autoBass};
}

static void Send(const NoteMessage* messages, int n)
{
    for (int i = 0; i < n; i++) {
        if (messages[i].velocity) SendNoteOn(gSettings.midiOut, messages[i].channel, messages[i].note, messages[i].velocity);
        else SendNoteOff(gSettings.midiOut, messages[i].channel, messages[i].note, 0);
    }
}

// Ends what a press sent.
static void EndNote(const SentNote& sent)
{
    NoteMessage out[2];
    Send(out, EndSent(sent, out));
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
    uint8_t& count = gSettings.held.count[index];
    if (count < 255) count++;
    SentNote& sent = LatestPress(&gSettings.held, index);
    sent = SentNote();
    // A key still down after Esc repeats: it latches but does not sound.
    if (IsRepeat(keyData)) return;
    if (gPlayedKeyHook) gPlayedKeyHook(KeyPressMessage, keyData, gSettings.octaveState);
    NoteMessage out[2];
    int n = 0;
    sent = SoundKey(CurrentReplaySettings(), octave, key.semitone, out, &n);
    Send(out, n);
    DrawKeyMarker(surface, index, 1, 0, 0);
}

static void ReleaseKey(KeySurface* surface, int index, uint32_t keyData)
{
    if (gPlayedKeyHook) gPlayedKeyHook(KeyReleaseMessage, keyData, gSettings.octaveState);
    // The release ends what its press sent. A release whose press was never
    // counted (after Esc, or pressed while the output was off or another
    // window had the focus) has nothing to end, and leaves the counters and
    // the latch alone, so the keys really held keep their octave. Only the
    // release of the last counted key frees the latch.
    if (gSettings.held.count[index] > 0) {
        SentNote& sent = LatestPress(&gSettings.held, index);
        SentNote ended = sent;
        sent = SentNote();
        gSettings.held.count[index]--;
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
    return PlayableKey(index) && gSettings.held.count[index] > 0 && !gSettings.letGo[index];
}

void ReplayKeyEvent(KeySurface* surface, uint32_t message, uint32_t keyData, int32_t octaveShift)
{
    uint32_t index = ScanCodeOf(keyData);
    if (!PlayableKey(index)) return;
    RecordedEvent event = {0, (int32_t)message, keyData, octaveShift};
    NoteMessage out[2];
    Send(out, ReplayEvent(&gSettings.replayed, CurrentReplaySettings(), event, out));
    bool release = message == (uint32_t)KeyReleaseMessage;
    DrawKeyMarker(surface, (int)index, release ? 0 : 1, 1, octaveShift);
}

void LetGoOfHeldKeys(KeySurface* surface)
{
    for (int index = 0; index < KeyMapSize; index++) {
        if (!PlayableKey((uint32_t)index) || gSettings.held.count[index] == 0) continue;
        // Each counted press gets the release its key-up would have brought:
        // the mouse's key-up word for the key held with the mouse, else the
        // keyboard's (repeat count 1, previous state and transition set).
        while (gSettings.held.count[index] > 0) {
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
    ClearPresses(&gSettings.held);
    ClearPresses(&gSettings.replayed);
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
