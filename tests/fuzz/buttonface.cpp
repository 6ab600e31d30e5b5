// A control of any size (four bytes each for width and height) and a caption
// block of any height.
#include <algorithm>
#include <limits>

#include "buttoncontrol/ButtonFace.h"
#include "fuzz/Property.h"

namespace {

bool Inside(const PixelRect& r, int64_t w, int64_t h) {
    return r.width > 0 && r.height > 0 && r.x >= 0 && r.y >= 0 && int64_t{r.x} + r.width <= w &&
           int64_t{r.y} + r.height <= h;
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return int64_t{a.x} < int64_t{b.x} + b.width && int64_t{b.x} < int64_t{a.x} + a.width &&
           int64_t{a.y} < int64_t{b.y} + b.height && int64_t{b.y} < int64_t{a.y} + a.height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int w = TakeInt(data, size), h = TakeInt(data, size), textHeight = TakeInt(data, size);
    const std::vector<FramePiece> pieces = FramePieces(w, h);
    for (size_t i = 0; i < pieces.size(); ++i) {
        REQUIRE(Inside(pieces[i].dest, w, h));
        REQUIRE(Inside(pieces[i].source, kPictureWidth, kPictureHeight));
        for (size_t j = 0; j < i; ++j) REQUIRE(!Overlap(pieces[i].dest, pieces[j].dest));
    }
    // Dots cost memory in proportion to the size: only faces a screen can hold.
    if (w <= 4096 && h <= 4096) {
        std::vector<Point> dots = FocusDots(w, h);
        // On the rectangle 4 pixels in, every other pixel.
        const int64_t right = int64_t{w} - kFrameBand - 1, bottom = int64_t{h} - kFrameBand - 1;
        for (const Point& p : dots) {
            REQUIRE(p.x >= kFrameBand && p.x <= right && p.y >= kFrameBand && p.y <= bottom);
            REQUIRE((p.x == kFrameBand || p.x == right || p.y == kFrameBand || p.y == bottom) && (p.x + p.y) % 2 == 0);
        }
        std::sort(dots.begin(), dots.end(), [](Point a, Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
        REQUIRE(std::adjacent_find(dots.begin(), dots.end()) == dots.end());
    }
    for (const GradientVertex& v : GradientVertices(w, h, size % 2 == 1))
        REQUIRE(w <= 0 || h <= 0 || Inside({v.x, v.y, 1, 1}, w, h));

    // The centred top: half the spare height, a half going to the even side.
    const int top = CaptionTop(h, textHeight);
    const int64_t spare = int64_t{h} - textHeight, miss = 2 * int64_t{top} - spare;
    REQUIRE((miss == 0 || ((miss == 1 || miss == -1) && top % 2 == 0)) ||
            (top == std::numeric_limits<int>::max() && spare > 2 * int64_t{top}));
    return 0;
}
