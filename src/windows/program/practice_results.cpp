#include "windows/program/practice_results.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "portable/formats/midi_keys.h"
#include "portable/formats/midi_messages.h"
#include "portable/formats/song_file.h"
#include "portable/song/replay.h"
#include "windows/platform/program_settings.h"
#include "windows/platform/system_text.h"
#include "windows/program/document_state.h"

namespace {

const wchar_t PracticeSubkey[] = L"Practice";

} // namespace

bool PracticeSongName(char* name, size_t size, PracticeMode mode, uint32_t speedPercent)
{
    // The file the recording was read from; a recording made here has none.
    const char* path = gDocument.songPath;
    if (!path[0]) return false;
    const char* file = path + strlen(path);
    while (file > path && file[-1] != '\\' && file[-1] != '/') file--;
    char way[24];
    if (mode == PracticeWait) snprintf(way, sizeof way, "wait");
    else snprintf(way, sizeof way, "%u%%", speedPercent);
    char track[24] = "";
    if (gDocument.songKind == SongFromMidi) snprintf(track, sizeof track, "|track %u", gDocument.songTrack);
    int n = snprintf(name, size, "%s|%llu%s|%s", file, (unsigned long long)gDocument.songFileSize, track, way);
    return n > 0 && (size_t)n < size;
}

bool ReadBestResult(const char* song, PracticeResult* best)
{
    // Kept as text: the notes, those played right, the wrong keys, the
    // median error and whether there is one.
    WCHAR value[PracticeSongNameSize], text[80];
    unsigned notes, right, wrong, median, hasMedian;
    if (!NameToSystem(song, value, PracticeSongNameSize) || !ReadSettingText(PracticeSubkey, value, text, 80) ||
        swscanf(text, L"%u %u %u %u %u", &notes, &right, &wrong, &median, &hasMedian) != 5 || right > notes)
        return false;
    *best = {notes, right, wrong, median, hasMedian != 0};
    return true;
}

void WriteBestResult(const char* song, const PracticeResult& result)
{
    WCHAR value[PracticeSongNameSize], text[80];
    if (!NameToSystem(song, value, PracticeSongNameSize)) return;
    swprintf(text, 80, L"%u %u %u %u %u", result.notes, result.right, result.wrongKeys, result.medianErrorMs,
             result.hasMedian ? 1u : 0u);
    WriteSettingText(PracticeSubkey, value, text);
}

void LoadAccompaniment(int32_t playerChannel, AccompanimentMessage** messages, uint32_t* count)
{
    *messages = nullptr;
    *count = 0;
    // The other tracks of the MIDI song the recording was read from.
    if (gDocument.songKind != SongFromMidi || gDocument.songTrack == AllTracks || !gDocument.songPath[0]) return;
    size_t size = 0;
    uint8_t* bytes = ReadWholePathFile(gDocument.songPath, &size);
    MidiMessageSong song;
    char message[200];
    bool read = bytes && ReadMidiMessages(bytes, size, 1000, &song, message, sizeof message);
    free(bytes);
    if (!read) return; // the file changed or went: practice goes on without
    AccompanimentMessage* kept = song.count ? (AccompanimentMessage*)malloc(song.count * sizeof *kept) : nullptr;
    uint32_t n = 0;
    for (uint32_t i = 0; kept && i < song.count; i++) {
        const MidiTimedMessage& m = song.messages[i];
        if (m.track + 1u == gDocument.songTrack) continue;
        uint32_t status = m.message & 0xF0, channel = m.message & 0x0F, controller = (m.message >> 8) & 0x7F;
        // The player's instrument stays: no program (or bank) for the
        // player's channel or the bass channel.
        bool players = channel == (uint32_t)playerChannel || channel == BassChannel;
        if (players && (status == 0xC0 || (status == 0xB0 && (controller == 0 || controller == 32)))) continue;
        kept[n++] = {m.frame, m.message};
    }
    FreeMidiMessages(&song);
    *messages = kept;
    *count = n;
}
