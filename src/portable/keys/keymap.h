// The key map: which PC keys play, the jianpu degree and octave of each, where
// each sits in the keyboard picture, and the 24 musical keys that transpose it.
// Constant data and one rule; portable (no windows.h).
#pragma once

#include <cstdint>

struct KeyMapEntry {
    int32_t octave;    // 3..6, -1 for a scan code that plays nothing
    int32_t semitone;  // 0..11 above degree 1 of C major
    int32_t row;       // 0..3 in the keyboard picture, 0 at the top
    int32_t column;    // 0..23, in half keys from the left edge
    const char* label; // jianpu degree drawn on the key cap ("" when unplayable)
};

constexpr int KeyMapSize = 54;

// Indexed by scan code 0..53 (bits 16..23 of a key message's parameter).
inline constexpr KeyMapEntry KeyMap[KeyMapSize] = {
    {-1, -1, -1, -1, ""},   // 0
    {-1, -1, -1, -1, ""},   // 1 Esc
    {3, 6, 0, 0, "b5"},     // 2  1
    {3, 8, 0, 2, "b6"},     // 3  2
    {3, 10, 0, 4, "b7"},    // 4  3
    {3, 11, 0, 6, "7"},     // 5  4
    {4, 1, 0, 8, "b2"},     // 6  5
    {4, 3, 0, 10, "b3"},    // 7  6
    {4, 4, 0, 12, "3"},     // 8  7
    {4, 6, 0, 14, "b5"},    // 9  8
    {4, 8, 0, 16, "b6"},    // 10 9
    {4, 10, 0, 18, "b7"},   // 11 0
    {6, 6, 0, 20, "b5"},    // 12 -
    {6, 8, 0, 22, "b6"},    // 13 =
    {-1, -1, -1, -1, ""},   // 14 Backspace
    {-1, -1, -1, -1, ""},   // 15 Tab
    {3, 7, 1, 1, "5"},      // 16 Q
    {3, 9, 1, 3, "6"},      // 17 W
    {3, 11, 1, 5, "7"},     // 18 E
    {4, 0, 1, 7, "1"},      // 19 R
    {4, 2, 1, 9, "2"},      // 20 T
    {4, 4, 1, 11, "3"},     // 21 Y
    {4, 5, 1, 13, "4"},     // 22 U
    {4, 7, 1, 15, "5"},     // 23 I
    {4, 9, 1, 17, "6"},     // 24 O
    {4, 11, 1, 19, "7"},    // 25 P
    {6, 7, 1, 21, "5"},     // 26 [
    {6, 9, 1, 23, "6"},     // 27 ]
    {-1, -1, -1, -1, ""},   // 28 Enter
    {-1, -1, -1, -1, ""},   // 29 Ctrl
    {5, 0, 2, 2, "1"},      // 30 A
    {5, 2, 2, 4, "2"},      // 31 S
    {5, 4, 2, 6, "3"},      // 32 D
    {5, 5, 2, 8, "4"},      // 33 F
    {5, 7, 2, 10, "5"},     // 34 G
    {5, 9, 2, 12, "6"},     // 35 H
    {5, 11, 2, 14, "7"},    // 36 J
    {6, 0, 2, 16, "1"},     // 37 K
    {6, 2, 2, 18, "2"},     // 38 L
    {6, 4, 2, 20, "3"},     // 39 ;
    {6, 5, 2, 22, "4"},     // 40 '
    {-1, -1, -1, -1, ""},   // 41 grave accent
    {-1, -1, -1, -1, ""},   // 42 left Shift
    {-1, -1, -1, -1, ""},   // 43 backslash
    {5, 1, 3, 3, "b2"},     // 44 Z
    {5, 3, 3, 5, "b3"},     // 45 X
    {5, 4, 3, 7, "3"},      // 46 C
    {5, 6, 3, 9, "b5"},     // 47 V
    {5, 8, 3, 11, "b6"},    // 48 B
    {5, 10, 3, 13, "b7"},   // 49 N
    {5, 11, 3, 15, "7"},    // 50 M
    {6, 1, 3, 17, "b2"},    // 51 ,
    {6, 3, 3, 19, "b3"},    // 52 .
    {6, 4, 3, 21, "3"},     // 53 /
};

// The scan code carried in bits 16..23 of a key message's parameter word.
constexpr uint32_t ScanCodeOf(uint32_t keyData) { return (keyData >> 16) & 0xFF; }

// The entry of a scan code that plays a note, or nullptr for any other
// scan code (54 and above, or an entry marked unplayable).
constexpr const KeyMapEntry* PlayableKey(uint32_t scanCode)
{
    return scanCode < (uint32_t)KeyMapSize && KeyMap[scanCode].octave != -1 ? &KeyMap[scanCode] : nullptr;
}

// The musical keys, named by the command identifier of their menu item.
constexpr int32_t FirstKeyId = 1297;
constexpr int32_t LastKeyId = 1332;
constexpr int32_t DefaultKeyId = 1297; // C major
constexpr int KeyCount = 24;

struct KeyInfo {
    int32_t keyId;
    int32_t transposition; // semitones added to the C-major note
};

// The 24 keys in menu order: twelve majors, then twelve minors.
inline constexpr KeyInfo Keys[KeyCount] = {
    {1297, 0},  {1298, 2},  {1299, 4},  {1300, 5},  {1301, 7},  {1302, 9},
    {1303, -1}, {1304, 6},  {1305, 1},  {1312, -2}, {1313, 3},  {1314, -4},
    {1315, 3},  {1316, 5},  {1317, 7},  {1318, -4}, {1319, -2}, {1320, 0},
    {1321, 2},  {1328, 9},  {1329, 4},  {1330, -1}, {1331, 6},  {1332, 1},
};

// Position of a key in Keys, or -1 when keyId names no musical key.
constexpr int KeyIndexOf(int32_t keyId)
{
    for (int i = 0; i < KeyCount; i++)
        if (Keys[i].keyId == keyId) return i;
    return -1;
}

constexpr bool IsKeyId(int32_t keyId) { return KeyIndexOf(keyId) >= 0; }

// The offset of keyId in semitones; false when the identifier is no key.
constexpr bool Transposition(int32_t keyId, int32_t* semitones)
{
    int i = KeyIndexOf(keyId);
    if (i < 0) return false;
    *semitones = Keys[i].transposition;
    return true;
}

// The MIDI note 12 x octave + semitone + the transposition of keyId; false
// (and no note) when keyId is no key or the note falls outside 0..127. The
// octave already holds any octave shift, which a file may make as large as
// 32 bits allow.
constexpr bool NoteNumber(int64_t octave, int32_t semitone, int32_t keyId, int32_t* note)
{
    int32_t t = 0;
    if (!Transposition(keyId, &t)) return false;
    int64_t n = 12 * octave + semitone + t;
    if (n < 0 || n > 127) return false;
    *note = (int32_t)n;
    return true;
}
