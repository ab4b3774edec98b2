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
    int n = snprintf(name, size, "%.*s~qf%d.tmp", (int)folder, path, attempt);
    // Beyond the classic path length the system would refuse the name.
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
