#include "qftool/console.h"

#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

char** ConsoleArguments(int argc, char** argv, int* count)
{
    *count = argc;
    return argv;
}

void WriteConsoleText(FILE* stream, const char* text)
{
    fputs(text, stream);
}

static void IdentityOf(int status, const struct stat& info, FileIdentity* identity)
{
    memset(identity, 0, sizeof *identity);
    if (status != 0) return;
    identity->exists = true;
    identity->regular = S_ISREG(info.st_mode);
    identity->volume = (uint64_t)info.st_dev;
    identity->index = (uint64_t)info.st_ino;
}

void IdentifyPath(const char* path, FileIdentity* identity)
{
    struct stat info;
    IdentityOf(stat(path, &info), info, identity);
}

void IdentifyStandardInput(FileIdentity* identity)
{
    struct stat info;
    IdentityOf(fstat(0, &info), info, identity);
}

char* OutputTargetPath(const char* path)
{
    char* current = strdup(path);
    // A chain longer than the system's own limit is left as it is: the
    // write then fails as the system refuses it.
    for (int hop = 0; current && hop < 40; hop++) {
        struct stat info;
        if (lstat(current, &info) != 0 || !S_ISLNK(info.st_mode)) break;
        char target[PATH_MAX];
        ssize_t n = readlink(current, target, sizeof target - 1);
        if (n <= 0) break;
        target[n] = 0;
        char* next;
        const char* slash = strrchr(current, '/');
        if (target[0] == '/' || !slash) {
            next = strdup(target);
        } else {
            // A relative target counts from the link's own folder.
            size_t folder = (size_t)(slash - current) + 1;
            next = (char*)malloc(folder + (size_t)n + 1);
            if (next) {
                memcpy(next, current, folder);
                memcpy(next + folder, target, (size_t)n + 1);
            }
        }
        free(current);
        current = next;
    }
    return current;
}

bool ToolFolder(char* folder, size_t size)
{
    if (size < 2) return false;
    ssize_t n = readlink("/proc/self/exe", folder, size - 1);
    if (n <= 0 || (size_t)n >= size - 1) return false;
    folder[n] = 0;
    char* slash = strrchr(folder, '/');
    if (!slash) return false;
    slash[1] = 0;
    return true;
}
