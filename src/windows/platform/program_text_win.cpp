// GBK to UTF-8 through the system's code page 936.
#include "portable/formats/program_text.h"

#include "windows/platform/system_text.h"

bool ProgramTextToUtf8(const char* text, char* out, size_t size)
{
    WCHAR wide[512];
    ProgramTextToSystem(text, -1, wide, 512);
    return NameFromSystem(wide, out, size);
}
