#include "tools/console.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "shell/system_text.h"

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

bool ProgramTextToUtf8(const char* text, char* out, size_t size)
{
    WCHAR wide[512];
    ProgramTextToSystem(text, -1, wide, 512);
    return NameFromSystem(wide, out, size);
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
