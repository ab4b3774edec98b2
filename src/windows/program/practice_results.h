// What practice keeps of each song: its best result, under
// HKEY_CURRENT_USER\Software\QF\Practice by the song's name, size and way of
// practice; and the song's accompaniment.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portable/practice/practice.h"
#include "windows/program/practice_window.h"

constexpr size_t PracticeSongNameSize = 400;

// The name a song's results are kept under: "<file name>|<size>|<way>" of
// the file the recording came from (a MIDI song's track after the size),
// UTF-8. False when the recording is no file's (recorded here).
bool PracticeSongName(char* name, size_t size, PracticeMode mode, uint32_t speedPercent);

bool ReadBestResult(const char* song, PracticeResult* best);
void WriteBestResult(const char* song, const PracticeResult& result);

// The accompaniment of the song practised: for a MIDI song the other
// tracks' messages, in time order (from malloc, *count of them); none for
// other songs. Programs meant for the player's channel or the bass channel
// are left out, so the player's instrument stays.
void LoadAccompaniment(int32_t playerChannel, AccompanimentMessage** messages, uint32_t* count);
