// Where the main window's children go, for the sizes a window really takes.
#include <gtest/gtest.h>

#include "windows/program/layout.h"

static void ExpectPlace(const Place& p, int x, int y, int w, int h)
{
    EXPECT_EQ(x, p.x);
    EXPECT_EQ(y, p.y);
    EXPECT_EQ(w, p.width);
    EXPECT_EQ(h, p.height);
}

TEST(Layout, EightHundredBySixHundred)
{
    ChildPlaces p = PlaceChildren(800, 600, 8, 16);
    ExpectPlace(p.velocityBar, 680, 180, 20, 240);
    ExpectPlace(p.pitchBendBar, 720, 180, 20, 240);
    const int xs[5] = {248, 312, 376, 440, 504};
    for (int i = 0; i < 5; i++) ExpectPlace(p.buttons[i], xs[i], 480, 48, 28);
    EXPECT_EQ(162, p.keyboardX);
    EXPECT_EQ(238, p.keyboardY);
}

TEST(Layout, MinimisedAndOddSizes)
{
    ChildPlaces p = PlaceChildren(0, 0, 8, 16);
    ExpectPlace(p.velocityBar, 0, 0, 0, 0);
    ExpectPlace(p.pitchBendBar, 0, 0, 0, 0);
    const int xs[5] = {-152, -88, -24, 40, 104};
    for (int i = 0; i < 5; i++) ExpectPlace(p.buttons[i], xs[i], 0, 48, 28);
    EXPECT_EQ(-237, p.keyboardX); // truncation toward zero, not floor
    EXPECT_EQ(-62, p.keyboardY);

    p = PlaceChildren(801, 601, 7, 15);
    EXPECT_EQ(267, p.buttons[0].x);            // 400 - 133: W / 2 truncates
    EXPECT_EQ(680, p.velocityBar.x);           // 13617 / 20: the product before the division
    EXPECT_EQ(26, p.buttons[0].height);        // 7 x 15 / 4
    EXPECT_EQ(163, p.keyboardX);
}
