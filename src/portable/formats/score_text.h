// The text of a jianpu score as the reader sees it: the file's encoding
// (UTF-8 or GBK; UTF-16 is recognised only to be refused), its lines (ended
// by LF, CR LF or a CR alone), each line one byte per character with what a
// Chinese input method types turned into the ASCII it stands for, and any
// stretch of the file shown as UTF-8 for a message. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// What a character of a line is, beside plain ASCII.
constexpr char OtherCharacter = '\x80';    // any character without a meaning in jianpu
constexpr char CrotchetCharacter = '\x81'; // the crotchet sign of a tempo mark

struct ScoreText {
    const uint8_t* bytes; // after any byte order mark
    size_t size;
    bool utf8;            // else GBK
};

// One line: text[i] is the character at column i + 1, read as ASCII
// (full-width forms, the ideographic space, ’ ‘ 。 ～ ♯ ♭ as their ASCII;
// an em dash as "-", a pair of them as "-" and a blank), OtherCharacter or
// CrotchetCharacter; offsets[i] is where it starts in the text's bytes, and
// offsets[length] where the line ends.
struct ScoreLine {
    char* text;
    uint32_t* offsets;
    uint32_t length;
    uint32_t number; // from 1
};

// True when the bytes look like UTF-16: a byte order mark of either order,
// or, over the first 4096 bytes, zero bytes on one side of the byte pairs
// (at least two, in a quarter of the pairs or more) and hardly any on the
// other, as ASCII characters stored as UTF-16 leave them.
bool IsUtf16Text(const uint8_t* bytes, size_t size);

// The score's text: a UTF-8 byte order mark skipped, UTF-8 when every byte
// sequence is valid UTF-8, else GBK.
ScoreText ReadScoreText(const uint8_t* bytes, size_t size);

// Where the line that starts at byte start ends (its terminator not counted)
// and where the next one starts.
void FindLineEnd(const ScoreText& text, size_t start, size_t* end, size_t* next);

// Fills line (its buffers hold at least end - start + 1 entries) with the
// characters of bytes start..end.
void DecodeScoreLine(const ScoreText& text, size_t start, size_t end, ScoreLine* line);

// The bytes start..end as UTF-8 into out (size bytes, always terminated):
// characters as themselves, control characters and bytes that are no text
// as \xNN; cut with "..." before a character that does not fit.
void ShowScoreText(const ScoreText& text, size_t start, size_t end, char* out, size_t size);
