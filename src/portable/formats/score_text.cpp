#include "portable/formats/score_text.h"

#include <cstdio>
#include <cstring>

#include "portable/formats/program_text.h"

namespace {

// Characters that a Chinese input method types for the ASCII of jianpu.
struct CharacterMeaning {
    uint32_t code;
    char ascii;
};
constexpr uint32_t EmDash = 0x2014;
constexpr CharacterMeaning Meanings[] = {
    {0x3000, ' '},  {EmDash, '-'}, {0x2015, '-'},  {0x2013, '-'},  {0x2018, '\''}, {0x2019, '\''},
    {0x2032, '\''}, {0x3002, '.'}, {0x301C, '~'},  {0x266F, '#'},  {0x266D, 'b'},  {0x2669, CrotchetCharacter},
};
// The full-width forms U+FF01..U+FF5E are ASCII 0x21..0x7E.
// The bytes at the start of a file in which UTF-16 without a byte order mark
// is looked for.
constexpr size_t UnicodeSample = 4096;

constexpr uint32_t FirstFullWidth = 0xFF01, LastFullWidth = 0xFF5E, FullWidthOffset = 0xFEE0;

// Length of the UTF-8 sequence at p (at most left bytes) and its code point;
// 0 when it is not a valid one.
size_t Utf8Character(const uint8_t* p, size_t left, uint32_t* code)
{
    uint8_t c = p[0];
    *code = c;
    if (c < 0x80) return 1;
    size_t n;
    uint32_t lowest;
    if (c >= 0xC2 && c <= 0xDF) n = 2, lowest = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, lowest = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, lowest = 0x10000;
    else return 0;
    if (left < n) return 0;
    uint32_t value = c & (0x7F >> n);
    for (size_t i = 1; i < n; i++) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        value = value << 6 | (p[i] & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code = value;
    return n;
}

// Length of the character at p in GBK: a lead byte 81..FE with a trail byte
// 40..FE (not 7F) makes one character of two bytes.
size_t GbkLength(const uint8_t* p, size_t left)
{
    if (p[0] >= 0x81 && p[0] <= 0xFE && left >= 2 && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F) return 2;
    return 1;
}

// A GBK character of two bytes as UTF-8 into out (at least 8 bytes); false
// when the code page has no such character.
bool GbkCharacterToUtf8(const uint8_t* p, char* out)
{
    char gbk[3] = {(char)p[0], (char)p[1], 0};
    return ProgramTextToUtf8(gbk, out, 8) && out[0] != 0;
}

// The ASCII meaning of a code point above 0x7F, or OtherCharacter.
char MeaningOf(uint32_t code)
{
    if (code >= FirstFullWidth && code <= LastFullWidth) return (char)(code - FullWidthOffset);
    for (const CharacterMeaning& m : Meanings)
        if (m.code == code) return m.ascii;
    return OtherCharacter;
}

// The character at bytes[at]: its length, its meaning, and whether it is an em dash.
size_t ReadCharacter(const ScoreText& text, size_t at, size_t end, char* meaning, bool* emDash)
{
    const uint8_t* p = text.bytes + at;
    uint32_t code = 0;
    size_t n = 0;
    if (p[0] < 0x80) {
        n = 1;
        code = p[0];
    } else if (text.utf8) {
        n = Utf8Character(p, end - at, &code);
    } else if (GbkLength(p, end - at) == 2) {
        char utf8[8];
        n = 2;
        if (!GbkCharacterToUtf8(p, utf8) || Utf8Character((const uint8_t*)utf8, strlen(utf8), &code) == 0) code = 0x80;
    }
    if (n == 0) n = 1, code = 0x80; // a byte that is no text
    *meaning = code < 0x80 ? (char)code : MeaningOf(code);
    *emDash = code == EmDash;
    return n;
}

bool Append(char* out, size_t size, size_t* used, const char* piece, size_t n)
{
    if (*used + n + 1 > size) return false;
    memcpy(out + *used, piece, n);
    *used += n;
    out[*used] = 0;
    return true;
}

} // namespace

bool IsUtf16Text(const uint8_t* bytes, size_t size)
{
    if (size < 2) return false;
    if ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)) return true;
    // Without a byte order mark: the zero bytes that ASCII characters leave
    // on one side of their pairs (odd offsets little-endian, even offsets
    // big-endian) and hardly ever on the other. UTF-8 and GBK text holds no
    // zero byte; a stray one makes no such pattern.
    size_t pairs = (size < UnicodeSample ? size : UnicodeSample) / 2, zeros[2] = {0, 0};
    for (size_t i = 0; i < 2 * pairs; i++) zeros[i % 2] += bytes[i] == 0;
    for (int side = 0; side < 2; side++)
        if (zeros[side] >= 2 && 4 * zeros[side] >= pairs && 8 * zeros[1 - side] <= zeros[side]) return true;
    return false;
}

ScoreText ReadScoreText(const uint8_t* bytes, size_t size)
{
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) bytes += 3, size -= 3;
    ScoreText text = {bytes, size, true};
    uint32_t code;
    for (size_t i = 0; i < size && text.utf8;) {
        size_t n = Utf8Character(bytes + i, size - i, &code);
        text.utf8 = n != 0;
        i += n;
    }
    return text;
}

void FindLineEnd(const ScoreText& text, size_t start, size_t* end, size_t* next)
{
    size_t i = start;
    while (i < text.size && text.bytes[i] != '\n' && text.bytes[i] != '\r') i++;
    *end = i;
    if (i < text.size && text.bytes[i] == '\r') i++;
    if (i < text.size && text.bytes[i] == '\n' && (i == *end || text.bytes[i - 1] == '\r')) i++;
    *next = i;
}

void DecodeScoreLine(const ScoreText& text, size_t start, size_t end, ScoreLine* line)
{
    uint32_t n = 0;
    bool dashOpen = false; // the character before is an em dash not yet paired
    for (size_t at = start; at < end;) {
        char meaning;
        bool emDash;
        size_t length = ReadCharacter(text, at, end, &meaning, &emDash);
        // "——", the dash an input method types, is one dash.
        if (emDash && dashOpen) meaning = ' ';
        dashOpen = emDash && !dashOpen;
        line->offsets[n] = (uint32_t)at;
        line->text[n++] = meaning;
        at += length;
    }
    line->offsets[n] = (uint32_t)end;
    line->length = n;
}

void ShowScoreText(const ScoreText& text, size_t start, size_t end, char* out, size_t size)
{
    size_t used = 0;
    if (size == 0) return;
    out[0] = 0;
    for (size_t at = start; at < end;) {
        const uint8_t* p = text.bytes + at;
        char piece[16];
        size_t n = 1, shown = 0;
        uint32_t code = p[0];
        if (p[0] < 0x80) {
            if (code >= 0x20 && code != 0x7F) piece[0] = (char)p[0], shown = 1;
        } else if (text.utf8) {
            n = Utf8Character(p, end - at, &code);
            if (n > 0 && code > 0x9F) memcpy(piece, p, n), shown = n; // not a C1 control
            if (n == 0) n = 1;
        } else if (GbkLength(p, end - at) == 2) {
            n = 2;
            if (GbkCharacterToUtf8(p, piece)) shown = strlen(piece);
        }
        if (shown == 0) {
            for (size_t i = 0; i < n; i++) snprintf(piece + 4 * i, sizeof piece - 4 * i, "\\x%02X", p[i]);
            shown = 4 * n;
        }
        bool last = at + n == end;
        if (!Append(out, size - (last ? 0 : 3), &used, piece, shown)) {
            Append(out, size, &used, "...", 3);
            return;
        }
        at += n;
    }
}
