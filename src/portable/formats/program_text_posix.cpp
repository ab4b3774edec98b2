// GBK to UTF-8 through iconv.
#include "portable/formats/program_text.h"

#include <cstring>
#include <iconv.h>

bool ProgramTextToUtf8(const char* text, char* out, size_t size)
{
    if (size == 0) return false;
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == (iconv_t)-1) return false;
    char converted[512];
    char* in = const_cast<char*>(text);
    size_t inLeft = strlen(text);
    char* to = converted;
    size_t toLeft = sizeof converted - 1;
    bool done = iconv(cd, &in, &inLeft, &to, &toLeft) != (size_t)-1 && inLeft == 0;
    iconv_close(cd);
    size_t length = (size_t)(to - converted);
    if (!done || length >= size) return false;
    memcpy(out, converted, length);
    out[length] = 0;
    return true;
}
