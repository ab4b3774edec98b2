// The file platform on Windows: the local date from the system, a temporary
// name beside a file (paths are in the ANSI code page, whose double-byte
// characters may end in a backslash byte), writing through to the disk and
// replacing a file, which the C runtime's rename cannot do.
#include <windows.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "files/recording_file.h"

void LocalDateText(char date[11])
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[48];
    snprintf(text, sizeof text, "%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
    memcpy(date, text, 10);
    date[10] = 0;
}

bool TempNameBeside(const char* path, int attempt, char* name, size_t size)
{
    const char* folderEnd = path;
    for (const char* c = path; *c; c = CharNextA(c))
        if (*c == '\\' || *c == '/' || *c == ':') folderEnd = c + 1;
    size_t folder = (size_t)(folderEnd - path);
    // ~qf0.tmp .. ~qf9.tmp, then the shorter ~qf0 .. ~qf9 and ~0 .. ~9 for
    // a folder so deep that the longer names pass the classic path length,
    // beyond which the system would refuse them.
    static constexpr const char* Patterns[3] = {"%.*s~qf%d.tmp", "%.*s~qf%d", "%.*s~%d"};
    static_assert(TempNameAttempts == 3 * 10, "ten names of each length");
    if (attempt < 0 || attempt >= TempNameAttempts) return false;
    int n = snprintf(name, size, Patterns[attempt / 10], (int)folder, path, attempt % 10);
    return n > 0 && (size_t)n < size && n < MAX_PATH;
}

bool WriteThrough(FILE* file)
{
    return fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool ReplaceFileWith(const char* tempPath, const char* path)
{
    return MoveFileExA(tempPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
