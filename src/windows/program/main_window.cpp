#include "windows/program/main_window.h"

#include "windows/program/display.h"
#include "portable/keys/keymap.h"
#include "portable/play/midi_output.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "windows/program/document_commands.h"
#include "windows/program/document_state.h"
#include "windows/program/recorder_commands.h"
#include "windows/program/about.h"
#include "windows/program/app.h"
#include "windows/program/devices.h"
#include "windows/program/layout.h"
#include "windows/program/menu.h"
#include "windows/program/practice_window.h"
#include "windows/platform/system_text.h"

static HWND gVelocityBar;
static HWND gPitchBendBar;
static HWND gButtons[5];
static WNDPROC gButtonProcs[5]; // the buttons' own procedures, by id - 1283
static HFONT gButtonFont;        // where the stock font may lack the texts' glyphs

static void KeyboardFocusLeft(HWND window);

static LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND parent = GetParent(button);
    if (message == WM_KILLFOCUS) {
        // A button never keeps the focus: when it loses it to a sibling, or
        // to nobody while the instrument is still the active window (the
        // button was disabled), the instrument takes it back. Focus that
        // moves to another window (a message box, another program) leaves
        // the instrument: the keys held are let go.
        HWND to = (HWND)wParam;
        if (to && (to == parent || IsChild(parent, to))) {
            if (to != parent) SetFocus(parent);
        } else if (!to && GetActiveWindow() == parent && IsWindowEnabled(parent)) {
            SetFocus(parent);
        } else {
            KeyboardFocusLeft(parent);
        }
    } else if (message == WM_KEYDOWN) {
        SetFocus(parent);
        SendMessageW(parent, WM_KEYDOWN, wParam, lParam);
    } else if (message == WM_KEYUP) {
        // A key that went down before the button took the focus.
        SendMessageW(parent, WM_KEYUP, wParam, lParam);
    } else if (message == WM_CHAR && wParam == 27) {
        // The character of the key that moved the focus was made for the
        // button: Esc still reaches the instrument.
        SendMessageW(parent, WM_CHAR, wParam, lParam);
    }
    int index = GetWindowLongW(button, GWL_ID) - PushButtonIds[0];
    WNDPROC previous = index >= 0 && index < 5 ? gButtonProcs[index] : nullptr;
    return previous ? CallWindowProcW(previous, button, message, wParam, lParam)
                    : DefWindowProcW(button, message, wParam, lParam);
}

// text is a text of the program.
static HWND CreateChild(HWND window, const WCHAR* cls, const char* text, DWORD style, int id)
{
    WCHAR wide[32];
    ProgramTextToSystem(text, -1, wide, 32);
    return CreateWindowExW(0, cls, text ? wide : nullptr, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window,
                           (HMENU)(INT_PTR)id, gInstance, nullptr);
}

// What the program does with each key the player plays: records it while
// recording, and counts or judges it while practising.
static void PlayedKey(int32_t message, uint32_t keyData, int32_t octaveShift)
{
    RecordPlayedKey(message, keyData, octaveShift);
    PracticePlayedKey(message, keyData, octaveShift);
}

static LRESULT CreateMainWindow(HWND window)
{
    gMainWindow = window;
    SetPlayedKeyHook(PlayedKey);

    HDC dc = GetDC(window);
    SIZE m = {0, 0};
    GetTextExtentPointA(dc, "M", 1, &m);
    gLayout.charWidth = m.cx;
    gLayout.charHeight = m.cy;
    ReleaseDC(window, dc);

    gVelocityBar = CreateChild(window, L"scrollbar", nullptr, SBS_VERT, VelocityBarId);
    SetScrollRange(gVelocityBar, SB_CTL, 1, 127, FALSE);
    SetScrollPos(gVelocityBar, SB_CTL, 128 - gSettings.velocity, FALSE);
    gPitchBendBar = CreateChild(window, L"scrollbar", nullptr, SBS_VERT, PitchBendBarId);
    SetScrollRange(gPitchBendBar, SB_CTL, 1, 16383, FALSE);
    SetScrollPos(gPitchBendBar, SB_CTL, 16383 - PitchBendRest, TRUE);

    for (int i = 0; i < 5; i++)
        gButtons[i] = CreateChild(window, L"button", PushButtonTexts[i], 0, PushButtonIds[i]);
    gButtonFont = NewProgramTextFont(GetStockObject(SYSTEM_FONT));
    for (int i = 0; i < 5 && gButtonFont; i++) SendMessageW(gButtons[i], WM_SETFONT, (WPARAM)gButtonFont, FALSE);
    for (int i = 0; i < 5; i++) EnableWindow(gButtons[i], i == 0);
    for (int i = 0; i < 5; i++)
        gButtonProcs[i] = (WNDPROC)SetWindowLongPtrW(gButtons[i], GWLP_WNDPROC, (LONG_PTR)ButtonSubclassProc);

    unsigned devices = MidiOutDeviceCount();
    if (devices == 0) {
        MessageBeep(MB_ICONHAND);
        ProgramMessageBox(window, "No MIDI output devices!", "QF", MB_ICONERROR);
        return -1;
    }
    SetMenu(window, BuildMainMenu(devices));
    SelectRememberedDevice();
    ApplyRememberedReverb();

    if (StartupOpenOutput()) {
        CheckCommand(CmdSwitchOn, true);
        CheckCommand(CmdSwitchOff, false);
    } else {
        MessageBeep(MB_ICONEXCLAMATION);
        ProgramMessageBox(window, "Cannot open MIDI device", "QF", MB_ICONEXCLAMATION);
    }

    // Songs dropped on the window open; then the one named on the command
    // line, and the caption.
    DragAcceptFiles(window, TRUE);
    StartupLoad(window, gCommandLine);
    return 0;
}

void LayoutChildren(int width, int height)
{
    gLayout.clientWidth = width;
    gLayout.clientHeight = height;
    ChildPlaces p = PlaceChildren(width, height, gLayout.charWidth, gLayout.charHeight);
    gLayout.keyboardOrigin.x = p.keyboardX;
    gLayout.keyboardOrigin.y = p.keyboardY;
    MoveWindow(gVelocityBar, p.velocityBar.x, p.velocityBar.y, p.velocityBar.width, p.velocityBar.height, TRUE);
    MoveWindow(gPitchBendBar, p.pitchBendBar.x, p.pitchBendBar.y, p.pitchBendBar.width, p.pitchBendBar.height, TRUE);
    for (int i = 0; i < 5; i++)
        MoveWindow(gButtons[i], p.buttons[i].x, p.buttons[i].y, p.buttons[i].width, p.buttons[i].height, TRUE);
}

static void DestroyMainWindow(HWND window)
{
    LeavePractice(window);
    SendMessageW(window, WM_COMMAND, CmdSwitchOff, 0);
    ShutdownPlayback();
    ReleaseRecordingEvents();
    if (gButtonFont) DeleteObject(gButtonFont); // the buttons paint no more
    gButtonFont = nullptr;
    PostQuitMessage(0);
}

static void KeyMessage(HWND window, UINT message, LPARAM lParam)
{
    if (!gSettings.switchOn) return;
    KeySurface surface;
    BeginKeySurface(window, &surface);
    PlayKeyEvent(&surface, message, (uint32_t)lParam);
    EndKeySurface(&surface);
    // The note has gone out: what it changed in practice is drawn now.
    PracticeAfterKey(window);
}

static void ScrollMessage(WPARAM wParam, LPARAM lParam)
{
    HWND bar = (HWND)lParam;
    int code = LOWORD(wParam);
    int thumb = HIWORD(wParam);
    if (bar && bar == gVelocityBar) {
        int32_t velocity;
        if (!VelocityAfterScroll(gSettings.velocity, code, thumb, &velocity)) return;
        gSettings.velocity = velocity;
        SetScrollPos(bar, SB_CTL, 128 - velocity, TRUE);
    } else if (bar && bar == gPitchBendBar) {
        int32_t value;
        if (!PitchBendAfterScroll(code, thumb, &value)) return;
        SetScrollPos(bar, SB_CTL, 16383 - value, TRUE);
        if (gSettings.switchOn) SendPitchBend(gSettings.midiOut, gSettings.channel, value);
    }
}

// Lets go of the key held with the mouse; releaseCapture is false when
// another window has taken the mouse already.
static void MouseUp(HWND window, bool releaseCapture)
{
    if (gSettings.mouseKey >= KeyMapSize) return;
    int index = gSettings.mouseKey;
    gSettings.mouseKey = NoMouseKey;
    SendMessageW(window, WM_KEYUP, 0, (LPARAM)index * 65536);
    if (releaseCapture && GetCapture() == window) ReleaseCapture();
}

// The keyboard focus has gone to a window that is neither the main window
// nor one of its children, or a menu loop has begun: the key-ups of the
// keys held will not come here, so the keys are let go now.
static void KeyboardFocusLeft(HWND window)
{
    if (gSettings.switchOn) {
        KeySurface surface;
        BeginKeySurface(window, &surface);
        LetGoOfHeldKeys(&surface);
        EndKeySurface(&surface);
    }
    gSettings.mouseKey = NoMouseKey;
    if (GetCapture() == window) ReleaseCapture();
}

static void MouseDown(HWND window, LPARAM lParam)
{
    // A key still held with the mouse (its button-up went elsewhere) ends first.
    MouseUp(window, true);
    unsigned x = LOWORD(lParam), y = HIWORD(lParam);
    int index = MouseKeyAt(x, y, gLayout.keyboardOrigin.x, gLayout.keyboardOrigin.y);
    if (index < 0) return;
    SetCapture(window);
    gSettings.mouseKey = index;
    SendMessageW(window, WM_KEYDOWN, 0, (LPARAM)index * 65536);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        return CreateMainWindow(window);
    case WM_SIZE:
        LayoutChildren(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_DESTROY:
        DestroyMainWindow(window);
        return 0;
    case WM_PAINT:
        PaintMainWindow(window);
        return 0;
    case WM_CLOSE:
        if (MayDiscardDocument(window)) DestroyWindow(window);
        return 0;
    case WM_QUERYENDSESSION:
        return MayDiscardDocument(window) ? 1 : 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        KeyMessage(window, message, lParam);
        return 0;
    case WM_SYSKEYUP:
        // A key let go while Alt is down: its key-up comes as a system key.
        // Only a key held counts; Alt+letter presses stay accelerators.
        if (KeyCountedAsHeld((uint32_t)lParam)) KeyMessage(window, WM_KEYUP, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_ENTERMENULOOP:
        // A menu's own loop takes the key-ups of the keys held (the menu
        // bar, the system menu, a context menu): they are let go now.
        KeyboardFocusLeft(window);
        return 0;
    case WM_KILLFOCUS: {
        HWND to = (HWND)wParam;
        if (to != window && !(to && IsChild(window, to))) KeyboardFocusLeft(window);
        return 0;
    }
    case WM_CHAR:
        if (wParam == 27 && gSettings.switchOn) {
            LeavePractice(window);
            EscapeKey();
            RepaintMainWindow();
        }
        return 0;
    case WM_VSCROLL:
        ScrollMessage(wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
        MouseDown(window, lParam);
        return 0;
    case WM_LBUTTONUP:
        MouseUp(window, true);
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a menu opened) while a key was held
        // with it: the key is let go, as its button-up will not come here.
        if ((HWND)lParam != window) MouseUp(window, false);
        return 0;
    case WM_COMMAND:
        return DispatchCommand(window, LOWORD(wParam));
    case WM_DROPFILES:
        DropFilesMessage(window, (HDROP)wParam);
        return 0;
    case WM_TIMER:
        if (wParam == 1) PlaybackStartTimer(window);
        else if (wParam == PracticeTimerId) PracticeTimer(window);
        return 0;
    case WM_PLAYEVENT:
        PlayEventMessage(window, wParam, lParam);
        return 0;
    default:
        if (PlaybackWindowMessage(window, message, wParam, lParam, &result)) return result;
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
