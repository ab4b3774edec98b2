#include "windows/program/practice_results.h"

#include <windows.h>

#include <cstdio>

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
    if (!gDocument.fileTitle[0] || gDocument.modified) return false;
    WCHAR path[FilePathUnits];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!NameToSystem(gDocument.filePath, path, FilePathUnits) ||
        !GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return false;
    unsigned long long bytes = (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    char way[16];
    if (mode == PracticeWait) snprintf(way, sizeof way, "wait");
    else snprintf(way, sizeof way, "%u%%", speedPercent);
    int n = snprintf(name, size, "%s|%llu|%s", gDocument.fileTitle, bytes, way);
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
