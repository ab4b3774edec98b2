// The document's window side: the caption, the file dialogs and the file
// commands, the opening of songs (by the open command, the command line or
// a drop), and the question before changes are lost.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The texts of the caption and of the file boxes; file names (UTF-8) go
// into their "%s".
inline constexpr char CaptionFormat[] = "琴坊 - [%s]";
inline constexpr char UntitledName[] = "未命名";
inline constexpr char SaveQuestionFormat[] = "保存当前的变化在 %s?";
inline constexpr char FileBoxCaption[] = "QF";

// Sets the caption "琴坊 - [name]" ("未命名" for an empty name).
void SetDocumentTitle(HWND window, const char* name);

// Shows a file error: format holds one "%s" for name ("未命名" when empty).
void ShowFileError(HWND window, const char* format, const char* name);

// Asks whether to save the changes to name: IDYES, IDNO or IDCANCEL. A Yes
// whose save fails or is cancelled counts as IDCANCEL.
int PromptSaveChanges(HWND window, const char* name);

// Commands 1288 (save) and 1289 (save as): 1 when the file was written.
int SaveCommand(HWND window, int id);
void LoadCommand(HWND window);   // 1296: a recording, a MIDI file or a jianpu score

// Opens the song at path (UTF-8): a recording file, a MIDI file or a jianpu
// score, told apart as qftool tells them; name is the file's name as the
// messages and the caption show it. The song's events and key become the
// recording's, with what the file gives besides (a recording's auto bass, a
// MIDI track's instrument); a MIDI file with several tracks of notes asks
// which one. A song from a MIDI file or a score is untitled and modified.
// False after the reader's message, or when the choice was cancelled, with
// the recording and the document as they were.
bool OpenSongFile(HWND window, const char* path, const char* name);
void ExportCommand(HWND window); // 1282

// The path named on the command line (UTF-8) into path (FilePathSize bytes):
// surrounding blanks and one pair of enclosing quotes (Windows quotes paths
// with blanks) removed. False when it does not fit the path buffers
// (FilePathUnits UTF-16 units or more).
bool CommandLinePath(const char* commandLine, char* path);

// Opens the song named on the command line during the window's creation,
// and arms its single play when the output is on.
void StartupLoad(HWND window, const char* commandLine);

// WM_DROPFILES: opens the first file dropped, as the open command would
// (refused with a beep while recording or playing); frees the drop.
void DropFilesMessage(HWND window, HDROP drop);

// WM_CLOSE and WM_QUERYENDSESSION: false when the user cancels.
bool MayDiscardDocument(HWND window);
