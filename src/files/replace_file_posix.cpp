// Replacing a file by a finished one beside it: rename replaces atomically.
#include <cstdio>

#include "files/recording_file.h"

bool ReplaceFileWith(const char* tempPath, const char* path)
{
    return rename(tempPath, path) == 0;
}
