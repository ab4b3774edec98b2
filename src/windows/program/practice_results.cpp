#include "windows/program/practice_results.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "windows/platform/system_text.h"
#include "windows/program/document_state.h"

namespace {

const WCHAR PracticeRegistryKey[] = L"Software\\QF\\Practice";

// A result as it is kept: five little-endian words.
struct KeptResult {
    DWORD notes, right, wrongKeys, medianErrorMs, hasMedian;
};

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
    WCHAR value[PracticeSongNameSize];
    KeptResult kept;
    DWORD bytes = sizeof kept;
    if (!NameToSystem(song, value, PracticeSongNameSize) ||
        RegGetValueW(HKEY_CURRENT_USER, PracticeRegistryKey, value, RRF_RT_REG_BINARY, nullptr, &kept, &bytes) !=
            ERROR_SUCCESS ||
        bytes != sizeof kept)
        return false;
    *best = {kept.notes, kept.right, kept.wrongKeys, kept.medianErrorMs, kept.hasMedian != 0};
    return kept.right <= kept.notes;
}

void WriteBestResult(const char* song, const PracticeResult& result)
{
    WCHAR value[PracticeSongNameSize];
    if (!NameToSystem(song, value, PracticeSongNameSize)) return;
    KeptResult kept = {result.notes, result.right, result.wrongKeys, result.medianErrorMs, result.hasMedian ? 1u : 0u};
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, PracticeRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, value, 0, REG_BINARY, (const BYTE*)&kept, sizeof kept);
    RegCloseKey(key);
}

void LoadAccompaniment(int32_t, AccompanimentMessage** messages, uint32_t* count)
{
    *messages = nullptr;
    *count = 0;
}
