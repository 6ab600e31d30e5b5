#include <gtest/gtest.h>

#include "buttoncontrol/ButtonFace.h"

namespace {

TEST(ButtonFace, FramePiecesOfATinyButton) {
    // 5 x 3: bands of half the size, taken from the picture's outer pixels;
    // the one-pixel middle column and row are left to the gradient.
    const std::vector<FramePiece> tiny = {
        {{0, 0, 2, 1}, {0, 0, 2, 1}},  {{2, 0, 1, 1}, {4, 0, 56, 1}},  {{3, 0, 2, 1}, {62, 0, 2, 1}},
        {{3, 1, 2, 1}, {62, 4, 2, 17}}, {{3, 2, 2, 1}, {62, 24, 2, 1}}, {{2, 2, 1, 1}, {4, 24, 56, 1}},
        {{0, 2, 2, 1}, {0, 24, 2, 1}}, {{0, 1, 2, 1}, {0, 4, 2, 17}}};
    const auto pieces = FramePieces(5, 3);
    ASSERT_EQ(pieces.size(), tiny.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].dest, tiny[i].dest) << i;
        EXPECT_EQ(pieces[i].source, tiny[i].source) << i;
    }
    EXPECT_TRUE(FramePieces(0, 9).empty());
    EXPECT_EQ(FramePieces(8, 8).size(), 4u) << "four whole corners and no edges";
}

TEST(ButtonFace, FocusDotsKeepStepWithTheFaceAndTheGradientTurnsOverWhenInverted) {
    // 11 x 10: the rectangle runs from (4, 4) to (6, 5).
    EXPECT_EQ(FocusDots(11, 10), (std::vector<Point>{{4, 4}, {6, 4}, {5, 5}}));
    EXPECT_TRUE(FocusDots(8, 20).empty());
    const auto plain = GradientVertices(5, 3, false), inverted = GradientVertices(5, 3, true);
    EXPECT_TRUE(plain[0].red == 0xFF00 && plain[1].red == 0xC600 && plain[1].x == 4 && plain[1].y == 2);
    EXPECT_TRUE(inverted[0].blue == 0xD700 && inverted[1].blue == 0xFF00 && inverted[1].x == 4);
}

TEST(ButtonFace, CaptionTopRoundsHalvesToEven) {
    const int cases[][3] = {{45, 15, 15}, {45, 16, 14}, {45, 14, 16}, {10, 15, -2}, {10, 13, -2}, {10, 11, 0},
                            {0, 2147483647, -1073741824}};
    for (const auto& [face, text, top] : cases) EXPECT_EQ(CaptionTop(face, text), top) << face << " " << text;
}

}  // namespace
