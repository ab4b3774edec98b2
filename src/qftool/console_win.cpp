#include "qftool/console.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "windows/platform/system_text.h"

char** ConsoleArguments(int argc, char** argv, int* count)
{
    int wideCount = 0;
    WCHAR** wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    char** arguments = wide ? (char**)calloc((size_t)wideCount + 1, sizeof(char*)) : nullptr;
    if (!arguments) {
        *count = argc;
        return argv;
    }
    for (int i = 0; i < wideCount; i++) {
        size_t size = 4 * wcslen(wide[i]) + 1;
        arguments[i] = (char*)malloc(size);
        if (!arguments[i] || !NameFromSystem(wide[i], arguments[i], size)) {
            *count = argc;
            return argv;
        }
    }
    LocalFree(wide);
    *count = wideCount;
    return arguments; // kept for the whole run
}

void WriteConsoleText(FILE* stream, const char* text)
{
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        WCHAR* wide = NewSystemName(text);
        if (wide) {
            fflush(stream);
            DWORD written;
            WriteConsoleW(handle, wide, (DWORD)wcslen(wide), &written, nullptr);
            free(wide);
            return;
        }
    }
    fputs(text, stream);
}

static void IdentityOfHandle(HANDLE handle, FileIdentity* identity)
{
    memset(identity, 0, sizeof *identity);
    if (handle == INVALID_HANDLE_VALUE || !handle) return;
    BY_HANDLE_FILE_INFORMATION info;
    DWORD type = GetFileType(handle);
    identity->exists = true;
    if (type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)) {
        identity->regular = !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        identity->volume = info.dwVolumeSerialNumber;
        identity->index = (uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow;
    }
}

void IdentifyPath(const char* path, FileIdentity* identity)
{
    memset(identity, 0, sizeof *identity);
    WCHAR* wide = NewSystemName(path);
    if (!wide) return;
    DWORD attributes = GetFileAttributesW(wide);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Opened for nothing but its identity; a folder needs the backup flag.
        HANDLE handle = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            IdentityOfHandle(handle, identity);
            CloseHandle(handle);
        } else {
            identity->exists = true;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) identity->regular = false;
    }
    free(wide);
}

void IdentifyStandardInput(FileIdentity* identity)
{
    IdentityOfHandle(GetStdHandle(STD_INPUT_HANDLE), identity);
}

char* OutputTargetPath(const char* path)
{
    return _strdup(path);
}

bool ToolFolder(char* folder, size_t size)
{
    WCHAR path[32768];
    DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    if (n == 0 || n >= 32768) return false;
    WCHAR* slash = wcsrchr(path, L'\\');
    if (!slash) return false;
    slash[1] = 0;
    return NameFromSystem(path, folder, size);
}
