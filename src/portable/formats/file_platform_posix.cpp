// The file platform of the portable build: the local date, files opened and
// removed by their paths, a temporary name beside a file, writing through to
// the disk and replacing a file.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "portable/formats/file_platform.h"

void LocalDateText(char date[11])
{
    time_t now = time(nullptr);
    struct tm local;
    memset(&local, 0, sizeof local);
    localtime_r(&now, &local);
    char text[48];
    snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    memcpy(date, text, 10);
    date[10] = 0;
}

FILE* OpenPathFile(const char* path, const char* mode)
{
    return fopen(path, mode);
}

FILE* CreateNewPathFile(const char* path)
{
    return fopen(path, "wbx");
}

bool RemovePathFile(const char* path)
{
    return remove(path) == 0;
}

bool TempNameBeside(const char* path, int attempt, char* name, size_t size)
{
    const char* slash = strrchr(path, '/');
    size_t folder = slash ? (size_t)(slash - path) + 1 : 0;
    int n = snprintf(name, size, "%.*s.~qf%d.tmp", (int)folder, path, attempt);
    return n > 0 && (size_t)n < size;
}

bool WriteThrough(FILE* file)
{
    return fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool ReplaceFileWith(const char* tempPath, const char* path)
{
    return rename(tempPath, path) == 0;
}
