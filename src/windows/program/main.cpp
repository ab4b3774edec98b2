// The entry point: the splash picture, the program-wide pictures, the main
// window with its toolbar, and the main message loop.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "windows/program/app.h"
#include "windows/program/devices.h"
#include "windows/program/instruments.h"
#include "windows/program/main_window.h"
#include "windows/platform/system_text.h"

static HBITMAP gSplashPicture;
static BITMAP gSplashSize;

static LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetTimer(window, 1, 5000, nullptr);
        return 0;
    case WM_TIMER:
        KillTimer(window, 1);
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        KillTimer(window, 1);
        PostQuitMessage(0);
        return 0;
    case WM_SETFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, gSplashPicture);
        BitBlt(dc, 0, 0, gSplashSize.bmWidth, gSplashSize.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

static bool RegisterWindowClass(const WCHAR* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background)
{
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = gInstance;
    wc.hIcon = LoadIconW(gInstance, L"QF");
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

// The windows' title, the program's name.
static void ProgramTitleText(WCHAR title[16])
{
    ProgramTextToSystem(ProgramTitle, -1, title, 16);
}

// The splash stage: its own window class and message loop, until the
// window closes after five seconds or at a close request.
static bool ShowSplash(int showCommand)
{
    gSplashPicture = LoadBitmapA(gInstance, "Bitmap");
    GetObjectA(gSplashPicture, sizeof(gSplashSize), &gSplashSize);
    int x = (GetSystemMetrics(SM_CXSCREEN) - gSplashSize.bmWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - gSplashSize.bmHeight) / 2;
    if (!RegisterWindowClass(L"Cover", SplashWindowProc, LoadCursor(nullptr, IDC_WAIT),
                             (HBRUSH)GetStockObject(WHITE_BRUSH))) {
        ProgramMessageBox(nullptr, "This program requires Windows NT!", "Cover", MB_ICONERROR);
        return false;
    }
    WCHAR title[16];
    ProgramTitleText(title);
    HWND splash = CreateWindowExW(0, L"Cover", title, WS_POPUP | WS_BORDER, x, y, gSplashSize.bmWidth,
                                  gSplashSize.bmHeight, nullptr, nullptr, gInstance, nullptr);
    if (splash) {
        ShowWindow(splash, showCommand);
        UpdateWindow(splash);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DeleteObject(gSplashPicture);
    return true;
}

// Reads the window colour from the top-left pixel of the instrument strip.
static void LoadPictures()
{
    gInstrumentStrip = LoadBitmapA(gInstance, MAKEINTRESOURCEA(110));
    HWND desktop = GetDesktopWindow();
    HDC desktopDc = GetDC(desktop);
    HDC memory = CreateCompatibleDC(desktopDc);
    HGDIOBJ old = SelectObject(memory, gInstrumentStrip);
    COLORREF pixel = GetPixel(memory, 0, 0);
    if (pixel != CLR_INVALID) gBackgroundColor = pixel;
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(desktop, desktopDc);
    gKeyCapStrip = LoadBitmapA(gInstance, MAKEINTRESOURCEA(114));
}

static HWND CreateToolbar(HWND window)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    return CreateWindowExW(WS_EX_TOOLWINDOW, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | TBSTYLE_FLAT, 0, 0, 0, 0, window,
                           nullptr, gInstance, nullptr);
}

static void FillToolbar(HWND toolbar, HIMAGELIST* images, HBITMAP* picture)
{
    *images = ImageList_Create(32, 32, ILC_COLOR4, 0, 13);
    *picture = LoadBitmapA(gInstance, MAKEINTRESOURCEA(107));
    ImageList_Add(*images, *picture, nullptr);
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, (LPARAM)*images);
    TBBUTTON buttons[14] = {};
    for (int i = 0; i < 14; i++) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = CmdInstrumentBase + ToolbarInstruments[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = TBSTYLE_BUTTON;
    }
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_ADDBUTTONSW, 14, (LPARAM)buttons);
    ShowWindow(toolbar, SW_SHOWMAXIMIZED);
}

// The text after the program's name on the command line, as UTF-8 (a file
// name in any script, whatever the system's code page).
static const char* CommandLineText()
{
    const WCHAR* arguments = CommandLineArguments(GetCommandLineW());
    size_t size = 4 * wcslen(arguments) + 1;
    char* text = (char*)malloc(size);
    if (!text || !NameFromSystem(arguments, text, size)) return "";
    return text; // kept for the whole run
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    gInstance = instance;
    // Playback keeps its pace while the window is hidden; older systems
    // lack the request and start as before.
    KeepTimerResolution((SetProcessInformationProc)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                                         "SetProcessInformation"));
    if (!ShowSplash(showCommand)) return 0;

    LoadPictures();
    OfferProgramSoundFont();
    gCommandLine = CommandLineText();
    if (!RegisterWindowClass(L"QF", MainWindowProc, LoadCursor(nullptr, IDC_ARROW),
                             CreateSolidBrush(gBackgroundColor & 0xFFFFFF))) {
        ProgramMessageBox(nullptr, "This program requires Windows NT!", "QF", MB_ICONERROR);
        return 0;
    }
    WCHAR title[16];
    ProgramTitleText(title);
    HWND window = CreateWindowExW(0, L"QF", title, WS_OVERLAPPEDWINDOW, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, gInstance, nullptr);
    if (!window) {
        DeleteObject(gInstrumentStrip);
        DeleteObject(gKeyCapStrip);
        return 0;
    }

    HWND toolbar = CreateToolbar(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    HIMAGELIST images = nullptr;
    HBITMAP toolbarPicture = nullptr;
    FillToolbar(toolbar, &images, &toolbarPicture);

    HACCEL accelerators = LoadAcceleratorsW(gInstance, L"QF");
    MSG msg = {};
    int status;
    while ((status = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (status == -1) break;
        if (!TranslateAcceleratorW(window, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    ImageList_Destroy(images);
    DeleteObject(gInstrumentStrip);
    DeleteObject(toolbarPicture);
    DeleteObject(gKeyCapStrip);
    return (int)msg.wParam;
}
