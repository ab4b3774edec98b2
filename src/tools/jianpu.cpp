#include "tools/jianpu.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "engine/keymap.h"
#include "files/recording_file.h"

namespace {

// Semitones of degrees 1..7 above degree 1.
constexpr int32_t DegreeSemitones[7] = {0, 2, 4, 5, 7, 9, 11};

// Pitch classes of the letters A..G.
constexpr int32_t LetterPitchClass[7] = {9, 11, 0, 2, 4, 5, 7};

// A character of a line that is not ASCII, as the parser sees it.
constexpr char OtherCharacter = '\x80';

void SetError(ScoreError* error, uint32_t line, uint32_t column, const char* format, ...)
{
    error->line = line;
    error->column = column;
    va_list args;
    va_start(args, format);
    vsnprintf(error->text, sizeof error->text, format, args);
    va_end(args);
}

// Length of the UTF-8 sequence at p (at most left bytes), 0 when it is not
// a valid one.
size_t Utf8Length(const uint8_t* p, size_t left)
{
    uint8_t c = p[0];
    if (c < 0x80) return 1;
    size_t n;
    uint32_t lowest;
    if (c >= 0xC2 && c <= 0xDF) n = 2, lowest = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, lowest = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, lowest = 0x10000;
    else return 0;
    if (left < n) return 0;
    uint32_t code = c & (0x7F >> n);
    for (size_t i = 1; i < n; i++) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        code = code << 6 | (p[i] & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

bool IsUtf8(const uint8_t* p, size_t size)
{
    for (size_t i = 0; i < size;) {
        size_t n = Utf8Length(p + i, size - i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// Length of the character at p in GBK: a lead byte 81..FE with a trail byte
// 40..FE (not 7F) makes one character of two bytes.
size_t GbkLength(const uint8_t* p, size_t left)
{
    if (p[0] >= 0x81 && p[0] <= 0xFE && left >= 2 && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F) return 2;
    return 1;
}

// A line as one byte per character: ASCII as it is, every other character
// OtherCharacter, so that an index is a column less one.
struct Line {
    char* text;
    uint32_t length;
    uint32_t number;
};

void DecodeLine(const uint8_t* p, size_t size, bool utf8, Line* line)
{
    uint32_t n = 0;
    for (size_t i = 0; i < size;) {
        size_t len = utf8 ? Utf8Length(p + i, size - i) : GbkLength(p + i, size - i);
        if (len == 0) len = 1;
        line->text[n++] = p[i] < 0x80 ? (char)p[i] : OtherCharacter;
        i += len;
    }
    line->length = n;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Lyrics ("L:", "H:") and header lines ("title=...", any word then "=").
bool IsIgnoredLine(const Line& line)
{
    uint32_t i = 0;
    while (i < line.length && IsBlank(line.text[i])) i++;
    if (i + 1 < line.length && (line.text[i] == 'L' || line.text[i] == 'H') && line.text[i + 1] == ':') return true;
    uint32_t start = i;
    while (i < line.length && IsLetter(line.text[i])) i++;
    return i > start && i < line.length && line.text[i] == '=';
}

// What the parser carries from token to token.
struct ParseState {
    Score* score;
    uint32_t capacity;
    int32_t keyId;        // the key in force
    bool keyFixed;        // a sounding note has fixed the score's key
    int32_t tempo;
    ScoreError* error;
};

// The token as text for a message, non-ASCII characters shown as '?'.
void TokenText(const char* token, uint32_t length, char* text, size_t size)
{
    size_t n = 0;
    for (uint32_t i = 0; i < length && n + 1 < size; i++) text[n++] = token[i] == OtherCharacter ? '?' : token[i];
    text[n] = 0;
}

bool AddNote(ParseState* s, int32_t note, uint32_t length, uint32_t line, uint32_t column)
{
    Score* score = s->score;
    if (score->count == s->capacity) {
        uint32_t grown = s->capacity ? s->capacity * 2 : 256;
        ScoreNote* more = grown > s->capacity ? (ScoreNote*)realloc(score->notes, (size_t)grown * sizeof *more) : nullptr;
        if (!more) {
            SetError(s->error, line, column, "out of memory");
            return false;
        }
        score->notes = more;
        s->capacity = grown;
    }
    score->notes[score->count++] = {note, length, s->tempo, line, column};
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

// "1=X" (major) or "6=x" (minor): X a letter A..G with a # or b before or after it.
bool ParseKeyMark(ParseState* s, const char* t, uint32_t length, uint32_t line, uint32_t column)
{
    bool minor = t[0] == '6';
    const char* name = t + 2;
    uint32_t n = length - 2;
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
    if (letter < 0) {
        char text[40];
        TokenText(name, n, text, sizeof text);
        SetError(s->error, line, column + 2,
                 "unknown key \"%s\": expected a letter A to G with an optional # or b, as in %c=C, %c=Bb, %c=F#",
                 text, t[0], t[0], t[0]);
        return false;
    }
    int32_t pitchClass = LetterPitchClass[letter] + accidental;
    // A minor key plays the degrees of its relative major, three semitones up.
    int32_t wanted = ((pitchClass + (minor ? 3 : 0)) % 12 + 12) % 12;
    int first = minor ? KeyCount / 2 : 0;
    for (int i = first; i < first + KeyCount / 2; i++) {
        if ((Keys[i].transposition % 12 + 12) % 12 == wanted) {
            s->keyId = Keys[i].keyId;
            return true;
        }
    }
    return false; // not reached: every pitch class has a key
}

bool ParseTempoMark(ParseState* s, const char* t, uint32_t length, uint32_t line, uint32_t column)
{
    int32_t tempo = 0;
    uint32_t i = 2;
    for (; i < length && IsDigit(t[i]) && tempo <= HighestScoreTempo; i++) tempo = tempo * 10 + (t[i] - '0');
    if (i == 2 || i < length || tempo < LowestScoreTempo || tempo > HighestScoreTempo) {
        char text[40];
        TokenText(t, length, text, sizeof text);
        SetError(s->error, line, column, "bad tempo \"%s\": expected 4= and %d to %d beats per minute", text,
                 LowestScoreTempo, HighestScoreTempo);
        return false;
    }
    s->tempo = tempo;
    return true;
}

bool ParseTimeSignature(ParseState* s, const char* t, uint32_t length, uint32_t line, uint32_t column)
{
    uint32_t i = 0, upper = 0, lower = 0;
    for (; i < length && IsDigit(t[i]) && upper < 1000; i++) upper = upper * 10 + (uint32_t)(t[i] - '0');
    bool ok = i > 0 && i < length && t[i] == '/';
    uint32_t j = ++i;
    for (; i < length && IsDigit(t[i]) && lower < 1000; i++) lower = lower * 10 + (uint32_t)(t[i] - '0');
    if (!ok || i == j || i < length || upper == 0 || lower == 0) {
        char text[40];
        TokenText(t, length, text, sizeof text);
        SetError(s->error, line, column, "bad time signature \"%s\": expected two numbers such as 3/4", text);
        return false;
    }
    return true; // bar lines and time signatures change no timing
}

// [q|s|d] [#|b] 0..7 then any of ' , . (octave marks and up to two dots).
bool ParseNoteToken(ParseState* s, const char* t, uint32_t length, uint32_t line, uint32_t column)
{
    char text[40];
    TokenText(t, length, text, sizeof text);
    const char* other = (const char*)memchr(t, OtherCharacter, length);
    if (other) {
        SetError(s->error, line, column + (uint32_t)(other - t),
                 "a character that is not ASCII in the notes: expected a note, a rest, -, |, or %% before a comment");
        return false;
    }
    uint32_t i = 0, units = ScoreUnitsPerBeat;
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
    uint32_t noteUnits = units + (dots >= 1 ? units / 2 : 0) + (dots >= 2 ? units / 4 : 0);
    int32_t note = -1;
    if (degree > 0) {
        int32_t transposition = 0;
        Transposition(s->keyId, &transposition);
        note = 60 + transposition + DegreeSemitones[degree - 1] + accidental + 12 * (up - down);
    }
    return AddNote(s, note, noteUnits, line, column);
}

// One token of a notation line.
bool ParseToken(ParseState* s, const char* t, uint32_t length, uint32_t line, uint32_t column)
{
    if (length == 1 && t[0] == '-') {
        Score* score = s->score;
        if (score->count == 0) {
            SetError(s->error, line, column, "\"-\" with no note before it: expected a note or a rest first");
            return false;
        }
        score->notes[score->count - 1].length += ScoreUnitsPerBeat;
        return true;
    }
    if (length >= 2 && t[1] == '=') {
        if (t[0] == '1' || t[0] == '6') return ParseKeyMark(s, t, length, line, column);
        if (t[0] == '4') return ParseTempoMark(s, t, length, line, column);
        char text[40];
        TokenText(t, length, text, sizeof text);
        SetError(s->error, line, column, "unknown mark \"%s\": expected 1=KEY, 6=KEY or 4=TEMPO", text);
        return false;
    }
    if (memchr(t, '/', length)) return ParseTimeSignature(s, t, length, line, column);
    return ParseNoteToken(s, t, length, line, column);
}

// The tokens of a line: separated by blanks and bar lines, up to a "%".
bool ParseLine(ParseState* s, const Line& line)
{
    if (IsIgnoredLine(line)) return true;
    uint32_t i = 0;
    for (;;) {
        while (i < line.length && (IsBlank(line.text[i]) || line.text[i] == '|')) i++;
        if (i == line.length || line.text[i] == '%') return true;
        uint32_t start = i;
        while (i < line.length && !IsBlank(line.text[i]) && line.text[i] != '|' && line.text[i] != '%') i++;
        if (!ParseToken(s, line.text + start, i - start, line.number, start + 1)) return false;
    }
}

// Milliseconds, rounded half up, at units into a stretch of one tempo that
// starts at startUs microseconds.
uint64_t MsAt(uint64_t startUs, uint64_t units, int32_t tempo)
{
    uint64_t perUnit = 60000000u / ScoreUnitsPerBeat; // microseconds of a unit at one beat a minute
    uint64_t t = (uint64_t)tempo;
    return (2 * (startUs * t + units * perUnit) + 1000 * t) / (2000 * t);
}

// The microseconds (rounded) of units at tempo.
uint64_t UsOf(uint64_t units, int32_t tempo)
{
    uint64_t perUnit = 60000000u / ScoreUnitsPerBeat;
    uint64_t t = (uint64_t)tempo;
    return (2 * units * perUnit + t) / (2 * t);
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
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) bytes += 3, size -= 3;
    bool utf8 = IsUtf8(bytes, size);

    Score result = {nullptr, 0, DefaultKeyId};
    ParseState s = {&result, 0, DefaultKeyId, false, DefaultScoreTempo, error};
    Line line = {nullptr, 0, 0};
    line.text = (char*)malloc(size + 1);
    if (!line.text) {
        SetError(error, 1, 1, "out of memory");
        return false;
    }
    bool ok = true;
    size_t at = 0;
    // A line end at the very end of the file starts no further line.
    while (ok && (at < size || line.number == 0)) {
        const uint8_t* end = (const uint8_t*)memchr(bytes + at, '\n', size - at);
        size_t lineEnd = end ? (size_t)(end - bytes) : size;
        size_t n = lineEnd - at;
        if (n > 0 && bytes[lineEnd - 1] == '\r') n--;
        line.number++;
        DecodeLine(bytes + at, n, utf8, &line);
        ok = ParseLine(&s, line);
        if (!end) break;
        at = lineEnd + 1;
    }
    if (ok && !s.keyFixed) {
        SetError(error, line.number, line.length + 1, "empty score: expected at least one note 1 to 7");
        ok = false;
    }
    free(line.text);
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
    uint32_t n = 0;
    uint64_t stretchUs = 0, stretchUnits = 0, lastMs = 0;
    int32_t tempo = score.count ? score.notes[0].tempo : DefaultScoreTempo;
    for (uint32_t i = 0; i < score.count; i++) {
        const ScoreNote& note = score.notes[i];
        // A new tempo starts a new stretch where the old one ended; within a
        // stretch every time is rounded from the exact running time.
        if (note.tempo != tempo) {
            stretchUs += UsOf(stretchUnits, tempo);
            stretchUnits = 0;
            tempo = note.tempo;
        }
        uint64_t startMs = MsAt(stretchUs, stretchUnits, tempo);
        stretchUnits += note.length;
        uint64_t endMs = MsAt(stretchUs, stretchUnits, tempo);
        if (note.note < 0) continue;
        uint32_t scan;
        int32_t shift;
        if (!ChooseKey(note.note, score.keyId, &scan, &shift)) {
            SetError(error, note.line, note.column,
                     "no key plays this note (MIDI %d): the keys reach %d to %d in this key, with Shift and Ctrl",
                     (int)note.note, 30 + transposition, 93 + transposition);
            free(out);
            return false;
        }
        uint64_t gap = (endMs - startMs) / 4 < ReleaseGapMs ? (endMs - startMs) / 4 : ReleaseGapMs;
        uint64_t releaseMs = endMs - gap;
        if (startMs - lastMs > UINT32_MAX || releaseMs - startMs > UINT32_MAX) {
            SetError(error, note.line, note.column, "the score is too long for a recording");
            free(out);
            return false;
        }
        out[n++] = {(uint32_t)(startMs - lastMs), KeyPressMessage, scan << 16 | 1, shift};
        out[n++] = {(uint32_t)(releaseMs - startMs), KeyReleaseMessage, scan << 16 | 1 | 0xC0000000u, shift};
        lastMs = releaseMs;
    }
    *events = out;
    *count = n;
    return true;
}

void WriteKeyScore(FILE* out, const RecordedEvent* events, uint32_t count)
{
    uint64_t now = 0, lineStart = 0;
    bool open = false;
    for (uint32_t i = 0; i < count; i++) {
        const RecordedEvent& e = events[i];
        now += e.delay;
        uint32_t scan = ScanCodeOf(e.keyData);
        const KeyMapEntry* key = PlayableKey(scan);
        // Only what playback sounds: presses of playable keys with a shift of -1, 0 or +1.
        if (e.message != KeyPressMessage || !key || e.octaveShift < -1 || e.octaveShift > 1) continue;
        if (!open || now - lineStart > ChordWindowMs) {
            if (open) fputc('\n', out);
            fprintf(out, "%" PRIu64 ".%03u", now / 1000, (unsigned)(now % 1000));
            lineStart = now;
            open = true;
        }
        char marks[4] = {0, 0, 0, 0};
        int32_t octave = key->octave + e.octaveShift;
        for (int32_t m = 0; m < (octave > 5 ? octave - 5 : 5 - octave); m++) marks[m] = octave > 5 ? '\'' : ',';
        fprintf(out, "  %s%s %s%s", e.octaveShift > 0 ? "Shift+" : e.octaveShift < 0 ? "Ctrl+" : "",
                KeyCapName(scan), key->label, marks);
    }
    if (open) fputc('\n', out);
}
