#include "windows/program/track_chooser.h"

#include <cstdio>

#include "windows/program/app.h"
#include "windows/program/instruments.h"
#include "windows/platform/system_text.h"

// The dialog's controls: the prompt, the list, OK and Cancel; places in
// dialog units.
constexpr WORD TrackListId = 1001;
constexpr WORD ButtonAtom = 0x0080, StaticAtom = 0x0082, ListBoxAtom = 0x0083;
constexpr short ChooserWidth = 300, ChooserHeight = 150;
constexpr int ListTabStops[3] = {36, 160, 196};

// What the dialog shows and gives back.
struct ChooserState {
    const SongTrack* tracks;
    uint32_t count;
    uint32_t suggested;
    HFONT font; // where the dialog's font may lack the texts' glyphs
};

// Appends text to out (n units so far, room for size with the terminator).
static void AppendUnits(WCHAR* out, int* n, int size, const WCHAR* text)
{
    for (; *text && *n + 1 < size; text++) out[(*n)++] = *text;
    out[*n] = 0;
}

void TrackLineText(const SongTrack& track, uint32_t number, WCHAR* out, int size)
{
    char numberText[32], notesText[32];
    WCHAR name[SongTrackNameSize];
    if (!NameToSystem(track.name, name, SongTrackNameSize)) name[0] = 0;
    snprintf(numberText, sizeof numberText, TrackNumberFormat, (unsigned)number);
    snprintf(notesText, sizeof notesText, TrackNotesFormat, (unsigned)track.noteCount);
    int n = ProgramTextToSystem(numberText, -1, out, size);
    AppendUnits(out, &n, size, L"\t");
    AppendUnits(out, &n, size, name);
    AppendUnits(out, &n, size, L"\t");
    n += ProgramTextToSystem(notesText, -1, out + n, size - n);
    AppendUnits(out, &n, size, L"\t");
    ProgramTextToSystem(track.program >= 0 ? InstrumentName(track.program) : NoInstrumentText, -1, out + n, size - n);
}

// The template in memory: words, the items on double-word boundaries.
static WORD* PutText(WORD* at, const char* text)
{
    int n = ProgramTextToSystem(text, -1, (WCHAR*)at, 64);
    return at + n + 1;
}

static WORD* PutItem(WORD* at, DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
                     const char* text)
{
    at = (WORD*)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3);
    DLGITEMTEMPLATE* item = (DLGITEMTEMPLATE*)at;
    *item = {style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    at = (WORD*)(item + 1);
    *at++ = 0xFFFF;
    *at++ = atom;
    at = PutText(at, text);
    *at++ = 0; // no creation data
    return at;
}

static void BuildTemplate(DWORD* buffer)
{
    DLGTEMPLATE* dialog = (DLGTEMPLATE*)buffer;
    *dialog = {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER, 0, 4, 0, 0,
               ChooserWidth, ChooserHeight};
    WORD* at = (WORD*)(dialog + 1);
    *at++ = 0; // no menu
    *at++ = 0; // the dialog class
    at = PutText(at, TrackChooserTitle);
    *at++ = 10;
    at = PutText(at, "MS Sans Serif");
    at = PutItem(at, SS_LEFT, 7, 7, ChooserWidth - 14, 10, 0xFFFF, StaticAtom, TrackChooserPrompt);
    at = PutItem(at, LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 7,
                 20, ChooserWidth - 14, ChooserHeight - 46, TrackListId, ListBoxAtom, "");
    at = PutItem(at, BS_DEFPUSHBUTTON | WS_TABSTOP, ChooserWidth - 116, ChooserHeight - 21, 50, 14, IDOK, ButtonAtom,
                 TrackChooserOk);
    PutItem(at, BS_PUSHBUTTON | WS_TABSTOP, ChooserWidth - 57, ChooserHeight - 21, 50, 14, IDCANCEL, ButtonAtom,
            TrackChooserCancel);
}

static void FillTrackList(HWND list, const ChooserState& state)
{
    SendMessageW(list, LB_SETTABSTOPS, 3, (LPARAM)ListTabStops);
    for (uint32_t i = 0; i < state.count; i++) {
        if (state.tracks[i].noteCount == 0) continue;
        WCHAR line[SongTrackNameSize + 96];
        TrackLineText(state.tracks[i], i + 1, line, SongTrackNameSize + 96);
        LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)line);
        if (at < 0) continue;
        SendMessageW(list, LB_SETITEMDATA, (WPARAM)at, (LPARAM)(i + 1));
        if (i + 1 == state.suggested) SendMessageW(list, LB_SETCURSEL, (WPARAM)at, 0);
    }
}

static INT_PTR CALLBACK TrackChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ChooserState* state = (ChooserState*)GetWindowLongPtrW(dialog, DWLP_USER);
    HWND list = GetDlgItem(dialog, TrackListId);
    switch (message) {
    case WM_INITDIALOG:
        state = (ChooserState*)lParam;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        state->font = NewProgramTextFont((HGDIOBJ)SendMessageW(dialog, WM_GETFONT, 0, 0));
        for (HWND c = GetWindow(dialog, GW_CHILD); c && state->font; c = GetWindow(c, GW_HWNDNEXT))
            SendMessageW(c, WM_SETFONT, (WPARAM)state->font, FALSE);
        FillTrackList(list, *state);
        SetFocus(list);
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK || (id == TrackListId && HIWORD(wParam) == LBN_DBLCLK)) {
            LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
            if (at >= 0) EndDialog(dialog, SendMessageW(list, LB_GETITEMDATA, (WPARAM)at, 0));
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DESTROY:
        if (state && state->font) DeleteObject(state->font);
        if (state) state->font = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

uint32_t ChooseTrack(HWND owner, const SongTrack* tracks, uint32_t count, uint32_t suggested)
{
    DWORD buffer[512] = {};
    BuildTemplate(buffer);
    ChooserState state = {tracks, count, suggested, nullptr};
    INT_PTR chosen = DialogBoxIndirectParamW(gInstance, (const DLGTEMPLATE*)buffer, owner, TrackChooserProc,
                                             (LPARAM)&state);
    if (chosen < 0) return suggested;
    return (uint32_t)chosen <= count ? (uint32_t)chosen : 0;
}
