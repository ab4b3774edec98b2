// The display on the platform: point-size fonts, one key cap drawn into a
// bitmap (cap colour, label, octave dots), and the main window's paint
// handler with its instrument picture and red status texts.
#include <gtest/gtest.h>

#include <windows.h>

#include "windows/program/display.h"
#include "windows/program/status_text.h"
#include "portable/keys/keymap.h"
#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "windows/program/app.h"

static const COLORREF CapColours[4] = {RGB(239, 239, 240), RGB(208, 239, 255), RGB(244, 218, 231),
                                       RGB(216, 243, 228)};
static const COLORREF Ground = RGB(20, 100, 20);

static LOGFONTA FontOf(HFONT font)
{
    LOGFONTA lf = {};
    GetObjectA(font, sizeof(lf), &lf);
    return lf;
}

static HBITMAP SolidBitmap(HDC like, int width, int height, const COLORREF* colours, int count, int step)
{
    HBITMAP bitmap = CreateCompatibleBitmap(like, width, height);
    HDC dc = CreateCompatibleDC(like);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int i = 0; i < count; i++) {
        RECT r = {i * step, 0, i * step + step, height};
        HBRUSH brush = CreateSolidBrush(colours[i]);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

static bool IsDark(COLORREF c) { return GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80; }

TEST(PointFontWin, HeightsAndAttributesOnTheScreen)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    HFONT font = MakePointFont(screen, "MS Sans Serif", 240, 1);
    LOGFONTA lf = FontOf(font);
    // A 24-point font is a third of an inch high: 32 pixels at 96 dots per
    // inch, 40 at 120, 48 at 144.
    ASSERT_TRUE(dpi == 96 || dpi == 120 || dpi == 144) << dpi;
    EXPECT_EQ(lf.lfHeight, -dpi / 3);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 0);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
    DeleteObject(font);

    font = MakePointFont(screen, "Times New Roman", 0, 2 | 4 | 8);
    lf = FontOf(font);
    EXPECT_EQ(lf.lfHeight, 0);
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 1);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
}

TEST(PointFontWin, ConvertsThroughTheMappingModeAndRestoresTheDc)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    // In twips a 24-point font is 480 units high, whatever the resolution.
    SetMapMode(dc, MM_TWIPS);
    SetWindowOrgEx(dc, 7, 9, nullptr);
    HFONT font = MakePointFont(dc, "Times New Roman", 240, 0);
    if (dpi == 96) {
        EXPECT_EQ(FontOf(font).lfHeight, -480);
    }
    EXPECT_NEAR(FontOf(font).lfHeight, -480, 2);
    DeleteObject(font);

    EXPECT_EQ(GetGraphicsMode(dc), GM_COMPATIBLE);
    EXPECT_EQ(GetMapMode(dc), MM_TWIPS);
    POINT origin;
    GetWindowOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 7);
    EXPECT_EQ(origin.y, 9);
    DeleteDC(dc);
}

// A 24-bit drawing target with the test's key caps beside it, prepared as
// the window prepares its DC for a key event.
class KeyMarkerWin : public ::testing::Test {
protected:
    static constexpr int Width = 600, Height = 300;
    HDC target = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    HBITMAP caps = nullptr;
    KeySurface surface = {};

    void SetUp() override
    {
        ResetPerformanceSettings();
        gLayout.keyboardOrigin = {10, 20};
        HDC screen = GetDC(nullptr);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = Width;
        info.bmiHeader.biHeight = -Height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        target = CreateCompatibleDC(screen);
        oldBitmap = SelectObject(target, bitmap);
        caps = SolidBitmap(target, 152, 39, CapColours, 4, 38);
        ReleaseDC(nullptr, screen);
        RECT all = {0, 0, Width, Height};
        HBRUSH ground = CreateSolidBrush(Ground);
        FillRect(target, &all, ground);
        DeleteObject(ground);

        surface.dc = target;
        surface.labelFont = MakePointFont(target, "Times New Roman", 0, 0);
        SelectObject(target, surface.labelFont);
        SelectObject(target, GetStockObject(BLACK_BRUSH));
        surface.keyCapDc = CreateCompatibleDC(target);
        surface.oldCapBitmap = SelectObject(surface.keyCapDc, caps);
    }

    void TearDown() override
    {
        SelectObject(surface.keyCapDc, surface.oldCapBitmap);
        DeleteDC(surface.keyCapDc);
        SelectObject(target, GetStockObject(SYSTEM_FONT));
        DeleteObject(surface.labelFont);
        SelectObject(target, oldBitmap);
        DeleteDC(target);
        DeleteObject(bitmap);
        DeleteObject(caps);
        gLayout = Layout();
        ResetPerformanceSettings();
    }

    static POINT Cell(int scan)
    {
        return {10 + 19 * KeyMap[scan].column, 20 + 39 * KeyMap[scan].row};
    }
    // A point of the cap away from its label and dots.
    COLORREF Face(int scan) { return GetPixel(target, Cell(scan).x + 4, Cell(scan).y + 36); }
    bool Dot(int scan, int top) { return IsDark(GetPixel(target, Cell(scan).x + 18, Cell(scan).y + top + 2)); }
    int DarkPixels(int scan)
    {
        POINT c = Cell(scan);
        int n = 0;
        for (int y = c.y + 8; y < c.y + 24; y++)
            for (int x = c.x + 8; x < c.x + 30; x++) n += IsDark(GetPixel(target, x, y));
        return n;
    }
};

TEST_F(KeyMarkerWin, CapColourFollowsTheShift)
{
    const int S = 31; // row 2, column 4: "2", no dot
    const POINT c = {86, 98}; // 10 + 19 x 4, 20 + 39 x 2 on the target
    DrawKeyMarker(&surface, S, 1, 0, 0);
    EXPECT_EQ(Face(S), CapColours[1]);
    EXPECT_GT(DarkPixels(S), 5); // the label
    EXPECT_EQ(GetBkMode(target), OPAQUE);
    // Exactly the 38 x 39 cell is covered.
    EXPECT_EQ(GetPixel(target, c.x, c.y), CapColours[1]);
    EXPECT_EQ(GetPixel(target, c.x + 37, c.y + 38), CapColours[1]);
    EXPECT_EQ(GetPixel(target, c.x + 38, c.y + 19), Ground);
    EXPECT_EQ(GetPixel(target, c.x + 4, c.y + 39), Ground);
    EXPECT_EQ(GetPixel(target, c.x - 1, c.y + 19), Ground);

    gSettings.octaveState = 1;
    DrawKeyMarker(&surface, S, 1, 0, 0);
    EXPECT_EQ(Face(S), CapColours[2]);
    gSettings.octaveState = -1;
    DrawKeyMarker(&surface, S, 1, 0, 0);
    EXPECT_EQ(Face(S), CapColours[3]);
    DrawKeyMarker(&surface, S, 0, 0, 0);
    EXPECT_EQ(Face(S), CapColours[0]);

    // Playback shows the recorded shift, not the latch.
    gSettings.octaveState = 0;
    DrawKeyMarker(&surface, S, 1, 1, 1);
    EXPECT_EQ(Face(S), CapColours[2]);
    DrawKeyMarker(&surface, S, 1, 1, -1);
    EXPECT_EQ(Face(S), CapColours[3]);
    // A recorded shift of several octaves shows as raised.
    DrawKeyMarker(&surface, S, 1, 1, 5);
    EXPECT_EQ(Face(S), CapColours[2]);
    DrawKeyMarker(&surface, S, 0, 1, 5);
    EXPECT_EQ(Face(S), CapColours[0]);

    // Draws nothing for a scan code without a key, or out of the table.
    HBRUSH ground = CreateSolidBrush(Ground);
    RECT all = {0, 0, Width, Height};
    FillRect(target, &all, ground);
    DeleteObject(ground);
    for (int bad : {0, 1, 14, 42, 54, 255, -1}) DrawKeyMarker(&surface, bad, 1, 0, 0);
    for (int y = 0; y < Height; y += 7)
        for (int x = 0; x < Width; x += 7) ASSERT_EQ(GetPixel(target, x, y), Ground) << x << "," << y;
}

TEST_F(KeyMarkerWin, OctaveDots)
{
    const int K = 37, S = 31, R = 19, Q = 16, One = 2; // octaves 6, 5, 4, 3, 3
    for (int scan : {K, S, R, Q, One}) DrawKeyMarker(&surface, scan, 0, 0, 0);

    EXPECT_TRUE(Dot(K, 3));
    EXPECT_FALSE(Dot(K, 24));
    EXPECT_FALSE(Dot(S, 3));
    EXPECT_FALSE(Dot(S, 24));
    EXPECT_FALSE(Dot(S, 30));
    EXPECT_TRUE(Dot(R, 24));
    EXPECT_FALSE(Dot(R, 30));
    EXPECT_FALSE(Dot(R, 3));
    for (int scan : {Q, One}) {
        EXPECT_TRUE(Dot(scan, 24)) << scan;
        EXPECT_TRUE(Dot(scan, 30)) << scan;
        EXPECT_FALSE(Dot(scan, 3)) << scan;
    }
    // Each dot lies in its 4 x 4 box (cx - 2, top) to (cx + 2, top + 4),
    // cx = x + 19, and touches its middle rows and columns.
    POINT k = Cell(K);
    const int cx = k.x + 19, top = k.y + 3;
    int inside = 0;
    for (int y = top - 2; y < top + 6; y++)
        for (int x = cx - 4; x < cx + 4; x++) {
            bool box = x >= cx - 2 && x < cx + 2 && y >= top && y < top + 4;
            bool dark = IsDark(GetPixel(target, x, y));
            if (!box) {
                EXPECT_FALSE(dark) << x - cx << "," << y - top;
            }
            inside += dark;
        }
    EXPECT_GE(inside, 8);
    EXPECT_TRUE(IsDark(GetPixel(target, cx - 1, top + 1)));
    EXPECT_TRUE(IsDark(GetPixel(target, cx, top + 2)));
}

// A plain top-level window painted by the main window's paint handler.
static LRESULT CALLBACK PaintOnlyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PaintMainWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(PaintMainWindowWin, PictureKeysAndTexts)
{
    const int W = 800, H = 600;
    HDC screen = GetDC(nullptr);
    COLORREF pictures[15];
    for (int i = 0; i < 15; i++) pictures[i] = RGB(10 * i, 40, 200);
    HBITMAP strip = SolidBitmap(screen, 2565, 141, pictures, 15, 171);
    HBITMAP caps = SolidBitmap(screen, 152, 39, CapColours, 4, 38);
    ReleaseDC(nullptr, screen);
    HBITMAP oldStrip = gInstrumentStrip, oldCaps = gKeyCapStrip;
    COLORREF oldGround = gBackgroundColor;
    gInstrumentStrip = strip;
    gKeyCapStrip = caps;
    gBackgroundColor = Ground;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = PaintOnlyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = CreateSolidBrush(Ground);
    wc.lpszClassName = "QfDisplayTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "QfDisplayTest", "", WS_POPUP | WS_VISIBLE, 0, 0, W, H, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.right, W);
    ASSERT_EQ(client.bottom, H);

    ResetPerformanceSettings();
    gLayout.charWidth = 8;
    gLayout.charHeight = 16;
    gLayout.clientWidth = W;
    gLayout.clientHeight = H;
    gLayout.keyboardOrigin = {(W - 475) / 2, (H - 156) / 2 + 16};
    gSettings.instrument = 40; // violin: picture 5
    gSettings.octaveState = 1;

    auto repaint = [&]() {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    };
    repaint();
    HDC dc = GetDC(window);
    const int pictureX = (W - 171) / 2;
    EXPECT_EQ(GetPixel(dc, pictureX + 85, 120), pictures[5]);
    EXPECT_EQ(GetPixel(dc, pictureX, 50), pictures[5]);
    EXPECT_EQ(GetPixel(dc, pictureX + 170, 190), pictures[5]);
    EXPECT_EQ(GetPixel(dc, pictureX - 1, 120), Ground);
    EXPECT_EQ(GetPixel(dc, pictureX + 171, 60), Ground);
    EXPECT_EQ(GetPixel(dc, pictureX + 85, 191), Ground);

    // Every key idle, whatever the latch says; the empty places stay green.
    for (int scan = 0; scan < KeyMapSize; scan++) {
        if (KeyMap[scan].column < 0) continue;
        int x = gLayout.keyboardOrigin.x + 19 * KeyMap[scan].column + 4;
        int y = gLayout.keyboardOrigin.y + 39 * KeyMap[scan].row + 36;
        EXPECT_EQ(GetPixel(dc, x, y), CapColours[0]) << scan;
    }
    EXPECT_EQ(GetPixel(dc, gLayout.keyboardOrigin.x + 10, gLayout.keyboardOrigin.y + 2 * 39 + 36), Ground);

    // Red text on the status line, the tip line, beside the picture and under the bars.
    auto redIn = [&](int left, int top, int width, int height) {
        int n = 0;
        for (int y = top; y < top + height; y++)
            for (int x = left; x < left + width; x++) n += GetPixel(dc, x, y) == RGB(255, 0, 0);
        return n;
    };
    EXPECT_GT(redIn(8, H - 64, 32, 16), 5);        // 关闭
    EXPECT_GT(redIn(160, H - 64, 40, 16), 5);      // 声道 1
    EXPECT_GT(redIn(8, H - 48, 200, 16), 20);      // the tips
    EXPECT_GT(redIn(pictureX + 171, 115, 60, 16), 5); // 小提琴    1=C
    EXPECT_GT(redIn(W * 135 / 160, H * 7 / 10, 30, 16), 5);
    EXPECT_GT(redIn(W * 143 / 160, H * 7 / 10, 30, 16), 5);
    EXPECT_EQ(redIn(8, H - 96, 200, 30), 0);        // nothing above the status line
    // Opaque text on the window colour: the cells hold red, green and
    // (smoothed glyph edges) blends of the two, nothing lighter.
    int other = 0;
    for (int y = H - 64; y < H - 32; y++)
        for (int x = 8; x < 200; x++) {
            COLORREF c = GetPixel(dc, x, y);
            other += GetGValue(c) > 100 || GetBValue(c) > 20;
        }
    EXPECT_EQ(other, 0);

    // The percussion channel shows picture 14.
    gSettings.channel = 9;
    repaint();
    EXPECT_EQ(GetPixel(dc, pictureX + 85, 120), pictures[14]);
    ReleaseDC(window, dc);

    DestroyWindow(window);
    UnregisterClassA("QfDisplayTest", wc.hInstance);
    DeleteObject(wc.hbrBackground);
    gInstrumentStrip = oldStrip;
    gKeyCapStrip = oldCaps;
    gBackgroundColor = oldGround;
    DeleteObject(strip);
    DeleteObject(caps);
    gLayout = Layout();
    ResetPerformanceSettings();
}
