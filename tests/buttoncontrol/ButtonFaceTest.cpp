#include <gtest/gtest.h>

#include <set>

#include "buttoncontrol/ButtonFace.h"

namespace {

TEST(ButtonFace, FramePiecesOfACheckTimeButton) {
    // 2175 x 675 twips = 145 x 45 pixels.
    const std::vector<FramePiece> expected = {
        {{0, 0, 4, 4}, {0, 0, 4, 4}},       {{4, 0, 137, 4}, {4, 0, 56, 4}},
        {{141, 0, 4, 4}, {60, 0, 4, 4}},    {{141, 4, 4, 37}, {60, 4, 4, 17}},
        {{141, 41, 4, 4}, {60, 21, 4, 4}},  {{4, 41, 137, 4}, {4, 21, 56, 4}},
        {{0, 41, 4, 4}, {0, 21, 4, 4}},     {{0, 4, 4, 37}, {0, 4, 4, 17}},
    };
    const auto pieces = FramePieces(145, 45);
    ASSERT_EQ(pieces.size(), expected.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].dest, expected[i].dest) << i;
        EXPECT_EQ(pieces[i].source, expected[i].source) << i;
    }
}

TEST(ButtonFace, TinyFacesStayInsideAndTakeOnlyTheOuterPixels) {
    for (int w = 0; w <= 12; ++w) {
        for (int h = 0; h <= 12; ++h) {
            std::set<std::pair<int, int>> covered;
            for (const auto& p : FramePieces(w, h)) {
                EXPECT_GE(p.dest.x, 0);
                EXPECT_GE(p.dest.y, 0);
                EXPECT_LE(p.dest.x + p.dest.width, w) << w << "x" << h;
                EXPECT_LE(p.dest.y + p.dest.height, h) << w << "x" << h;
                EXPECT_GE(p.source.x, 0);
                EXPECT_LE(p.source.x + p.source.width, kPictureWidth);
                EXPECT_LE(p.source.y + p.source.height, kPictureHeight);
                for (int x = p.dest.x; x < p.dest.x + p.dest.width; ++x)
                    for (int y = p.dest.y; y < p.dest.y + p.dest.height; ++y)
                        EXPECT_TRUE(covered.insert({x, y}).second) << "overlap at " << x << "," << y;
            }
            // An even face of up to 8 pixels each way is all band; an odd one
            // keeps a one-pixel middle where the gradient shows, as a large one does.
            if (w % 2 == 0 && h % 2 == 0 && w <= 8 && h <= 8) {
                EXPECT_EQ(covered.size(), size_t(w * h)) << w << "x" << h;
            }
        }
    }
    // An 8 x 8 face is four whole corners and no edges.
    EXPECT_EQ(FramePieces(8, 8).size(), 4u);
    // 5 x 3: corners of 2 x 1 from the picture's own corners, one-pixel edges between.
    const auto odd = FramePieces(5, 3);
    EXPECT_EQ(odd[2].dest, (PixelRect{3, 0, 2, 1}));
    EXPECT_EQ(odd[2].source, (PixelRect{62, 0, 2, 1}));
    EXPECT_EQ(odd[4].source, (PixelRect{62, 24, 2, 1}));
}

TEST(ButtonFace, FocusRectangleIsFourPixelsInAndDottedOnce) {
    const auto dots = FocusDots(145, 45);
    std::set<std::pair<int, int>> unique;
    for (const auto& d : dots) {
        EXPECT_TRUE(unique.insert({d.x, d.y}).second) << d.x << "," << d.y;
        EXPECT_TRUE(d.x == 4 || d.x == 140 || d.y == 4 || d.y == 40) << d.x << "," << d.y;
        EXPECT_TRUE(d.x >= 4 && d.x <= 140 && d.y >= 4 && d.y <= 40);
    }
    // Even columns 4..140 on rows 4 and 40 (69 each), even rows 6..38 on columns 4 and 140 (17 each).
    EXPECT_EQ(dots.size(), 69u + 69u + 17u + 17u);
    for (auto corner : {std::pair{4, 4}, {140, 4}, {4, 40}, {140, 40}}) EXPECT_TRUE(unique.count(corner));

    EXPECT_TRUE(FocusDots(8, 45).empty());
    EXPECT_TRUE(FocusDots(145, 8).empty());
    EXPECT_EQ(FocusDots(9, 9), (std::vector<Point>{{4, 4}}));
}

TEST(ButtonFace, GradientCornersAndColours) {
    const auto normal = GradientVertices(145, 45, false);
    EXPECT_EQ(normal[0].x, 0);
    EXPECT_EQ(normal[0].y, 0);
    EXPECT_EQ(normal[0].red, 0xFF00);
    EXPECT_EQ(normal[1].x, 144);
    EXPECT_EQ(normal[1].y, 44);
    EXPECT_EQ(normal[1].red, 0xC600);
    EXPECT_EQ(normal[1].green, 0xC500);
    EXPECT_EQ(normal[1].blue, 0xD700);
    const auto inverted = GradientVertices(145, 45, true);
    EXPECT_EQ(inverted[0].y, 0);
    EXPECT_EQ(inverted[0].blue, 0xD700);
    EXPECT_EQ(inverted[1].green, 0xFF00);
}

TEST(ButtonFace, CaptionTopRoundsHalvesToEven) {
    struct Case {
        int face, text, top;
    } cases[] = {
        {45, 15, 15}, {45, 16, 14}, {45, 14, 16}, {45, 45, 0}, {10, 15, -2}, {10, 13, -2}, {10, 11, 0}, {29, 0, 14},
    };
    for (const auto& c : cases) EXPECT_EQ(CaptionTop(c.face, c.text), c.top) << c.face << " " << c.text;
}

TEST(ButtonFace, AccessKeyOfACaption) {
    EXPECT_EQ(AccessKeyOf("&Date && Time..."), "D");
    EXPECT_EQ(AccessKeyOf("E&xit"), "x");
    EXPECT_EQ(AccessKeyOf("Trailing&"), "");
    EXPECT_EQ(AccessKeyOf("Only && pairs"), "");
    EXPECT_EQ(AccessKeyOf("Plain"), "");
}

}  // namespace
