// Practice mode in the window. The practice itself (what to light, when to
// move on, how to judge) is the portable practice; this file forwards the
// keys and the clock to it, sounds the accompaniment, and draws.
#include "windows/program/practice_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "portable/formats/jianpu.h"
#include "portable/keys/keymap.h"
#include "portable/play/midi_output.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "portable/play/system_facts.h"
#include "portable/practice/practice.h"
#include "portable/song/pacing.h"
#include "portable/song/recording.h"
#include "windows/platform/system_text.h"
#include "windows/program/app.h"
#include "windows/program/display.h"
#include "windows/program/practice_text.h"
#include "windows/program/practice_results.h"
#include "windows/program/recorder_commands.h"

namespace {

constexpr COLORREF PastColour = RGB(200, 200, 200);
constexpr COLORREF JudgedColours[] = {RGB(0, 0, 0), RGB(0, 120, 0), RGB(0, 70, 200), RGB(200, 0, 0), RGB(0, 0, 0)};
constexpr UINT TickMs = 10;
constexpr uint32_t Speeds[4] = {50, 75, 100, 125};

// The strip: note caps of this size, chords apart by a gap, a line for the
// latch above and one for the judgement below.
constexpr int StripCapWidth = 34, StripCapHeight = 42, StripCapGap = 3, StripChordGap = 14;
constexpr int StripLatchHeight = 14, StripJudgementHeight = 18;
constexpr int StripHeight = StripLatchHeight + StripCapHeight + StripJudgementHeight;
constexpr int StripAboveKeyboard = 24;
constexpr int StripChordsBefore = 2; // chords already played that stay in view

struct PracticeSession {
    bool active = false;
    PracticeMode mode = PracticeWait;
    uint32_t speed = 100;
    PracticeSong song = {};
    Practice practice = {};
    AccompanimentMessage* accompaniment = nullptr;
    uint32_t accompanimentCount = 0;
    uint32_t nextMessage = 0;           // the first accompaniment message not yet reached
    uint8_t sounding[16][128] = {};     // accompaniment notes on, per channel
    uint64_t clock = 0;                 // the millisecond clock, extended
    uint8_t lit[KeyMapSize] = {};
    bool changed = false;               // a key moved the practice; not drawn yet
    bool finished = false;
};

PracticeSession gSession;

uint64_t Now()
{
    gSession.clock = ExtendClock(gSession.clock, MillisecondClock());
    return gSession.clock;
}

void SendWord(uint32_t word)
{
    SendShortMessage(gSettings.midiOut, word & 0xF0, word & 0x0F, (word >> 8) & 0x7F, (word >> 16) & 0x7F);
}

// Ends every accompaniment note that sounds.
void SilenceAccompaniment()
{
    for (uint32_t c = 0; c < 16; c++)
        for (uint32_t n = 0; n < 128; n++)
            if (gSession.sounding[c][n]) {
                SendWord(0x80 | c | n << 8);
                gSession.sounding[c][n] = 0;
            }
}

// The accompaniment in a stretch of song time: of what was jumped over only
// what is no note-on.
void SoundAccompaniment(const PracticeStretch& stretch, bool restarted)
{
    PracticeSession& s = gSession;
    if (restarted) {
        SilenceAccompaniment();
        s.nextMessage = 0;
        while (s.nextMessage < s.accompanimentCount && (int64_t)s.accompaniment[s.nextMessage].ms <= stretch.from)
            s.nextMessage++;
    }
    for (; s.nextMessage < s.accompanimentCount && (int64_t)s.accompaniment[s.nextMessage].ms <= stretch.to;
         s.nextMessage++) {
        const AccompanimentMessage& m = s.accompaniment[s.nextMessage];
        uint32_t status = m.word & 0xF0, channel = m.word & 0x0F, note = (m.word >> 8) & 0x7F;
        bool on = status == 0x90 && ((m.word >> 16) & 0x7F) != 0;
        bool off = status == 0x80 || (status == 0x90 && !on);
        if (on && (int64_t)m.ms <= stretch.skippedTo) continue;
        if (off && !s.sounding[channel][note]) continue;
        if (on) s.sounding[channel][note] = 1;
        if (off) s.sounding[channel][note] = 0;
        SendWord(m.word);
    }
}

void ComputeLights(uint8_t lit[KeyMapSize])
{
    memset(lit, 0, KeyMapSize);
    const Practice& p = gSession.practice;
    if (!gSession.active || p.finished) return;
    uint32_t chords[2] = {p.chord, NextChord(&p)};
    for (int which = 1; which >= 0; which--) {
        if (chords[which] == UINT32_MAX) continue;
        const PracticeChord& c = gSession.song.chords[chords[which]];
        for (uint32_t n = c.firstNote; n < c.firstNote + c.noteCount; n++) lit[gSession.song.notes[n].scan] = (uint8_t)(which + 1);
    }
}

// The practice's part of the window: the lit caps that changed, the strip
// and the status line.
void DrawPractice(HWND window)
{
    uint8_t lit[KeyMapSize];
    ComputeLights(lit);
    KeySurface surface;
    BeginKeySurface(window, &surface);
    for (int i = 0; i < KeyMapSize; i++) {
        if (lit[i] == gSession.lit[i]) continue;
        gSession.lit[i] = lit[i];
        // A key held sounds in its own colour; its release draws it lit.
        if (gSettings.held.count[i] == 0 && KeyMap[i].column != -1) DrawKeyMarker(&surface, i, 0, 0, 0);
    }
    PaintPracticeStrip(window, surface.dc);
    EndKeySurface(&surface);
    // The status line.
    RECT status = {0, gLayout.clientHeight - 4 * gLayout.charHeight, gLayout.clientWidth,
                   gLayout.clientHeight - 3 * gLayout.charHeight};
    InvalidateRect(window, &status, TRUE);
}

// Every note ends; practice mode is over.
void EndSession(HWND window)
{
    PracticeSession& s = gSession;
    KillTimer(window, PracticeTimerId);
    if (gSettings.switchOn) {
        SilenceAccompaniment();
        ReleaseHeldKeys();
        SilenceAllChannels();
    }
    StopPractice(&s.practice);
    FreePracticeSong(&s.song);
    free(s.accompaniment);
    s.accompaniment = nullptr;
    s.accompanimentCount = 0;
    memset(s.sounding, 0, sizeof s.sounding);
    s.active = false;
    CheckCommand(CmdPractice, false);
    EnableCommand(CmdLoopStart, false);
    EnableCommand(CmdLoopEnd, false);
    memset(s.lit, 0, sizeof s.lit);
    RepaintMainWindow();
}

// The song is over: its result, beside the best kept for the song.
void FinishPractice(HWND window)
{
    PracticeResult result = PracticeResultNow(&gSession.practice);
    PracticeMode mode = gSession.mode;
    uint32_t speed = gSession.speed;
    EndSession(window);
    PracticeResult best;
    bool known = false, hasBest = false;
    char song[PracticeSongNameSize];
    if (PracticeSongName(song, sizeof song, mode, speed)) {
        known = true;
        hasBest = ReadBestResult(song, &best);
    }
    bool newBest = known && (!hasBest || BetterResult(result, best));
    if (newBest) WriteBestResult(song, result);
    char text[512];
    PracticeResultText(text, sizeof text, result, mode, hasBest && !newBest ? &best : nullptr, newBest && hasBest);
    ProgramMessageBox(window, text, PracticeCaption, MB_OK | MB_ICONINFORMATION);
}

void StartSession(HWND window)
{
    PracticeSession& s = gSession;
    if (!gSettings.switchOn) {
        ProgramMessageBox(window, SwitchRequestText, SwitchRequestCaption, MB_OK);
        return;
    }
    if (gRecording.isRecording || PlaybackRunning()) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    if (!BuildPracticeSong(gRecording.events, gRecording.count, gSettings.keyId, &s.song)) {
        ProgramMessageBox(window, MemoryErrorText, MemoryErrorCaption, MB_OK);
        return;
    }
    if (s.song.noteCount == 0) {
        FreePracticeSong(&s.song);
        ProgramMessageBox(window, PracticeEmptyText, PracticeCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    s.clock = MillisecondClock();
    if (!StartPractice(&s.practice, &s.song, s.mode, s.speed, Now())) {
        FreePracticeSong(&s.song);
        ProgramMessageBox(window, MemoryErrorText, MemoryErrorCaption, MB_OK);
        return;
    }
    LoadAccompaniment(gSettings.channel, &s.accompaniment, &s.accompanimentCount);
    s.nextMessage = 0;
    s.active = true;
    s.changed = false;
    ReleaseHeldKeys();
    CheckCommand(CmdPractice, true);
    EnableCommand(CmdLoopStart, true);
    EnableCommand(CmdLoopEnd, true);
    SetTimer(window, PracticeTimerId, TickMs, nullptr);
    DrawPractice(window);
}

void CheckWay()
{
    CheckCommand(CmdPracticeWait, gSession.mode == PracticeWait);
    for (int i = 0; i < 4; i++)
        CheckCommand(CmdPracticeSpeedFirst + i, gSession.mode == PracticeTempo && gSession.speed == Speeds[i]);
}

// A key cap of the strip: the PC key above, the degree with its octave dots below.
void DrawStripCap(HDC dc, int x, int y, const PracticeNote& note, COLORREF fill, Judgement judged, HFONT labelFont,
                  HFONT textFont)
{
    RECT cap = {x, y, x + StripCapWidth, y + StripCapHeight};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &cap, brush);
    DeleteObject(brush);
    FrameRect(dc, &cap, (HBRUSH)GetStockObject(BLACK_BRUSH));
    SelectObject(dc, labelFont);
    SetTextColor(dc, RGB(0, 0, 0));
    WCHAR text[8];
    RECT top = {x, y + 1, x + StripCapWidth, y + StripCapHeight / 2};
    ProgramTextToSystem(KeyCapName(note.scan), -1, text, 8);
    DrawTextW(dc, text, -1, &top, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    RECT bottom = {x, y + StripCapHeight / 2, x + StripCapWidth, y + StripCapHeight - 6};
    ProgramTextToSystem(KeyMap[note.scan].label, -1, text, 8);
    DrawTextW(dc, text, -1, &bottom, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    int octave = KeyMap[note.scan].octave + note.shift;
    int dots = octave > 5 ? octave - 5 : 5 - octave;
    for (int d = 0; d < dots; d++) {
        int cx = x + StripCapWidth / 2 + (2 * d - (dots - 1)) * 3;
        int cy = octave > 5 ? y + StripCapHeight / 2 + 1 : y + StripCapHeight - 5;
        Ellipse(dc, cx - 2, cy, cx + 2, cy + 4);
    }
    const char* mark = JudgementText(judged);
    if (*mark) {
        SelectObject(dc, textFont);
        SetTextColor(dc, JudgedColours[judged]);
        RECT below = {x, y + StripCapHeight, x + StripCapWidth, y + StripCapHeight + StripJudgementHeight};
        ProgramTextToSystem(mark, -1, text, 8);
        DrawTextW(dc, text, -1, &below, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
}

} // namespace

void AppendPracticeItems(HMENU functionMenu)
{
    auto append = [](HMENU menu, UINT flags, UINT_PTR id, const char* text) {
        WCHAR wide[64];
        ProgramTextToSystem(text, -1, wide, 64);
        AppendMenuW(menu, flags, id, wide);
    };
    HMENU way = CreatePopupMenu();
    append(way, MF_STRING | MF_CHECKED, CmdPracticeWait, "等待弹奏(&W)");
    append(way, MF_SEPARATOR, 0, nullptr);
    append(way, MF_STRING, CmdPracticeSpeedFirst, "按速度 50%");
    append(way, MF_STRING, CmdPracticeSpeedFirst + 1, "按速度 75%");
    append(way, MF_STRING, CmdPracticeSpeedFirst + 2, "按速度 100%");
    append(way, MF_STRING, CmdPracticeSpeedFirst + 3, "按速度 125%");
    append(functionMenu, MF_SEPARATOR, 0, nullptr);
    append(functionMenu, MF_STRING, CmdPractice, "跟弹练习(&P)\tF5");
    append(functionMenu, MF_POPUP, (UINT_PTR)way, "练习方式(&M)");
    append(functionMenu, MF_STRING | MF_GRAYED, CmdLoopStart, "段落从当前音开始(&B)");
    append(functionMenu, MF_STRING | MF_GRAYED, CmdLoopEnd, "段落到当前音结束(&E)");
}

void PracticeCommand(HWND window, int id)
{
    PracticeSession& s = gSession;
    if (id == CmdPractice) {
        if (s.active) EndSession(window);
        else StartSession(window);
    } else if (id == CmdPracticeWait || (id >= CmdPracticeSpeedFirst && id <= CmdPracticeSpeedLast)) {
        s.mode = id == CmdPracticeWait ? PracticeWait : PracticeTempo;
        if (s.mode == PracticeTempo) s.speed = Speeds[id - CmdPracticeSpeedFirst];
        CheckWay();
        // Practice going on starts again in the new way.
        if (s.active) {
            EndSession(window);
            StartSession(window);
        }
    } else if (id == CmdLoopStart && s.active) {
        SetLoopStart(&s.practice);
        DrawPractice(window);
    } else if (id == CmdLoopEnd && s.active) {
        SetLoopEnd(&s.practice);
        DrawPractice(window);
    }
}

bool PracticeActive() { return gSession.active; }

void LeavePractice(HWND window)
{
    if (gSession.active) EndSession(window);
}

void PracticePlayedKey(int32_t message, uint32_t keyData, int32_t octaveShift)
{
    PracticeSession& s = gSession;
    if (!s.active) return;
    PracticeChange change = PracticeKey(&s.practice, ScanCodeOf(keyData), octaveShift, message == KeyPressMessage, Now());
    if (change.moved || change.judgedNote != UINT32_MAX || change.wrapped) s.changed = true;
    if (change.wrapped) {
        PracticeStretch restart = {s.practice.reportedMs, s.practice.reportedMs, s.practice.reportedMs};
        SoundAccompaniment(restart, true);
    }
    if (change.finished) s.finished = true;
}

void PracticeAfterKey(HWND window)
{
    PracticeSession& s = gSession;
    if (!s.active) return;
    if (s.finished) {
        s.finished = false;
        FinishPractice(window);
        return;
    }
    if (s.changed) {
        s.changed = false;
        DrawPractice(window);
    }
}

void PracticeTimer(HWND window)
{
    PracticeSession& s = gSession;
    if (!s.active) {
        KillTimer(window, PracticeTimerId);
        return;
    }
    // The output switched off: nothing can sound or be played any more.
    if (!gSettings.switchOn) {
        EndSession(window);
        return;
    }
    PracticeStretch stretch;
    PracticeChange change = PracticeTick(&s.practice, Now(), &stretch);
    SoundAccompaniment(stretch, change.wrapped);
    if (change.finished) {
        FinishPractice(window);
        return;
    }
    if (change.moved || change.judgedNote != UINT32_MAX || change.wrapped) DrawPractice(window);
}

int PracticeLight(int index)
{
    return index >= 0 && index < KeyMapSize ? gSession.lit[index] : 0;
}

void PaintPracticeStrip(HWND window, HDC dc)
{
    PracticeSession& s = gSession;
    if (!s.active) return;
    int width = 475 + 2 * 40;
    int left = gLayout.keyboardOrigin.x - 40;
    int top = gLayout.keyboardOrigin.y - StripAboveKeyboard - StripHeight;
    // Drawn aside first, then copied in one piece: no flicker.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, StripHeight);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    RECT all = {0, 0, width, StripHeight};
    HBRUSH background = CreateSolidBrush(gBackgroundColor);
    FillRect(memory, &all, background);
    DeleteObject(background);
    HFONT labelFont = MakePointFont(memory, "Times New Roman", 0, 0);
    HFONT textFont = NewProgramTextFont(GetStockObject(SYSTEM_FONT));
    if (!textFont) textFont = (HFONT)GetStockObject(SYSTEM_FONT);
    HGDIOBJ oldFont = SelectObject(memory, labelFont);
    SelectObject(memory, GetStockObject(BLACK_BRUSH));
    SetBkMode(memory, TRANSPARENT);

    const Practice& p = s.practice;
    uint32_t next = NextChord(&p);
    uint32_t first = p.chord > StripChordsBefore ? p.chord - StripChordsBefore : 0;
    int x = 4;
    for (uint32_t c = first; c < s.song.chordCount; c++) {
        const PracticeChord& chord = s.song.chords[c];
        int chordWidth = (int)chord.noteCount * (StripCapWidth + StripCapGap) - StripCapGap;
        if (x + chordWidth > width - 4) break;
        COLORREF fill = c < p.chord      ? PastColour
                        : c == p.chord   ? PracticeNowColour
                        : c == next      ? PracticeNextColour
                                         : RGB(255, 255, 255);
        if (chord.shift) {
            SelectObject(memory, labelFont);
            SetTextColor(memory, RGB(255, 255, 255));
            RECT latch = {x, 0, x + chordWidth, StripLatchHeight};
            DrawTextW(memory, chord.shift > 0 ? L"Shift" : L"Ctrl", -1, &latch,
                      DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOCLIP);
        }
        for (uint32_t n = 0; n < chord.noteCount; n++)
            DrawStripCap(memory, x + (int)n * (StripCapWidth + StripCapGap), StripLatchHeight,
                         s.song.notes[chord.firstNote + n], fill, p.judged[chord.firstNote + n], labelFont, textFont);
        if (c == p.chord) {
            // The current chord is framed twice.
            RECT frame = {x - 3, StripLatchHeight - 3, x + chordWidth + 3, StripLatchHeight + StripCapHeight + 3};
            FrameRect(memory, &frame, (HBRUSH)GetStockObject(WHITE_BRUSH));
        }
        x += chordWidth + StripChordGap;
    }
    BitBlt(dc, left, top, width, StripHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldFont);
    DeleteObject(labelFont);
    if (textFont != GetStockObject(SYSTEM_FONT)) DeleteObject(textFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    (void)window;
}

bool PracticeStatus(char* text, size_t size)
{
    const PracticeSession& s = gSession;
    if (!s.active) return false;
    uint32_t note = s.practice.chord < s.song.chordCount ? s.song.chords[s.practice.chord].firstNote + 1 : s.song.noteCount;
    PracticeStatusText(text, size, note, s.song.noteCount, s.mode, s.speed);
    return true;
}
