#include <gtest/gtest.h>

#include <tuple>

#include "buttoncontrol/ButtonFace.h"

namespace {

TEST(ButtonFace, FramePiecesOfACheckTimeAndOfATinyButton) {
    // 2175 x 675 twips = 145 x 45 pixels.
    const std::vector<FramePiece> large = {
        {{0, 0, 4, 4}, {0, 0, 4, 4}},     {{4, 0, 137, 4}, {4, 0, 56, 4}},   {{141, 0, 4, 4}, {60, 0, 4, 4}},
        {{141, 4, 4, 37}, {60, 4, 4, 17}}, {{141, 41, 4, 4}, {60, 21, 4, 4}}, {{4, 41, 137, 4}, {4, 21, 56, 4}},
        {{0, 41, 4, 4}, {0, 21, 4, 4}},   {{0, 4, 4, 37}, {0, 4, 4, 17}}};
    // 5 x 3: bands of half the size, taken from the picture's outer pixels;
    // the one-pixel middle column and row are left to the gradient.
    const std::vector<FramePiece> tiny = {
        {{0, 0, 2, 1}, {0, 0, 2, 1}},  {{2, 0, 1, 1}, {4, 0, 56, 1}},  {{3, 0, 2, 1}, {62, 0, 2, 1}},
        {{3, 1, 2, 1}, {62, 4, 2, 17}}, {{3, 2, 2, 1}, {62, 24, 2, 1}}, {{2, 2, 1, 1}, {4, 24, 56, 1}},
        {{0, 2, 2, 1}, {0, 24, 2, 1}}, {{0, 1, 2, 1}, {0, 4, 2, 17}}};
    for (const auto& [w, h, expected] : {std::tuple{145, 45, large}, {5, 3, tiny}}) {
        const auto pieces = FramePieces(w, h);
        ASSERT_EQ(pieces.size(), expected.size());
        for (size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].dest, expected[i].dest) << w << "x" << h << " " << i;
            EXPECT_EQ(pieces[i].source, expected[i].source) << w << "x" << h << " " << i;
        }
    }
    EXPECT_TRUE(FramePieces(0, 9).empty());
    EXPECT_EQ(FramePieces(8, 8).size(), 4u) << "four whole corners and no edges";
}

TEST(ButtonFace, CaptionTopRoundsHalvesToEven) {
    const int cases[][3] = {{45, 15, 15}, {45, 16, 14}, {45, 14, 16}, {10, 15, -2}, {10, 13, -2}, {10, 11, 0},
                            {0, 2147483647, -1073741824}};
    for (const auto& [face, text, top] : cases) EXPECT_EQ(CaptionTop(face, text), top) << face << " " << text;
}

}  // namespace
