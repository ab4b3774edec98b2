#include "portable/formats/jianpu.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "portable/formats/recording_file.h"
#include "portable/formats/score_text.h"
#include "portable/song/replay.h"

namespace {

// Semitones of degrees 1..7 above degree 1.
constexpr int32_t DegreeSemitones[7] = {0, 2, 4, 5, 7, 9, 11};

// Pitch classes of the letters A..G.
constexpr int32_t LetterPitchClass[7] = {9, 11, 0, 2, 4, 5, 7};

// The longest tuplet: a group of 2 to 99 notes.
constexpr uint32_t LargestTuplet = 99;

constexpr uint32_t NoMark = UINT32_MAX;

void SetError(ScoreError* error, uint32_t line, uint32_t column, const char* format, ...)
{
    error->line = line;
    error->column = column;
    va_list args;
    va_start(args, format);
    vsnprintf(error->text, sizeof error->text, format, args);
    va_end(args);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A token of a line: its characters and where it stands.
struct Token {
    const char* t;
    uint32_t length;
    uint32_t line;
    uint32_t column; // of its first character
    uint32_t first;  // index of its first character in the line
};

// What the parser carries from token to token.
struct ParseState {
    Score* score;
    uint32_t capacity;
    int32_t keyId;        // the key in force
    bool keyFixed;        // a sounding note has fixed the score's key
    int32_t halfBeats;    // the tempo in force
    ScoreError* error;
    const ScoreText* text;
    const ScoreLine* line;
    // Repeats: the passage starts at repeatStart (the score's start, or
    // after the last repeat); a first ending at firstEnding, if any.
    uint32_t repeatStart;
    Token openRepeat;     // the "|:" in force (length 0: none)
    uint32_t firstEnding;
    Token openEnding;
    Token closedEnding;   // the first ending that the last ":|" closed
    bool secondEndingDue; // the last ":|" had a first ending
    // A tuplet being read: its notes from tupletStart.
    uint32_t tupletCount; // 0: none open
    uint32_t tupletStart;
    Token openTuplet;
};

// A token as UTF-8 text for a message.
void TokenText(const ParseState* s, const Token& token, char* text, size_t size)
{
    const ScoreLine& line = *s->line;
    ShowScoreText(*s->text, line.offsets[token.first], line.offsets[token.first + token.length], text, size);
}

// A mark as UTF-8 text for a message, from its character skip on: with what
// follows it up to a blank, a bar line or a comment, so that a mark that a
// dash cut short ("4=-5") is quoted whole.
void MarkText(const ParseState* s, const Token& token, uint32_t skip, char* text, size_t size)
{
    const ScoreLine& line = *s->line;
    uint32_t end = token.first + token.length;
    while (end < line.length && !IsBlank(line.text[end]) && line.text[end] != '|' && line.text[end] != '%') end++;
    ShowScoreText(*s->text, line.offsets[token.first + skip], line.offsets[end], text, size);
}

bool TokenIs(const Token& token, const char* word)
{
    return strlen(word) == token.length && memcmp(token.t, word, token.length) == 0;
}

bool Reserve(ParseState* s, uint32_t more, const Token& at)
{
    Score* score = s->score;
    if (more <= s->capacity - score->count) return true;
    uint64_t grown = s->capacity ? 2 * (uint64_t)s->capacity : 256;
    while (grown - score->count < more) grown *= 2;
    ScoreNote* bigger = grown <= UINT32_MAX / 2 ? (ScoreNote*)realloc(score->notes, (size_t)grown * sizeof *bigger)
                                                : nullptr;
    if (!bigger) {
        SetError(s->error, at.line, at.column, "out of memory");
        return false;
    }
    score->notes = bigger;
    s->capacity = (uint32_t)grown;
    return true;
}

bool AddNote(ParseState* s, int32_t note, uint64_t length, const Token& at)
{
    if (!Reserve(s, 1, at)) return false;
    Score* score = s->score;
    score->notes[score->count++] = {note, length, s->halfBeats, at.line, at.column, false};
    if (note >= 0 && !s->keyFixed) {
        score->keyId = s->keyId;
        s->keyFixed = true;
    }
    return true;
}

// Letters A..G (either case) as 0..6, else -1.
int32_t LetterIndex(char c)
{
    return (c >= 'A' && c <= 'G') ? c - 'A' : (c >= 'a' && c <= 'g') ? c - 'a' : -1;
}

int32_t AccidentalOf(char c) { return c == '#' ? 1 : c == 'b' ? -1 : 0; }

bool ParseKeyMark(ParseState* s, const Token& token)
{
    if (KeyOfMark(token.t, token.length, &s->keyId)) return true;
    char text[120];
    MarkText(s, token, 2, text, sizeof text);
    SetError(s->error, token.line, token.column + 2,
             "unknown key \"%s\": expected a letter A to G with an optional # or b, as in %c=C, %c=Bb, %c=F#", text,
             token.t[0], token.t[0], token.t[0]);
    return false;
}

// "4=N" (crotchets a minute) or "4.=N" (dotted crotchets a minute); the
// crotchet sign stands for the 4.
bool ParseTempoMark(ParseState* s, const Token& token)
{
    const char* t = token.t;
    bool dotted = t[1] == '.';
    int32_t tempo = 0;
    uint32_t i = dotted ? 3 : 2;
    uint32_t digits = i;
    for (; i < token.length && IsDigit(t[i]) && tempo <= HighestScoreTempo; i++) tempo = tempo * 10 + (t[i] - '0');
    // In half beats a minute: a dotted crotchet is a beat and a half.
    int32_t halfBeats = dotted ? 3 * tempo : 2 * tempo;
    if (i == digits || i < token.length || halfBeats < 2 * LowestScoreTempo || halfBeats > 2 * HighestScoreTempo) {
        char text[120];
        MarkText(s, token, 0, text, sizeof text);
        SetError(s->error, token.line, token.column,
                 "bad tempo \"%s\": expected 4= and %d to %d beats per minute, or 4.= and %d to %d dotted beats",
                 text, LowestScoreTempo, HighestScoreTempo, (2 * LowestScoreTempo + 2) / 3, 2 * HighestScoreTempo / 3);
        return false;
    }
    s->halfBeats = halfBeats;
    return true;
}

bool ParseTimeSignature(ParseState* s, const Token& token)
{
    const char* t = token.t;
    uint32_t length = token.length, i = 0, upper = 0, lower = 0;
    for (; i < length && IsDigit(t[i]) && upper < 1000; i++) upper = upper * 10 + (uint32_t)(t[i] - '0');
    bool ok = i > 0 && i < length && t[i] == '/';
    uint32_t j = ++i;
    for (; i < length && IsDigit(t[i]) && lower < 1000; i++) lower = lower * 10 + (uint32_t)(t[i] - '0');
    if (!ok || i == j || i < length || upper == 0 || lower == 0) {
        char text[120];
        TokenText(s, token, text, sizeof text);
        SetError(s->error, token.line, token.column, "bad time signature \"%s\": expected two numbers such as 3/4",
                 text);
        return false;
    }
    return true; // bar lines and time signatures change no timing
}

// [q|s|d] [#|b] 0..7 then any of ' , . (octave marks and up to two dots).
bool ParseNoteToken(ParseState* s, const Token& token)
{
    const char* t = token.t;
    uint32_t length = token.length, line = token.line, column = token.column;
    char text[120];
    TokenText(s, token, text, sizeof text);
    for (uint32_t k = 0; k < length; k++) {
        if (t[k] != OtherCharacter && t[k] != CrotchetCharacter && (unsigned char)t[k] >= 0x20 && t[k] != 0x7F)
            continue;
        char character[40];
        Token one = {t + k, 1, line, column + k, token.first + k};
        TokenText(s, one, character, sizeof character);
        if (t[k] == OtherCharacter || t[k] == CrotchetCharacter)
            SetError(s->error, line, column + k,
                     "\"%s\" is not part of jianpu: expected a note, a rest, -, |, or %% before a comment", character);
        else
            SetError(s->error, line, column + k, "\"%s\" is not text but a control character: delete it", character);
        return false;
    }
    uint32_t i = 0;
    uint64_t units = ScoreUnitsPerBeat;
    if (t[0] == 'q') units /= 2, i++;
    else if (t[0] == 's') units /= 4, i++;
    else if (t[0] == 'd') units /= 8, i++;
    int32_t accidental = i < length ? AccidentalOf(t[i]) : 0;
    if (accidental) i++;
    if (i == length || t[i] < '0' || t[i] > '7') {
        if (i == 0)
            SetError(s->error, line, column,
                     "unknown token \"%s\": expected a note 1 to 7, a rest 0, -, |, a time signature such as 3/4, "
                     "1=KEY, 6=KEY or 4=TEMPO",
                     text);
        else
            SetError(s->error, line, column + i, "expected a note 1 to 7 or a rest 0 in \"%s\"", text);
        return false;
    }
    int32_t degree = t[i] - '0';
    if (degree == 0 && accidental) {
        SetError(s->error, line, column + i - 1, "a rest takes no # or b in \"%s\"", text);
        return false;
    }
    int32_t up = 0, down = 0, dots = 0;
    for (i++; i < length; i++) {
        const char* problem = nullptr;
        if (t[i] == '\'') up++;
        else if (t[i] == ',') down++;
        else if (t[i] == '.') dots++;
        else problem = "expected ' or , (octave) or . (dot) after the note";
        if (!problem && up && down) problem = "a note takes ' or , but not both";
        if (!problem && dots > 2) problem = "a note takes at most two dots";
        if (!problem && degree == 0 && (up || down)) problem = "a rest takes no octave mark";
        if (problem) {
            SetError(s->error, line, column + i, "%s in \"%s\"", problem, text);
            return false;
        }
    }
    // Each dot adds half of what came before it: 1. is 1.5 beats, 1.. is 1.75.
    uint64_t noteUnits = units + (dots >= 1 ? units / 2 : 0) + (dots >= 2 ? units / 4 : 0);
    int32_t note = -1;
    if (degree > 0) {
        int32_t transposition = 0;
        Transposition(s->keyId, &transposition);
        note = 60 + transposition + DegreeSemitones[degree - 1] + accidental + 12 * (up - down);
    }
    return AddNote(s, note, noteUnits, token);
}

// "N[" opens a tuplet of N notes; "]" closes it: the notes then take the
// time of 3 of them for a duplet or a quadruplet, else of the largest power
// of two below N (2 of 3, 4 of 5 to 7, 8 of 9 to 15 ...).
bool OpenTuplet(ParseState* s, const Token& token)
{
    uint32_t count = 0;
    for (uint32_t i = 0; i + 1 < token.length && count <= LargestTuplet; i++) count = count * 10 + (uint32_t)(token.t[i] - '0');
    char text[120];
    TokenText(s, token, text, sizeof text);
    if (count < 2 || count > LargestTuplet) {
        SetError(s->error, token.line, token.column, "bad tuplet \"%s\": expected 2[ to %u[ as in 3[ q1 q2 q3 ]",
                 text, LargestTuplet);
        return false;
    }
    if (s->tupletCount) {
        SetError(s->error, token.line, token.column, "a tuplet inside a tuplet: close the one before with ]");
        return false;
    }
    s->tupletCount = count;
    s->tupletStart = s->score->count;
    s->openTuplet = token;
    return true;
}

bool CloseTuplet(ParseState* s, const Token& token)
{
    Score* score = s->score;
    if (!s->tupletCount || score->count == s->tupletStart) {
        SetError(s->error, token.line, token.column,
                 s->tupletCount ? "an empty tuplet: expected notes between N[ and ]" : "\"]\" with no tuplet open: "
                                                                                          "expected N[ before it");
        return false;
    }
    // N notes, or notes whose written lengths add up to N of one of them
    // (3[ 1 q1 ] is a triplet of quavers).
    uint64_t n = s->tupletCount, written = 0, time = 2;
    uint32_t notes = score->count - s->tupletStart;
    for (uint32_t i = s->tupletStart; i < score->count; i++) written += score->notes[i].length;
    bool fills = notes == n;
    for (uint32_t i = s->tupletStart; i < score->count && !fills; i++) fills = written == n * score->notes[i].length;
    if (!fills) {
        SetError(s->error, s->openTuplet.line, s->openTuplet.column,
                 "the tuplet %u[ holds %u notes: a tuplet of %u needs %u notes, or notes whose written lengths add up "
                 "to %u of one of them",
                 (unsigned)n, notes, (unsigned)n, (unsigned)n, (unsigned)n);
        return false;
    }
    if (n == 2 || n == 4) time = 3;
    else
        while (time * 2 < n) time *= 2;
    // Each note starts where its written start falls, scaled; the group
    // ends exactly where its written length, scaled, ends.
    uint64_t scaledBefore = 0;
    written = 0;
    for (uint32_t i = s->tupletStart; i < score->count; i++) {
        written += score->notes[i].length;
        uint64_t scaled = written / n * time + written % n * time / n;
        score->notes[i].length = scaled - scaledBefore;
        scaledBefore = scaled;
    }
    s->tupletCount = 0;
    return true;
}

// "|:" starts a passage to repeat; "[1" and "[2" the first and second
// endings; ":|" plays the passage since "|:" (or the score's start, or the
// last ":|") once more, without its first ending.
bool RepeatMark(ParseState* s, const Token& token)
{
    Score* score = s->score;
    if (s->tupletCount) {
        SetError(s->error, token.line, token.column, "a repeat mark inside a tuplet: close the tuplet with ] first");
        return false;
    }
    if (TokenIs(token, "|:")) {
        if (s->openRepeat.length) {
            SetError(s->error, token.line, token.column,
                     "a repeat inside a repeat: close the one at %u:%u with :| first", s->openRepeat.line,
                     s->openRepeat.column);
            return false;
        }
        s->repeatStart = score->count;
        s->openRepeat = token;
        s->secondEndingDue = false;
        return true;
    }
    if (token.t[0] == '[') {
        bool first = token.t[1] == '1';
        // Right after a ":|" that closed a first ending comes the second.
        bool justClosed = s->secondEndingDue && score->count == s->repeatStart;
        if (first && s->firstEnding == NoMark && !justClosed) {
            s->firstEnding = score->count;
            s->openEnding = token;
            s->secondEndingDue = false;
            return true;
        }
        if (!first && s->secondEndingDue) {
            s->secondEndingDue = false;
            return true;
        }
        bool open = s->firstEnding != NoMark;
        const Token& earlier = open ? s->openEnding : s->closedEnding;
        if (first)
            SetError(s->error, token.line, token.column,
                     "the first ending is written twice (the first [1 is at %u:%u): %s", earlier.line, earlier.column,
                     open ? "close it with :| and write [2 for the second ending"
                          : "after its :| comes the second ending, [2");
        else if (open)
            SetError(s->error, token.line, token.column,
                     "the first ending at %u:%u is not closed with :|: expected :| before [2", earlier.line,
                     earlier.column);
        else
            SetError(s->error, token.line, token.column,
                     "a second ending with no first ending: expected [1 ... :| before it");
        return false;
    }
    // ":|"
    uint32_t end = s->firstEnding != NoMark ? s->firstEnding : score->count;
    if (end == s->repeatStart) {
        SetError(s->error, token.line, token.column, "nothing to repeat before \":|\"");
        return false;
    }
    uint32_t length = end - s->repeatStart;
    if (!Reserve(s, length, token)) return false;
    memcpy(score->notes + score->count, score->notes + s->repeatStart, (size_t)length * sizeof *score->notes);
    score->count += length;
    s->repeatStart = score->count;
    s->openRepeat.length = 0;
    s->secondEndingDue = s->firstEnding != NoMark;
    if (s->secondEndingDue) s->closedEnding = s->openEnding;
    s->firstEnding = NoMark;
    return true;
}

// One token of a notation line.
bool ParseToken(ParseState* s, const Token& token)
{
    const char* t = token.t;
    uint32_t length = token.length;
    Score* score = s->score;
    if (length == 1 && (t[0] == '-' || t[0] == '~')) {
        if (score->count == 0) {
            SetError(s->error, token.line, token.column,
                     "\"%c\" with no note before it: expected a note or a rest first", t[0]);
            return false;
        }
        ScoreNote& last = score->notes[score->count - 1];
        if (t[0] == '-') last.length += ScoreUnitsPerBeat;
        else last.tied = true;
        return true;
    }
    if (length == 1 && (t[0] == '(' || t[0] == ')')) return true; // a slur: no change to the timing
    if (length == 1 && t[0] == ']') return CloseTuplet(s, token);
    if (TokenIs(token, "|:") || TokenIs(token, ":|") || TokenIs(token, "[1") || TokenIs(token, "[2") ||
        TokenIs(token, "[1.") || TokenIs(token, "[2."))
        return RepeatMark(s, token);
    if (length >= 2 && t[length - 1] == '[') {
        bool digits = true;
        for (uint32_t i = 0; i + 1 < length; i++) digits = digits && IsDigit(t[i]);
        if (digits) return OpenTuplet(s, token);
    }
    bool crotchet = t[0] == CrotchetCharacter || t[0] == '4';
    if (length >= 2 && (t[1] == '=' || (crotchet && length >= 3 && t[1] == '.' && t[2] == '='))) {
        if (t[1] == '=' && (t[0] == '1' || t[0] == '6')) return ParseKeyMark(s, token);
        if (crotchet) return ParseTempoMark(s, token);
        char text[120];
        MarkText(s, token, 0, text, sizeof text);
        SetError(s->error, token.line, token.column, "unknown mark \"%s\": expected 1=KEY, 6=KEY or 4=TEMPO", text);
        return false;
    }
    if (memchr(t, '/', length)) return ParseTimeSignature(s, token);
    return ParseNoteToken(s, token);
}

// A mark that may follow a header on its line: 1=, 6=, 4=, 4.= (or the
// crotchet sign for the 4).
bool IsMarkAt(const ScoreLine& line, uint32_t i)
{
    const char* t = line.text + i;
    uint32_t left = line.length - i;
    bool crotchet = t[0] == CrotchetCharacter || t[0] == '4';
    return (left >= 2 && t[1] == '=' && (crotchet || t[0] == '1' || t[0] == '6')) ||
           (left >= 3 && crotchet && t[1] == '.' && t[2] == '=');
}

// Where the notation of a line starts: after a header ("title=...", any word
// then "=") up to the first mark that follows a blank, which is read (as in
// "title=Song 1=G 4=120"); nowhere for lyrics ("L:", "H:").
uint32_t NotationStart(const ScoreLine& line)
{
    uint32_t i = 0;
    while (i < line.length && IsBlank(line.text[i])) i++;
    if (i + 1 < line.length && (line.text[i] == 'L' || line.text[i] == 'H') && line.text[i + 1] == ':')
        return line.length;
    uint32_t start = i;
    while (i < line.length && (IsLetter(line.text[i]) || line.text[i] == OtherCharacter)) i++;
    if (i == start || i == line.length || line.text[i] != '=') return 0;
    for (i++; i < line.length; i++)
        if (IsBlank(line.text[i - 1]) && IsMarkAt(line, i)) return i;
    return line.length;
}

// Characters that end a token, beside blanks and bar lines; each of
// "- ~ ( ) ]" is also a token of its own ("5--" is "5 - -").
bool EndsToken(const ScoreLine& line, uint32_t i)
{
    char c = line.text[i];
    if (IsBlank(c) || c == '|' || c == '%' || c == '-' || c == '~' || c == '(' || c == ')' || c == ']') return true;
    return c == ':' && i + 1 < line.length && line.text[i + 1] == '|';
}

// The tokens of a line: separated by blanks and bar lines, up to a "%".
bool ParseLine(ParseState* s, const ScoreLine& line)
{
    s->line = &line;
    uint32_t i = NotationStart(line);
    for (;;) {
        while (i < line.length && IsBlank(line.text[i])) i++;
        if (i == line.length || line.text[i] == '%') return true;
        uint32_t start = i;
        char c = line.text[i];
        if (c == '|' && i + 1 < line.length && line.text[i + 1] == ':') {
            i += 2; // "|:"
        } else if (c == '|') {
            i++;
            continue;
        } else if (c == ':' && i + 1 < line.length && line.text[i + 1] == '|') {
            i++; // ":|", its bar line read next (":|:" ends one repeat and starts another)
            Token token = {":|", 2, line.number, start + 1, start};
            if (!ParseToken(s, token)) return false;
            continue;
        } else if (EndsToken(line, i)) {
            i++;
        } else {
            // "[" ends a token that it does not start ("3[q1" is "3[" and "q1").
            while (i < line.length && !EndsToken(line, i) && (line.text[i] != '[' || i == start)) i++;
            if (i < line.length && line.text[i] == '[') i++;
        }
        Token token = {line.text + start, i - start, line.number, start + 1, start};
        if (!ParseToken(s, token)) return false;
    }
}

// Milliseconds, rounded half up, at units into a stretch of one tempo that
// starts at startUs microseconds. A unit lasts 120,000,000 / (halfBeats x
// ScoreUnitsPerBeat) microseconds; whole minutes of units are taken out first
// so that no product overflows.
uint64_t MsAt(uint64_t startUs, uint64_t units, int32_t halfBeats)
{
    uint64_t perMinute = (uint64_t)halfBeats * ScoreUnitsPerBeat / 2; // units in a minute
    uint64_t minutes = units / perMinute, rest = units % perMinute;
    uint64_t numerator = startUs % 1000 * perMinute + rest * 60000000u; // over 1000 x perMinute
    return startUs / 1000 + minutes * 60000 + (2 * numerator + 1000 * perMinute) / (2000 * perMinute);
}

// The microseconds (rounded) of units at a tempo.
uint64_t UsOf(uint64_t units, int32_t halfBeats)
{
    uint64_t perMinute = (uint64_t)halfBeats * ScoreUnitsPerBeat / 2;
    uint64_t minutes = units / perMinute, rest = units % perMinute;
    return minutes * 60000000u + (2 * rest * 60000000u + perMinute) / (2 * perMinute);
}

} // namespace

const char* KeyCapName(uint32_t scanCode)
{
    static constexpr const char* names[KeyMapSize] = {
        "",  "",  "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-",  "=", "",  "",  "Q", "W",
        "E", "R", "T", "Y", "U", "I", "O", "P", "[", "]", "",  "",  "A",  "S", "D", "F", "G", "H",
        "J", "K", "L", ";", "'", "",  "",  "",  "Z", "X", "C", "V", "B",  "N", "M", ",", ".", "/",
    };
    return PlayableKey(scanCode) ? names[scanCode] : "";
}

bool ParseScore(const uint8_t* bytes, size_t size, Score* score, ScoreError* error)
{
    if (IsUtf16Text(bytes, size)) {
        SetError(error, 1, 1,
                 "this file is UTF-16 (what Notepad calls \"Unicode\"): save it as UTF-8 or as ANSI (GBK) and "
                 "try again");
        return false;
    }
    ScoreText text = ReadScoreText(bytes, size);
    if (text.size > UINT32_MAX - 1) {
        SetError(error, 1, 1, "the score is too long");
        return false;
    }
    Score result = {nullptr, 0, DefaultKeyId};
    ParseState s = {};
    s.score = &result;
    s.keyId = DefaultKeyId;
    s.halfBeats = 2 * DefaultScoreTempo;
    s.error = error;
    s.text = &text;
    s.firstEnding = NoMark;
    ScoreLine line = {nullptr, nullptr, 0, 0};
    line.text = (char*)malloc(text.size + 1);
    line.offsets = (uint32_t*)malloc((text.size + 1) * sizeof *line.offsets);
    bool ok = line.text && line.offsets;
    if (!ok) SetError(error, 1, 1, "out of memory");
    // A line end at the very end of the file starts no further line.
    for (size_t at = 0; ok && (at < text.size || line.number == 0);) {
        size_t end, next;
        FindLineEnd(text, at, &end, &next);
        line.number++;
        DecodeScoreLine(text, at, end, &line);
        ok = ParseLine(&s, line);
        if (next == end) break;
        at = next;
    }
    // What is left open at the end.
    const Token* open = s.tupletCount ? &s.openTuplet : s.openRepeat.length ? &s.openRepeat
                                                                            : s.firstEnding != NoMark ? &s.openEnding
                                                                                                      : nullptr;
    if (ok && open) {
        SetError(error, open->line, open->column,
                 s.tupletCount ? "a tuplet not closed: expected ] after its notes"
                               : "a repeat not closed: expected :| at the end of the passage");
        ok = false;
    }
    if (ok && !s.keyFixed) {
        SetError(error, line.number, line.length + 1, "empty score: expected at least one note 1 to 7");
        ok = false;
    }
    free(line.text);
    free(line.offsets);
    if (!ok) {
        free(result.notes);
        return false;
    }
    *score = result;
    return true;
}

void FreeScore(Score* score)
{
    free(score->notes);
    score->notes = nullptr;
    score->count = 0;
}

bool ChooseKey(int32_t note, int32_t keyId, uint32_t* scanCode, int32_t* octaveShift)
{
    int32_t transposition;
    if (!Transposition(keyId, &transposition)) return false;
    // Keys that sound the same note also carry the same label (the label
    // follows the semitone), so the written degree is always on the cap;
    // what is left to choose is the row.
    static constexpr int32_t Shifts[3] = {0, 1, -1};
    for (int32_t shift : Shifts) {
        int found = -1;
        for (int scan = 0; scan < KeyMapSize; scan++) {
            const KeyMapEntry* key = PlayableKey((uint32_t)scan);
            if (!key || 12 * (key->octave + shift) + key->semitone + transposition != note) continue;
            bool preferred = key->row == 1 || key->row == 2;
            if (found < 0 || (preferred && KeyMap[found].row != 1 && KeyMap[found].row != 2)) found = scan;
        }
        if (found >= 0) {
            *scanCode = (uint32_t)found;
            *octaveShift = shift;
            return true;
        }
    }
    return false;
}

const char* KeyMarkName(int32_t keyId)
{
    static constexpr const char* Names[2][12] = {
        {"1=C", "1=#C", "1=D", "1=bE", "1=E", "1=F", "1=#F", "1=G", "1=bA", "1=A", "1=bB", "1=B"},
        {"6=a", "6=#a", "6=b", "6=c", "6=#c", "6=d", "6=#d", "6=e", "6=f", "6=#f", "6=g", "6=#g"},
    };
    int i = KeyIndexOf(keyId);
    if (i < 0) return "";
    return Names[i >= KeyCount / 2][(Keys[i].transposition % 12 + 12) % 12];
}

bool KeyOfMark(const char* t, size_t length, int32_t* keyId)
{
    if (length < 3 || (t[0] != '1' && t[0] != '6') || t[1] != '=') return false;
    bool minor = t[0] == '6';
    const char* name = t + 2;
    size_t n = length - 2;
    int32_t letter = -1, accidental = 0;
    if (n == 1) {
        letter = LetterIndex(name[0]);
    } else if (n == 2 && AccidentalOf(name[0]) && LetterIndex(name[1]) >= 0) {
        letter = LetterIndex(name[1]);
        accidental = AccidentalOf(name[0]);
    } else if (n == 2 && LetterIndex(name[0]) >= 0 && AccidentalOf(name[1])) {
        letter = LetterIndex(name[0]);
        accidental = AccidentalOf(name[1]);
    }
    if (letter < 0) return false;
    // A minor key plays the degrees of its relative major, three semitones up.
    *keyId = KeyOfPitchClass(LetterPitchClass[letter] + accidental + (minor ? 3 : 0), minor);
    return true;
}

int32_t KeyOfPitchClass(int32_t pitchClass, bool minor)
{
    int32_t wanted = (pitchClass % 12 + 12) % 12;
    int first = minor ? KeyCount / 2 : 0;
    for (int i = first; i < first + KeyCount / 2; i++)
        if ((Keys[i].transposition % 12 + 12) % 12 == wanted) return Keys[i].keyId;
    return DefaultKeyId; // not reached: every pitch class has a key
}

bool ScoreEvents(const Score& score, RecordedEvent** events, uint32_t* count, ScoreError* error)
{
    if (score.count > MaxRecordingFileEvents / 2) {
        SetError(error, score.notes[0].line, score.notes[0].column, "the score is too long for a recording");
        return false;
    }
    RecordedEvent* out = (RecordedEvent*)malloc((size_t)score.count * 2 * sizeof *out + 1);
    if (!out) {
        SetError(error, 1, 1, "out of memory");
        return false;
    }
    int32_t transposition = 0;
    Transposition(score.keyId, &transposition);
    uint32_t n = 0, scan = 0;
    int32_t shift = 0;
    uint64_t stretchUs = 0, stretchUnits = 0, lastMs = 0, pressMs = 0;
    uint32_t done = 0; // notes converted
    int32_t halfBeats = score.count ? score.notes[0].halfBeats : 2 * DefaultScoreTempo;
    for (uint32_t i = 0; i < score.count; i++) {
        const ScoreNote& note = score.notes[i];
        // A new tempo starts a new stretch where the old one ended; within a
        // stretch every time is rounded from the exact running time.
        if (note.halfBeats != halfBeats) {
            stretchUs += UsOf(stretchUnits, halfBeats);
            stretchUnits = 0;
            halfBeats = note.halfBeats;
        }
        uint64_t startMs = MsAt(stretchUs, stretchUnits, halfBeats);
        stretchUnits += note.length;
        uint64_t endMs = MsAt(stretchUs, stretchUnits, halfBeats);
        if (note.note < 0) {
            done = i + 1;
            continue;
        }
        // A note tied to the same note holds the key on: one press for both.
        bool held = i > 0 && score.notes[i - 1].tied && score.notes[i - 1].note == note.note;
        bool holds = note.tied && i + 1 < score.count && score.notes[i + 1].note == note.note;
        if (!held) {
            if (!ChooseKey(note.note, score.keyId, &scan, &shift)) {
                SetError(error, note.line, note.column,
                         "no key plays this note (MIDI %d): the keys reach %d to %d in this key, with Shift and Ctrl",
                         (int)note.note, 30 + transposition, 93 + transposition);
                free(out);
                return false;
            }
            if (startMs - lastMs > UINT32_MAX) break;
            out[n++] = {(uint32_t)(startMs - lastMs), KeyPressMessage, scan << 16 | 1, shift};
            lastMs = pressMs = startMs;
        }
        if (holds) continue;
        uint64_t gap = (endMs - pressMs) / 4 < ReleaseGapMs ? (endMs - pressMs) / 4 : ReleaseGapMs;
        uint64_t releaseMs = endMs - gap;
        if (releaseMs - lastMs > UINT32_MAX) break;
        out[n++] = {(uint32_t)(releaseMs - lastMs), KeyReleaseMessage, scan << 16 | 1 | 0xC0000000u, shift};
        lastMs = releaseMs;
        done = i + 1;
    }
    if (done < score.count) {
        // A wait longer than a recording's delay can hold.
        SetError(error, score.notes[done].line, score.notes[done].column, "the score is too long for a recording");
        free(out);
        return false;
    }
    *events = out;
    *count = n;
    return true;
}

namespace {

struct KeyScoreWalk {
    FILE* out;
    const RecordedEvent* events;
    uint64_t lineStart;
    bool open;
};

void TakeKeyScoreNote(void* context, uint64_t now, uint32_t index, const NoteMessage& m)
{
    KeyScoreWalk* walk = (KeyScoreWalk*)context;
    const RecordedEvent& e = walk->events[index];
    // A press that sounds, and that a key with or without Shift or Ctrl plays.
    if (!m.velocity || m.channel != 0 || e.octaveShift < -1 || e.octaveShift > 1) return;
    uint32_t scan = ScanCodeOf(e.keyData);
    const KeyMapEntry* key = PlayableKey(scan);
    if (!walk->open || now - walk->lineStart > ChordWindowMs) {
        if (walk->open) fputc('\n', walk->out);
        fprintf(walk->out, "%" PRIu64 ".%03u", now / 1000, (unsigned)(now % 1000));
        walk->lineStart = now;
        walk->open = true;
    }
    char marks[4] = {0, 0, 0, 0};
    int32_t octave = key->octave + e.octaveShift;
    for (int32_t n = 0; n < (octave > 5 ? octave - 5 : 5 - octave); n++) marks[n] = octave > 5 ? '\'' : ',';
    fprintf(walk->out, "  %s%s %s%s", e.octaveShift > 0 ? "Shift+" : e.octaveShift < 0 ? "Ctrl+" : "",
            KeyCapName(scan), key->label, marks);
}

} // namespace

void WriteKeyScore(FILE* out, const RecordedEvent* events, uint32_t count, int32_t keyId)
{
    // The degrees are the same in every key; a recording whose key is none
    // of the 24 is listed as in C major.
    ReplaySettings settings = {IsKeyId(keyId) ? keyId : DefaultKeyId, 0, 127, false};
    KeyScoreWalk walk = {out, events, 0, false};
    ReplayRecording(events, count, settings, false, TakeKeyScoreNote, &walk);
    if (walk.open) fputc('\n', out);
}
