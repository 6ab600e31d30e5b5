#include <gtest/gtest.h>

#include "buttoncontrol/ButtonFace.h"

namespace {

TEST(ButtonFace, FramePiecesFitEvenATinyButton) {
    // 5 x 3: bands of half the size, taken from the picture's outer pixels;
    // the one-pixel middle column and row are left to the gradient.
    const auto tiny = FramePieces(5, 3);
    ASSERT_EQ(tiny.size(), 8u);
    EXPECT_EQ(tiny[3].dest, (PixelRect{3, 1, 2, 1}));
    EXPECT_EQ(tiny[3].source, (PixelRect{62, 4, 2, 17}));
    EXPECT_EQ(FramePieces(8, 8).size(), 4u) << "four whole corners and no edges";
}

TEST(ButtonFace, FocusDotsKeepStepWithTheFace) {
    // 11 x 10: the rectangle runs from (4, 4) to (6, 5).
    EXPECT_EQ(FocusDots(11, 10), (std::vector<Point>{{4, 4}, {6, 4}, {5, 5}}));
}

TEST(ButtonFace, GradientTurnsOverWhenInverted) {
    const auto plain = GradientVertices(5, 3, false), inverted = GradientVertices(5, 3, true);
    EXPECT_TRUE(plain[0].red == 0xFF00 && plain[1].red == 0xC600 && plain[1].x == 4 && plain[1].y == 2);
    EXPECT_TRUE(inverted[0].blue == 0xD700 && inverted[1].blue == 0xFF00 && inverted[1].x == 4);
}

TEST(ButtonFace, CaptionFontFollowsTheDpiToTheNearestPixel) {
    // 9.75 pt is 13 px at 96 dpi, 16.25 at 120, 19.5 at 144; no DPI counts as 96.
    const int cases[][2] = {{96, 13}, {120, 16}, {144, 20}, {192, 26}, {0, 13}};
    for (const auto& [dpi, pixels] : cases) EXPECT_EQ(FontHeightPixels(9.75, dpi), pixels) << dpi;
}

TEST(ButtonFace, CaptionTopRoundsHalvesToEven) {
    const int cases[][3] = {{45, 15, 15}, {45, 14, 16}, {10, 15, -2}, {10, 11, 0}, {0, 2147483647, -1073741824}};
    for (const auto& [face, text, top] : cases) EXPECT_EQ(CaptionTop(face, text), top) << face << " " << text;
}

}  // namespace
