#include "windows/platform/system_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static int DecodeInCodePage(UINT codePage, const char* text, int length, WCHAR* out, int size)
{
    if (size <= 0) return 0;
    out[0] = 0;
    if (!text) return 0;
    if (length < 0) length = (int)strlen(text);
    if (length == 0) return 0;
    int n = MultiByteToWideChar(codePage, 0, text, length, out, size - 1);
    if (n == 0) {
        // Too long for out: as much as fits.
        int needed = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
        WCHAR* whole = needed > 0 ? (WCHAR*)malloc(sizeof(WCHAR) * (size_t)needed) : nullptr;
        if (whole && MultiByteToWideChar(codePage, 0, text, length, whole, needed) == needed) {
            n = needed < size - 1 ? needed : size - 1;
            memcpy(out, whole, sizeof(WCHAR) * (size_t)n);
        }
        free(whole);
    }
    out[n] = 0;
    return n;
}

int ProgramTextToSystem(const char* text, int length, WCHAR* out, int size)
{
    return DecodeInCodePage(ProgramCodePage, text, length, out, size);
}

int ProgramTextFromSystem(const WCHAR* text, char* out, int size)
{
    if (size <= 0) return 0;
    out[0] = 0;
    if (!text || !*text) return 0;
    int n = WideCharToMultiByte(ProgramCodePage, 0, text, (int)wcslen(text), out, size - 1, nullptr, nullptr);
    if (n < 0) n = 0;
    out[n] = 0;
    return n;
}

// File names: UTF-8 inside the program. An unpaired surrogate, which a
// Windows file name may hold, is kept as its own three-byte sequence, so
// that every name comes back as it was.

// The next code point of a UTF-8 text from *p (before end); a byte that
// starts no sequence gives U+FFFD.
static uint32_t NextCodePoint(const unsigned char** p, const unsigned char* end)
{
    const unsigned char* s = *p;
    unsigned char b = *s;
    int extra = b < 0x80 ? 0 : b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : -1;
    uint32_t c = extra == 0 ? b : extra == 1 ? b & 0x1Fu : extra == 2 ? b & 0x0Fu : b & 0x07u;
    bool ok = extra >= 0 && end - s > extra;
    for (int i = 1; ok && i <= extra; i++) {
        ok = (s[i] & 0xC0) == 0x80;
        c = c << 6 | (s[i] & 0x3Fu);
    }
    if (ok && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))) ok = false;
    if (!ok) {
        *p = s + 1;
        return 0xFFFD;
    }
    *p = s + 1 + extra;
    return c;
}

static int UnitsOf(uint32_t c)
{
    return c >= 0x10000 ? 2 : 1;
}

static void PutUnits(uint32_t c, WCHAR* out)
{
    if (c >= 0x10000) {
        out[0] = (WCHAR)(0xD800 + ((c - 0x10000) >> 10));
        out[1] = (WCHAR)(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        out[0] = (WCHAR)c;
    }
}

// Decodes name while its units stay within limit; returns the units written
// (unterminated) and in *whole whether the whole name went.
static size_t DecodeName(const char* name, WCHAR* out, size_t limit, bool* whole)
{
    const unsigned char* p = (const unsigned char*)name;
    const unsigned char* end = p + strlen(name);
    size_t n = 0;
    while (p < end) {
        const unsigned char* at = p;
        uint32_t c = NextCodePoint(&p, end);
        if (n + (size_t)UnitsOf(c) > limit) {
            p = at;
            break;
        }
        PutUnits(c, out + n);
        n += (size_t)UnitsOf(c);
    }
    *whole = p == end;
    return n;
}

size_t SystemUnitsOf(const char* name, size_t length)
{
    const unsigned char* p = (const unsigned char*)name;
    const unsigned char* end = p + length;
    size_t n = 0;
    while (p < end) n += (size_t)UnitsOf(NextCodePoint(&p, end));
    return n;
}

bool NameToSystem(const char* name, WCHAR* out, size_t size)
{
    if (size == 0) return false;
    bool whole;
    size_t n = DecodeName(name, out, size - 1, &whole);
    out[n] = 0;
    return whole;
}

WCHAR* NewSystemName(const char* name)
{
    size_t units = SystemUnitsOf(name, strlen(name));
    WCHAR* out = (WCHAR*)malloc(sizeof(WCHAR) * (units + 1));
    if (out) NameToSystem(name, out, units + 1);
    return out;
}

bool NameFromSystem(const WCHAR* name, char* out, size_t size)
{
    size_t n = 0;
    for (const WCHAR* w = name; *w; w++) {
        uint32_t c = *w;
        if (c >= 0xD800 && c <= 0xDBFF && w[1] >= 0xDC00 && w[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t)(w[1] - 0xDC00);
            w++;
        }
        unsigned char bytes[4];
        size_t count;
        if (c < 0x80) {
            bytes[0] = (unsigned char)c;
            count = 1;
        } else if (c < 0x800) {
            bytes[0] = (unsigned char)(0xC0 | c >> 6);
            bytes[1] = (unsigned char)(0x80 | (c & 0x3F));
            count = 2;
        } else if (c < 0x10000) {
            bytes[0] = (unsigned char)(0xE0 | c >> 12);
            bytes[1] = (unsigned char)(0x80 | (c >> 6 & 0x3F));
            bytes[2] = (unsigned char)(0x80 | (c & 0x3F));
            count = 3;
        } else {
            bytes[0] = (unsigned char)(0xF0 | c >> 18);
            bytes[1] = (unsigned char)(0x80 | (c >> 12 & 0x3F));
            bytes[2] = (unsigned char)(0x80 | (c >> 6 & 0x3F));
            bytes[3] = (unsigned char)(0x80 | (c & 0x3F));
            count = 4;
        }
        if (n + count >= size) {
            if (size) out[n] = 0;
            return false;
        }
        memcpy(out + n, bytes, count);
        n += count;
    }
    if (size == 0) return false;
    out[n] = 0;
    return true;
}

void ShownName(const char* name, WCHAR out[ShownNameSize])
{
    bool whole;
    size_t n = DecodeName(name, out, ShownNameUnits - 1, &whole);
    if (whole)
        out[n] = 0;
    else
        wcscpy(out + n, L"...");
}

// Appends length units of text to out (n units so far), as many as fit size
// units with the terminator.
static void Append(const WCHAR* text, size_t length, WCHAR* out, size_t size, size_t* n)
{
    for (size_t i = 0; i < length && *n + 1 < size; i++) out[(*n)++] = text[i];
}

void FillName(const char* format, const WCHAR* name, WCHAR* out, size_t size)
{
    if (size == 0) return;
    WCHAR decoded[256];
    ProgramTextToSystem(format, -1, decoded, 256);
    const WCHAR* hole = wcsstr(decoded, L"%s");
    size_t n = 0;
    if (hole) {
        Append(decoded, (size_t)(hole - decoded), out, size, &n);
        Append(name, wcslen(name), out, size, &n);
        Append(hole + 2, wcslen(hole + 2), out, size, &n);
    } else {
        Append(decoded, wcslen(decoded), out, size, &n);
    }
    out[n] = 0;
}

const WCHAR* CommandLineArguments(const WCHAR* commandLine)
{
    const WCHAR* p = commandLine ? commandLine : L"";
    if (*p == L'"') {
        p++;
        while (*p && *p != L'"') p++;
        if (*p == L'"') p++;
    } else {
        while (*p > L' ') p++;
    }
    while (*p && *p <= L' ') p++;
    return p;
}

BYTE ProgramTextCharset()
{
    return GetACP() == ProgramCodePage ? DEFAULT_CHARSET : GB2312_CHARSET;
}

HFONT NewProgramTextFont(HGDIOBJ font)
{
    if (ProgramTextCharset() == DEFAULT_CHARSET) return nullptr;
    LOGFONTW like;
    memset(&like, 0, sizeof like);
    if (!GetObjectW(font, sizeof like, &like)) return nullptr;
    like.lfCharSet = GB2312_CHARSET;
    return CreateFontIndirectW(&like);
}

int ProgramMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    WCHAR wideText[512], wideCaption[64];
    ProgramTextToSystem(text, -1, wideText, 512);
    ProgramTextToSystem(caption, -1, wideCaption, 64);
    return MessageBoxW(owner, wideText, wideCaption, type);
}
