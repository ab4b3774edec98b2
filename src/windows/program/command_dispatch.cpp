// WM_COMMAND: every user command, from the menu, an accelerator, the
// toolbar or a push button alike.
#include "portable/keys/keymap.h"
#include "portable/play/midi_output.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "windows/program/document_commands.h"
#include "windows/program/recorder_commands.h"
#include "windows/program/about.h"
#include "windows/program/app.h"
#include "windows/program/devices.h"
#include "windows/program/main_window.h"
#include "windows/program/practice_window.h"
#include "windows/platform/system_text.h"

static void SelectKeyCommand(int id)
{
    CheckCommand(gSettings.keyId, false);
    CheckCommand(id, true);
    SelectKey(id);
    RepaintMainWindow();
}

static void SwitchOnCommand(HWND window)
{
    SwitchResult result = SwitchOutputOn();
    if (result == SwitchOpened) {
        CheckCommand(CmdSwitchOn, true);
        CheckCommand(CmdSwitchOff, false);
    } else if (result == SwitchFailed) {
        MessageBeep(MB_ICONEXCLAMATION);
        ProgramMessageBox(window, "Cannot open MIDI device", "QF", MB_ICONWARNING);
    }
    RepaintMainWindow();
}

static void SwitchOffCommand()
{
    if (SwitchOutputOff()) {
        CheckCommand(CmdSwitchOn, false);
        CheckCommand(CmdSwitchOff, true);
    }
    RepaintMainWindow();
}

static void DeviceCommand(HWND window, int id)
{
    CheckCommand(CmdDeviceBase + gSettings.device, false);
    gSettings.device = id - CmdDeviceBase;
    CheckCommand(id, true);
    if (gSettings.switchOn) {
        // Silence and close the old device, then open the new one.
        SendMessageW(window, WM_COMMAND, CmdSwitchOff, 0);
        SendMessageW(window, WM_COMMAND, CmdSwitchOn, 0);
        // A device chosen and opened is the one the next start opens.
        if (gSettings.switchOn) RememberSelectedDevice();
    }
    RepaintMainWindow();
}

static void ChannelCommand(int id)
{
    CheckCommand(CmdChannelBase + gSettings.channel, false);
    CheckCommand(id, true);
    SelectChannel(id - CmdChannelBase);
    RepaintMainWindow();
}

static void InstrumentCommand(int id)
{
    CheckCommand(CmdInstrumentBase + gSettings.instrument, false);
    CheckCommand(id, true);
    SelectInstrument(id - CmdInstrumentBase);
    RepaintMainWindow();
}

LRESULT DispatchCommand(HWND window, int id)
{
    // Recording or playing ends practice first (another song ends it as it opens).
    if (id == CmdStartRecording || id == CmdPlay || id == CmdLoop) LeavePractice(window);
    if (id == CmdHelp) ShowHelpTopic();
    else if (id == CmdAbout) ShowAboutBox(window);
    else if (id >= CmdFirstKey && id <= CmdLastKey) {
        // The gaps between the key runs name no key: only repaint.
        if (IsKeyId(id)) SelectKeyCommand(id);
        else RepaintMainWindow();
    } else if (id == CmdStartRecording) StartRecordingCommand(window);
    else if (id == CmdStopRecording) StopRecordingCommand(window);
    else if (id == CmdPlay) StartPlaybackCommand(window, false);
    else if (id == CmdLoop) StartPlaybackCommand(window, true);
    else if (id == CmdStopPlaying) StopPlaybackCommand(window);
    else if (id == CmdSave) return SaveCommand(window, CmdSave);
    else if (id == CmdSaveAs) SaveCommand(window, CmdSaveAs);
    else if (id == CmdLoad) LoadCommand(window);
    else if (id == CmdExport) ExportCommand(window);
    else if (id == CmdAutoBass) {
        ToggleAutoBass();
        CheckCommand(CmdAutoBass, gSettings.autoBass);
    } else if (id == CmdReverb) ReverbCommand();
    else if (id == CmdSwitchOn) SwitchOnCommand(window);
    else if (id == CmdSwitchOff) SwitchOffCommand();
    else if (id >= CmdMapper && id <= CmdDeviceLast) DeviceCommand(window, id);
    // Only the fifteen channels of the menu and the 128 programs are taken, so
    // a stray identifier can never build a status or data byte out of range.
    else if (id >= CmdChannelBase && id < CmdChannelBase + 15) ChannelCommand(id);
    else if (id >= CmdInstrumentBase && id < CmdInstrumentBase + 128) InstrumentCommand(id);
    else if (id >= CmdPractice && id <= CmdLoopEnd) PracticeCommand(window, id);
    else RepaintMainWindow();
    return 0;
}
