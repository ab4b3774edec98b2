// Where the main window's children and the keyboard picture go for a given
// client size and character cell. Integer arithmetic; portable.
#pragma once

struct Place {
    int x, y, width, height;
};

struct ChildPlaces {
    Place velocityBar;
    Place pitchBendBar;
    Place buttons[5];  // 1283..1287, left to right
    int keyboardX;     // top-left corner of the 475 x 156 keyboard picture
    int keyboardY;
};

// Products first, then divisions truncating toward zero.
constexpr ChildPlaces PlaceChildren(int w, int h, int cx, int cy)
{
    ChildPlaces p{};
    p.velocityBar = {17 * w / 20, 3 * h / 10, w / 40, 4 * h / 10};
    p.pitchBendBar = {18 * w / 20, 3 * h / 10, w / 40, 4 * h / 10};
    const int offsets[5] = {-19, -11, -3, 5, 13};
    for (int i = 0; i < 5; i++) p.buttons[i] = {w / 2 + offsets[i] * cx, 8 * h / 10, 6 * cx, 7 * cy / 4};
    p.keyboardX = (w - 475) / 2;
    p.keyboardY = (h - 156) / 2 + cy;
    return p;
}
