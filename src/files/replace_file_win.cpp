// Replacing a file by a finished one beside it: the C runtime's rename does
// not replace an existing file on Windows, MoveFileExA does.
#include <windows.h>

#include "files/recording_file.h"

bool ReplaceFileWith(const char* tempPath, const char* path)
{
    return MoveFileExA(tempPath, path, MOVEFILE_REPLACE_EXISTING) != 0;
}
