// The window side of recording and playback: commands 1283 to 1287, the
// enabled states they set, the sounding of each posted event, the end of a
// single play and the start-up play of a loaded file.
#include <windows.h>

#include "windows/program/display.h"
#include "portable/play/midi_output.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "portable/play/system_facts.h"
#include "windows/program/document_state.h"
#include "windows/program/recorder_commands.h"
#include "windows/program/app.h"
#include "windows/platform/system_text.h"

static void AskForSwitch(HWND window)
{
    ProgramMessageBox(window, SwitchRequestText, SwitchRequestCaption, MB_OK);
}

static void SetCommands(const int* ids, int count, bool enabled)
{
    for (int i = 0; i < count; i++) EnableCommand(ids[i], enabled);
}

static void SetButtons(bool record, bool stopRecord, bool play, bool loop, bool stopPlay)
{
    EnablePushButton(CmdStartRecording, record);
    EnablePushButton(CmdStopRecording, stopRecord);
    EnablePushButton(CmdPlay, play);
    EnablePushButton(CmdLoop, loop);
    EnablePushButton(CmdStopPlaying, stopPlay);
}

void StartRecordingCommand(HWND window)
{
    if (!gSettings.switchOn) {
        AskForSwitch(window);
        return;
    }
    static constexpr int greyed[] = {CmdStartRecording, CmdPlay, CmdLoop, CmdStopPlaying,
                                     CmdSave, CmdSaveAs, CmdLoad, CmdExport};
    SetCommands(greyed, 8, false);
    EnableCommand(CmdStopRecording, true);
    SetButtons(false, true, false, false, false);
    BeginRecording(MillisecondClock());
    gDocument.songPath[0] = 0; // the new recording comes from no file
}

void StopRecordingCommand(HWND)
{
    EnableCommand(CmdStartRecording, true);
    EnableCommand(CmdStopRecording, false);
    EnablePushButton(CmdStartRecording, true);
    EnablePushButton(CmdStopRecording, false);
    bool some = gRecording.count > 0;
    static constexpr int playable[] = {CmdPlay, CmdLoop, CmdSave, CmdSaveAs, CmdExport};
    SetCommands(playable, 5, some);
    EnablePushButton(CmdPlay, some);
    EnablePushButton(CmdLoop, some);
    if (!some) gDocument.modified = false;
    EnableCommand(CmdStopPlaying, false);
    EnableCommand(CmdLoad, true);
    EnablePushButton(CmdStopPlaying, false);
    EndRecording();
    MakePlaybackCopy(gRecording.events, gRecording.count);
}

void StartPlaybackCommand(HWND window, bool loop)
{
    if (!gSettings.switchOn) {
        AskForSwitch(window);
        return;
    }
    // Nothing to play (the copy could not be made): refused, and the
    // controls stay as they are.
    if (PlaybackCopyCount() == 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    static constexpr int greyed[] = {CmdStartRecording, CmdStopRecording, CmdPlay, CmdLoop,
                                     CmdSave, CmdSaveAs, CmdLoad, CmdExport};
    SetCommands(greyed, 8, false);
    EnableCommand(CmdStopPlaying, true);
    SetButtons(false, false, false, false, true);
    StartPlayback(window, loop);
}

void StopPlaybackCommand(HWND window)
{
    EnableCommand(CmdStartRecording, true);
    EnableCommand(CmdPlay, true);
    EnableCommand(CmdLoop, true);
    EnableCommand(CmdStopRecording, false);
    EnableCommand(CmdStopPlaying, false);
    SetButtons(true, false, true, true, false);
    StopPlayback();
    // Events the chain posted before it stopped would sound after the
    // silence below: they are dropped.
    DrainPlaybackMessages(window);
    ReleaseHeldKeys();
    if (gSettings.switchOn) SilenceAllChannels();
    if (gDocument.modified) EnableCommand(CmdSave, true);
    EnableCommand(CmdSaveAs, true);
    EnableCommand(CmdLoad, true);
    EnableCommand(CmdExport, true);
    RepaintMainWindow();
}

void PlayEventMessage(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (!gSettings.switchOn) return;
    const RecordedEvent* e = PlaybackEventAt(wParam, lParam);
    if (!e) return;
    KeySurface surface;
    BeginKeySurface(window, &surface);
    ReplayKeyEvent(&surface, (uint32_t)e->message, e->keyData, e->octaveShift);
    EndKeySurface(&surface);
}

bool PlaybackWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (message != WM_PLAYEND) return false;
    // Only the end that the current chain posted stops the play; the end of
    // one that a stop or a new start has overtaken is stale, and a stray
    // message of this number is nobody's.
    if (TakePlaybackEnd(wParam)) SendMessageW(window, WM_COMMAND, CmdStopPlaying, 0);
    *result = 0;
    return true;
}

void PlaybackStartTimer(HWND window)
{
    KillTimer(window, 1);
    // The player may have started recording or playing in the half second.
    if (gRecording.isRecording || PlaybackRunning()) return;
    SendMessageW(window, WM_COMMAND, CmdPlay, 0);
}

void ShutdownPlayback()
{
    StopPlayback();
    if (gMainWindow) DrainPlaybackMessages(gMainWindow);
    ReleasePlaybackCopy();
}
