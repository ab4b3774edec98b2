// The main window's paint handler with its texts, point-size fonts, and the
// link and title painters of child controls.
#include <cstring>

#include "windows/program/display.h"
#include "windows/program/keyboard_view.h"
#include "windows/program/status_text.h"
#include "portable/play/performance.h"
#include "windows/program/app.h"
#include "windows/program/practice_window.h"
#include "windows/platform/system_text.h"

constexpr COLORREF StatusColour = RGB(255, 0, 0);
constexpr COLORREF VisitedLinkColour = RGB(150, 0, 150);

enum FontAttribute { FontBold = 1, FontItalic = 2, FontUnderline = 4, FontStrikeOut = 8 };

HFONT MakePointFont(HDC dc, const char* face, int tenths, int attributes, BYTE charset)
{
    SaveDC(dc);
    // Identity transform and origins: the conversion depends on the mapping
    // mode alone.
    SetGraphicsMode(dc, GM_ADVANCED);
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);

    POINT height = {0, PointFontDeviceTenths(tenths, GetDeviceCaps(dc, LOGPIXELSY))};
    DPtoLP(dc, &height, 1);

    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = PointFontLogicalHeight(height.y);
    font.lfWeight = (attributes & FontBold) ? FW_BOLD : 0;
    font.lfItalic = (attributes & FontItalic) ? 1 : 0;
    font.lfUnderline = (attributes & FontUnderline) ? 1 : 0;
    font.lfStrikeOut = (attributes & FontStrikeOut) ? 1 : 0;
    font.lfCharSet = charset;
    if (face) {
        strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
        font.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    HFONT made = CreateFontIndirectA(&font);

    RestoreDC(dc, -1);
    return made;
}

// Clears the control (it repaints itself at once), then draws text (a text
// of the program) over it.
static void PaintControlText(HWND control, const char* text, bool setColour, COLORREF colour, const char* face,
                             int tenths, int attributes, BYTE charset, UINT format)
{
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
    HDC dc = GetDC(control);
    SetBkMode(dc, TRANSPARENT);
    if (setColour) SetTextColor(dc, colour);
    HFONT font = MakePointFont(dc, face, tenths, attributes, charset);
    SelectObject(dc, font);
    RECT client;
    GetClientRect(control, &client);
    WCHAR wide[128];
    ProgramTextToSystem(text, -1, wide, 128);
    DrawTextW(dc, wide, -1, &client, format);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
    ReleaseDC(control, dc);
}

void PaintLinkText(HWND control, const char* text, bool visited)
{
    // The links are ASCII: their font serves on every system.
    PaintControlText(control, text, visited, VisitedLinkColour, "Times New Roman", 0, FontUnderline,
                     DEFAULT_CHARSET, DT_SINGLELINE | DT_VCENTER);
}

void PaintTitleText(HWND control, const char* text, COLORREF colour, int tenths, int attributes)
{
    PaintControlText(control, text, true, colour, "MS Sans Serif", tenths, attributes, ProgramTextCharset(),
                     DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

// A text of the program at (x, y).
static void TextAt(HDC dc, int x, int y, const char* text)
{
    WCHAR wide[StatusTextSize];
    int n = ProgramTextToSystem(text, -1, wide, StatusTextSize);
    TextOutW(dc, x, y, wide, n);
}

void PaintMainWindow(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);

    PaintKeyboard(window, dc);
    // The stock font is selected now; where it may lack the texts' glyphs
    // one like it that has them takes its place.
    HFONT textFont = NewProgramTextFont(GetStockObject(SYSTEM_FONT));
    if (textFont) SelectObject(dc, textFont);

    // Opaque red text on the window's green: each text fills its own cell.
    SetTextColor(dc, StatusColour);
    SetBkColor(dc, gBackgroundColor);

    // The device's name is the system's own, in UTF-8.
    WCHAR device[DeviceNameSize];
    char deviceName[DeviceNameSize];
    if (DeviceNameText(deviceName, sizeof(deviceName), gSettings.device)) {
        if (!NameToSystem(deviceName, device, DeviceNameSize)) device[0] = 0;
    } else {
        ProgramTextToSystem(deviceName, -1, device, DeviceNameSize);
    }

    const Layout& l = gLayout;
    char text[StatusTextSize];
    int statusY = l.clientHeight - 4 * l.charHeight;
    TextAt(dc, l.charWidth, statusY, gSettings.switchOn ? SwitchOnText : SwitchOffText);
    TextOutW(dc, 5 * l.charWidth, statusY, device, (int)wcslen(device));
    ChannelText(text, sizeof(text), gSettings.channel);
    TextAt(dc, 20 * l.charWidth, statusY, text);
    if (PracticeStatus(text, sizeof(text))) TextAt(dc, 30 * l.charWidth, statusY, text);

    TextAt(dc, l.charWidth, l.clientHeight - 3 * l.charHeight, TipText);

    PaintInstrumentPicture(window, dc);
    PaintPracticeStrip(window, dc);

    RECT client;
    GetClientRect(window, &client);
    KeyStatusText(text, sizeof(text), gSettings.keyId, gSettings.instrument);
    TextAt(dc, (client.right - client.left - InstrumentPictureWidth) / 2 + InstrumentPictureWidth, 115, text);

    int captionY = l.clientHeight * 7 / 10;
    TextAt(dc, l.clientWidth * 135 / 160, captionY, VelocityCaption);
    TextAt(dc, l.clientWidth * 143 / 160, captionY, PitchBendCaption);

    if (textFont) {
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(textFont);
    }

    EndPaint(window, &ps);
}
