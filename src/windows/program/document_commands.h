// The document's window side: the caption, the file dialogs and the file
// commands, the start-up load, and the question before changes are lost.
#pragma once

#include <windows.h>

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
void LoadCommand(HWND window);   // 1296
void ExportCommand(HWND window); // 1282

// The path named on the command line (UTF-8) into path (FilePathSize bytes):
// surrounding blanks and one pair of enclosing quotes (Windows quotes paths
// with blanks) removed. False when it does not fit the path buffers
// (FilePathUnits UTF-16 units or more).
bool CommandLinePath(const char* commandLine, char* path);

// Loads the recording named on the command line during the window's
// creation, and arms its single play when the output is on.
void StartupLoad(HWND window, const char* commandLine);

// WM_CLOSE and WM_QUERYENDSESSION: false when the user cancels.
bool MayDiscardDocument(HWND window);
