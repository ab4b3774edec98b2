// The chooser of a MIDI file's track: a small modal dialog, built in code,
// that lists the tracks with notes (number, name, note count, instrument).
#pragma once

#include <windows.h>

#include <cstdint>

#include "portable/formats/song_file.h"

// The chooser's texts.
inline constexpr char TrackChooserTitle[] = "选择音轨";
inline constexpr char TrackChooserPrompt[] = "这个 MIDI 文件有几个音轨有音符，请选一个音轨：";
inline constexpr char TrackChooserOk[] = "确定";
inline constexpr char TrackChooserCancel[] = "取消";
inline constexpr char TrackNumberFormat[] = "音轨 %u";
inline constexpr char TrackNotesFormat[] = "%u 个音";
inline constexpr char NoInstrumentText[] = "（未指定乐器）";

// One line of the list for track number (1..): "音轨 N", its name (UTF-8 as
// it is), "M 个音" and the General MIDI name of its instrument, separated by
// tabs; at most size units with the terminator.
void TrackLineText(const SongTrack& track, uint32_t number, WCHAR* out, int size);

// Shows the chooser over owner with suggested selected: the track chosen
// (1..count), or 0 when the player cancelled. Where the dialog cannot be
// made, suggested.
uint32_t ChooseTrack(HWND owner, const SongTrack* tracks, uint32_t count, uint32_t suggested);
