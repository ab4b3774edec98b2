#include "windows/program/document_commands.h"

#include <commdlg.h>
#include <cderr.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "windows/program/practice_window.h"
#include "windows/program/document_state.h"
#include "portable/formats/midi_export.h"
#include "portable/formats/recording_file.h"
#include "windows/program/recorder_commands.h"
#include "portable/song/recording.h"
#include "windows/program/app.h"
#include "windows/program/track_chooser.h"
#include "windows/platform/system_text.h"

// The texts of the caption and the file boxes: the name goes into the one
// "%s" of format, "未命名" when there is none; a name too long for a path
// (a long command line) is cut short.
static void NameText(const char* format, const char* name, WCHAR* out, size_t size)
{
    WCHAR shown[ShownNameSize];
    if (name && *name)
        ShownName(name, shown);
    else
        ProgramTextToSystem(UntitledName, -1, shown, ShownNameSize);
    FillName(format, shown, out, size);
}

static int FileBox(HWND window, const WCHAR* text, UINT type)
{
    WCHAR caption[8];
    ProgramTextToSystem(FileBoxCaption, -1, caption, 8);
    return MessageBoxW(window, text, caption, type);
}

void SetDocumentTitle(HWND window, const char* name)
{
    WCHAR caption[ShownNameSize + 32];
    NameText(CaptionFormat, name, caption, ShownNameSize + 32);
    SetWindowTextW(window, caption);
}

void ShowFileError(HWND window, const char* format, const char* name)
{
    WCHAR text[ShownNameSize + 64];
    NameText(format, name, text, ShownNameSize + 64);
    MessageBeep(MB_ICONEXCLAMATION);
    FileBox(window, text, MB_ICONEXCLAMATION | MB_OK);
}

int PromptSaveChanges(HWND window, const char* name)
{
    WCHAR text[ShownNameSize + 64];
    NameText(SaveQuestionFormat, name, text, ShownNameSize + 64);
    int answer = FileBox(window, text, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES && SendMessageW(window, WM_COMMAND, CmdSave, 0) == 0) return IDCANCEL;
    return answer;
}

// One dialog structure serves the three file dialogs, filled anew each time.
// path and title (UTF-8) change only when a file was chosen.
static bool ChooseFile(HWND window, bool save, const char* filter, int filterLength, const char* extension,
                       char* path, char* title, DWORD flags)
{
    WCHAR widePath[FilePathUnits] = L"";
    WCHAR wideTitle[FilePathUnits] = L"";
    WCHAR wideFilter[256];
    WCHAR wideExtension[8];
    ProgramTextToSystem(filter, filterLength, wideFilter, 256);
    ProgramTextToSystem(extension, -1, wideExtension, 8);
    if (!NameToSystem(path, widePath, FilePathUnits)) widePath[0] = 0;
    OPENFILENAMEW ofn;
    memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = window;
    ofn.lpstrFilter = wideFilter;
    ofn.lpstrFile = widePath;
    ofn.nMaxFile = FilePathUnits;
    ofn.lpstrFileTitle = wideTitle;
    ofn.nMaxFileTitle = FilePathUnits;
    ofn.Flags = flags;
    ofn.lpstrDefExt = wideExtension;
    bool chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    // A name the dialog refuses to start with (one given on the command
    // line) would keep the dialog from ever opening: start it empty instead.
    if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME && widePath[0]) {
        widePath[0] = 0;
        chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    }
    if (!chosen) return false;
    char chosenPath[FilePathSize], chosenTitle[FilePathSize];
    if (!NameFromSystem(widePath, chosenPath, FilePathSize) || !NameFromSystem(wideTitle, chosenTitle, FilePathSize))
        return false;
    strcpy(path, chosenPath);
    strcpy(title, chosenTitle);
    return true;
}

static const char RecordingFilter[] = "QFI Files(*.QFI)\0*.qfi\0";
static const char OpenFilter[] = "琴坊文件、MIDI 与简谱 (*.qfi;*.mid;*.midi;*.txt)\0*.qfi;*.mid;*.midi;*.txt\0"
                                 "琴坊文件 (*.qfi)\0*.qfi\0"
                                 "MIDI 文件 (*.mid;*.midi)\0*.mid;*.midi\0"
                                 "简谱 (*.txt)\0*.txt\0"
                                 "所有文件 (*.*)\0*.*\0";
static const char MidiFilter[] = "Midi Files(*.MID)\0*.mid\0";

static bool ChooseOpenFile(HWND window, char* path, char* title)
{
    return ChooseFile(window, false, OpenFilter, sizeof OpenFilter, "qfi", path, title, OFN_CREATEPROMPT);
}

static bool ChooseSaveFile(HWND window, char* path, char* title)
{
    return ChooseFile(window, true, RecordingFilter, sizeof RecordingFilter, "qfi", path, title,
                      OFN_OVERWRITEPROMPT);
}

static bool ChooseExportFile(HWND window, char* path, char* title)
{
    return ChooseFile(window, true, MidiFilter, sizeof MidiFilter, "mid", path, title, OFN_OVERWRITEPROMPT);
}

int SaveCommand(HWND window, int id)
{
    if (id != CmdSave || gDocument.fileTitle[0] == 0) {
        if (!ChooseSaveFile(window, gDocument.filePath, gDocument.fileTitle)) return 0;
    }
    const char* error = WriteRecordingFile(gRecording.events, gRecording.count, gSettings.keyId, gSettings.autoBass,
                                           gDocument.filePath);
    if (error) {
        ShowFileError(window, error, gDocument.fileTitle);
        gDocument.fileTitle[0] = 0;
        SetDocumentTitle(window, "");
        return 0;
    }
    gDocument.modified = false;
    EnableCommand(CmdSave, false);
    SetDocumentTitle(window, gDocument.fileTitle);
    return 1;
}

// The controls of a freshly loaded recording (save for a song not saved
// yet); export only for a load by command (after a start-up load it follows
// with the end of the first play).
static void ShowLoadedRecording(bool enableExport)
{
    EnableCommand(CmdSave, gDocument.modified);
    EnableCommand(CmdSaveAs, true);
    EnableCommand(CmdStartRecording, true);
    EnableCommand(CmdPlay, true);
    EnableCommand(CmdLoop, true);
    if (enableExport) EnableCommand(CmdExport, true);
    EnableCommand(CmdStopRecording, false);
    EnableCommand(CmdStopPlaying, false);
    EnablePushButton(CmdStartRecording, true);
    EnablePushButton(CmdPlay, true);
    EnablePushButton(CmdLoop, true);
    EnablePushButton(CmdStopRecording, false);
    EnablePushButton(CmdStopPlaying, false);
}

// Shows a song reader's message (UTF-8, naming the file) in a file box.
static void ShowSongMessage(HWND window, const char* message, const char* name)
{
    WCHAR* text = message ? NewSystemName(message) : nullptr;
    if (!text) {
        ShowFileError(window, CannotReadFileMessage, name);
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    FileBox(window, text, MB_ICONEXCLAMATION | MB_OK);
    free(text);
}

// Puts a song read from path in place of the recording. A key that is no
// musical key is not taken; the events and controls are, and what the
// file gives besides: a recording file's auto bass, a MIDI track's
// instrument. A song from a MIDI file or a score is a new recording, not
// saved yet.
static void TakeSong(SongFile* song, const char* path, const char* name)
{
    AdoptRecordingEvents(song->data.events, song->data.eventCount);
    song->data.events = nullptr;
    MakePlaybackCopy(gRecording.events, gRecording.count);
    if (IsKeyId((int32_t)song->data.keyId)) {
        CheckCommand(gSettings.keyId, false);
        gSettings.keyId = (int32_t)song->data.keyId;
        CheckCommand(gSettings.keyId, true);
    }
    bool recording = song->kind == SongFromRecording;
    if (recording) {
        gSettings.autoBass = song->data.autoBass;
        CheckCommand(CmdAutoBass, gSettings.autoBass);
    }
    if (song->program >= 0 && song->program < 128) {
        CheckCommand(CmdInstrumentBase + gSettings.instrument, false);
        CheckCommand(CmdInstrumentBase + song->program, true);
        SelectInstrument(song->program);
    }
    strcpy(gDocument.filePath, recording ? path : "");
    strcpy(gDocument.fileTitle, recording ? name : "");
    gDocument.modified = !recording;
    strcpy(gDocument.songPath, path);
    gDocument.songKind = song->kind;
    gDocument.songTrack = song->track;
    gDocument.songFileSize = song->fileSize;
}

static uint32_t AskForTrack(void* window, const SongTrack* tracks, uint32_t count, uint32_t suggested)
{
    return ChooseTrack((HWND)window, tracks, count, suggested);
}

bool OpenSongFile(HWND window, const char* path, const char* name)
{
    SongOptions options = {BusiestTrack, true, DefaultKeyId, false};
    SongFile song;
    bool ok = ReadSongFile(path, name, options, AnySongKind, AskForTrack, window, &song);
    if (ok) {
        LeavePractice(window); // another song: the practice of this one is over
        TakeSong(&song, path, name);
        SetDocumentTitle(window, name);
    } else if (song.fileMessage) {
        ShowFileError(window, song.fileMessage, name);
    } else if (!song.cancelled) {
        ShowSongMessage(window, song.message, name);
    }
    FreeSongFile(&song);
    return ok;
}

void LoadCommand(HWND window)
{
    if (!MayDiscardDocument(window)) return;
    char path[FilePathSize], title[FilePathSize];
    strcpy(path, gDocument.filePath);
    if (!ChooseOpenFile(window, path, title) || !OpenSongFile(window, path, title)) return;
    RepaintMainWindow();
    ShowLoadedRecording(true);
}

void ExportCommand(HWND window)
{
    if (!ChooseExportFile(window, gDocument.midiPath, gDocument.midiTitle)) return;
    // A failed export is said: the user would otherwise take it for written.
    if (!ExportMidiFile(gRecording.events, gRecording.count, gSettings.keyId, gSettings.instrument,
                        gSettings.autoBass, gDocument.midiPath))
        ShowFileError(window, CannotWriteFileMessage, gDocument.midiTitle);
}

bool CommandLinePath(const char* commandLine, char* path)
{
    const char* begin = commandLine;
    while (*begin == ' ' || *begin == '\t') begin++;
    size_t length = strlen(begin);
    while (length > 0 && (begin[length - 1] == ' ' || begin[length - 1] == '\t')) length--;
    if (length >= 2 && begin[0] == '"' && begin[length - 1] == '"') {
        begin++;
        length -= 2;
    }
    if (length >= (size_t)FilePathSize || SystemUnitsOf(begin, length) >= (size_t)FilePathUnits) return false;
    memcpy(path, begin, length);
    path[length] = 0;
    return true;
}

void StartupLoad(HWND window, const char* commandLine)
{
    char path[FilePathSize];
    bool fits = CommandLinePath(commandLine ? commandLine : "", path);
    if (fits && path[0] == 0) {
        SetDocumentTitle(window, "");
        return;
    }
    if (!fits) {
        ShowFileError(window, CannotOpenFileMessage, commandLine);
        SetDocumentTitle(window, "");
        return;
    }
    if (!OpenSongFile(window, path, path)) {
        SetDocumentTitle(window, "");
        return;
    }
    ShowLoadedRecording(false);
    if (gSettings.switchOn) SetTimer(window, 1, 500, nullptr);
}

void DropFilesMessage(HWND window, HDROP drop)
{
    // The first file dropped, as a UTF-8 path and the name after its folder.
    UINT units = DragQueryFileW(drop, 0, nullptr, 0);
    WCHAR* wide = units ? (WCHAR*)malloc(sizeof(WCHAR) * (units + 1)) : nullptr;
    char* path = wide ? (char*)malloc(3 * (size_t)units + 1) : nullptr;
    bool named =
        path && DragQueryFileW(drop, 0, wide, units + 1) == units && NameFromSystem(wide, path, 3 * units + 1);
    DragFinish(drop);
    free(wide);
    // Refused while recording or playing, as the load command is then.
    if (!named || gRecording.isRecording || PlaybackRunning()) {
        MessageBeep(MB_ICONEXCLAMATION);
    } else if (units >= (UINT)FilePathUnits) {
        ShowFileError(window, CannotOpenFileMessage, path);
    } else if (MayDiscardDocument(window)) {
        const char* name = path + strlen(path);
        while (name > path && name[-1] != '\\' && name[-1] != '/') name--;
        if (OpenSongFile(window, path, name)) {
            RepaintMainWindow();
            ShowLoadedRecording(true);
        }
    }
    free(path);
}

bool MayDiscardDocument(HWND window)
{
    // While a new recording is still empty the earlier one is gone already:
    // there is nothing left to save.
    if (!gDocument.modified || gRecording.count == 0) return true;
    return PromptSaveChanges(window, gDocument.fileTitle) != IDCANCEL;
}
