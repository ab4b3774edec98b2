// Where the program's texts and file names meet the system. The program's
// own texts are GBK bytes (code page 936) on every system; file names are
// UTF-8 inside the program, and so are the names of MIDI devices; the system
// shows and hands over text as UTF-16.
#pragma once

#include <windows.h>

#include <cstddef>

// The code page of the program's own texts.
constexpr UINT ProgramCodePage = 936;

// A text of the program as the system shows it: length bytes (-1: up to
// the terminator) into out, at most size units with the terminator, cut
// short when it does not fit. Returns the units written, without the
// terminator.
int ProgramTextToSystem(const char* text, int length, WCHAR* out, int size);

// The program's GBK bytes of a text the system shows; the same rules.
int ProgramTextFromSystem(const WCHAR* text, char* out, int size);

// A file name (UTF-8) as the system takes it, at most size units with the
// terminator; false when it does not fit.
bool NameToSystem(const char* name, WCHAR* out, size_t size);

// The same, into a buffer from malloc that the caller frees; nullptr when
// memory is short.
WCHAR* NewSystemName(const char* name);

// A name the system gave (UTF-16) as UTF-8, at most size bytes with the
// terminator; false when it does not fit. Every name the system allows
// comes back unchanged through NameToSystem, unpaired surrogates too.
bool NameFromSystem(const WCHAR* name, char* out, size_t size);

// How many UTF-16 units the first length bytes of a UTF-8 name make.
size_t SystemUnitsOf(const char* name, size_t length);

// A file name as the texts show it: a name of ShownNameUnits units or more
// keeps as many whole characters as fit ShownNameUnits - 1 units and is
// followed by "...".
constexpr int ShownNameUnits = 260;
constexpr int ShownNameSize = ShownNameUnits + 3;
void ShownName(const char* name, WCHAR out[ShownNameSize]);

// format, a text of the program with one "%s", with name in its place, at
// most size units with the terminator.
void FillName(const char* format, const WCHAR* name, WCHAR* out, size_t size);

// The part of a command line after the program's name: a quoted name, or
// everything up to the first blank, and the blanks after it are passed.
const WCHAR* CommandLineArguments(const WCHAR* commandLine);

// The character set of the fonts that show the program's texts: the
// default one where the system's code page is the program's (every font
// stays as it is there), GB2312 elsewhere, so that the font has the glyphs.
BYTE ProgramTextCharset();

// A font like font with the character set of the program's texts, or
// nullptr where font serves as it is; the caller deletes it.
HFONT NewProgramTextFont(HGDIOBJ font);

// A message box with a text and a caption of the program.
int ProgramMessageBox(HWND owner, const char* text, const char* caption, UINT type);
