// The file platform on Windows: the local date from the system, files opened
// and removed by their UTF-8 paths (as UTF-16, so that any name the file
// system allows works whatever the code page), a temporary name beside a
// file, writing through to the disk and replacing a file, which the C
// runtime's rename cannot do.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/formats/file_platform.h"
#include "windows/platform/system_text.h"

void LocalDateText(char date[11])
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[48];
    snprintf(text, sizeof text, "%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
    memcpy(date, text, 10);
    date[10] = 0;
}

FILE* OpenPathFile(const char* path, const char* mode)
{
    WCHAR wideMode[8];
    if (!NameToSystem(mode, wideMode, 8)) return nullptr;
    WCHAR* widePath = NewSystemName(path);
    FILE* file = widePath ? _wfopen(widePath, wideMode) : nullptr;
    free(widePath);
    return file;
}

FILE* CreateNewPathFile(const char* path)
{
    WCHAR* widePath = NewSystemName(path);
    HANDLE handle = widePath ? CreateFileW(widePath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                           nullptr)
                             : INVALID_HANDLE_VALUE;
    free(widePath);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle((intptr_t)handle, _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "wb");
    if (!file) _close(fd); // closes the handle too
    return file;
}

bool RemovePathFile(const char* path)
{
    WCHAR* widePath = NewSystemName(path);
    bool removed = widePath && DeleteFileW(widePath);
    free(widePath);
    return removed;
}

bool TempNameBeside(const char* path, int attempt, char* name, size_t size)
{
    // No byte of a character beyond ASCII is a separator in UTF-8.
    const char* folderEnd = path;
    for (const char* c = path; *c; c++)
        if (*c == '\\' || *c == '/' || *c == ':') folderEnd = c + 1;
    size_t folder = (size_t)(folderEnd - path);
    // ~qf0.tmp .. ~qf9.tmp, then the shorter ~qf0 .. ~qf9 and ~0 .. ~9 for
    // a folder so deep that the longer names pass the classic path length,
    // beyond which the system would refuse them.
    static constexpr const char* Patterns[3] = {"%.*s~qf%d.tmp", "%.*s~qf%d", "%.*s~%d"};
    static_assert(TempNameAttempts == 3 * 10, "ten names of each length");
    if (attempt < 0 || attempt >= TempNameAttempts) return false;
    int n = snprintf(name, size, Patterns[attempt / 10], (int)folder, path, attempt % 10);
    if (n <= 0 || (size_t)n >= size) return false;
    // The limit is on the full path: a relative name grows by the current
    // folder.
    WCHAR* wide = NewSystemName(name);
    DWORD full = wide ? GetFullPathNameW(wide, 0, nullptr, nullptr) : 0;
    free(wide);
    return full > 0 && full <= MAX_PATH; // with its terminator
}

bool WriteThrough(FILE* file)
{
    return fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool ReplaceFileWith(const char* tempPath, const char* path)
{
    WCHAR* wideTemp = NewSystemName(tempPath);
    WCHAR* widePath = NewSystemName(path);
    bool moved = wideTemp && widePath &&
                 MoveFileExW(wideTemp, widePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    free(wideTemp);
    free(widePath);
    return moved;
}
