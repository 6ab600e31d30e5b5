#include "buttoncontrol/ButtonFace.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr GradientVertex Light(int x, int y) {
    return {x, y, 0xFF00, 0xFF00, 0xFF00, 0};
}
// "&HC6C5D7" read as red, green, blue.
constexpr GradientVertex Shade(int x, int y) {
    return {x, y, 0xC600, 0xC500, 0xD700, 0};
}

}  // namespace

int FontHeightPixels(double sizePoints, int dpi) {
    return static_cast<int>(std::lround(sizePoints * (dpi > 0 ? dpi : 96) / 72.0));
}

std::vector<FramePiece> FramePieces(int w, int h) {
    std::vector<FramePiece> pieces;
    if (w <= 0 || h <= 0) return pieces;
    const int bx = std::min(kFrameBand, w / 2), by = std::min(kFrameBand, h / 2);
    const int midW = w - 2 * bx, midH = h - 2 * by;
    const int srcMidW = kPictureWidth - 2 * kFrameBand, srcMidH = kPictureHeight - 2 * kFrameBand;
    const int srcRight = kPictureWidth - bx, srcBottom = kPictureHeight - by;
    const FramePiece all[] = {
        {{0, 0, bx, by}, {0, 0, bx, by}},
        {{bx, 0, midW, by}, {kFrameBand, 0, srcMidW, by}},
        {{w - bx, 0, bx, by}, {srcRight, 0, bx, by}},
        {{w - bx, by, bx, midH}, {srcRight, kFrameBand, bx, srcMidH}},
        {{w - bx, h - by, bx, by}, {srcRight, srcBottom, bx, by}},
        {{bx, h - by, midW, by}, {kFrameBand, srcBottom, srcMidW, by}},
        {{0, h - by, bx, by}, {0, srcBottom, bx, by}},
        {{0, by, bx, midH}, {0, kFrameBand, bx, srcMidH}},
    };
    for (const auto& p : all)
        if (p.dest.width > 0 && p.dest.height > 0) pieces.push_back(p);
    return pieces;
}

std::vector<Point> FocusDots(int w, int h) {
    std::vector<Point> dots;
    // Checked before right and bottom are worked out: a size near INT_MIN
    // would overflow them.
    if (w <= 2 * kFrameBand || h <= 2 * kFrameBand) return dots;
    const int left = kFrameBand, top = kFrameBand, right = w - kFrameBand - 1, bottom = h - kFrameBand - 1;
    // Every other pixel, in a pattern fixed to the face so that the four
    // lines meet in step at the corners.
    auto dot = [&](int x, int y) {
        if ((x + y) % 2 == 0) dots.push_back({x, y});
    };
    for (int x = left; x <= right; ++x) dot(x, top);
    if (bottom != top)
        for (int x = left; x <= right; ++x) dot(x, bottom);
    for (int y = top + 1; y < bottom; ++y) {
        dot(left, y);
        if (right != left) dot(right, y);
    }
    return dots;
}

std::array<GradientVertex, 2> GradientVertices(int w, int h, bool invert) {
    // An empty face keeps both corners at its origin, and INT_MIN - 1 never happens.
    const int x1 = std::max(w, 1) - 1, y1 = std::max(h, 1) - 1;
    if (invert) return {Shade(0, 0), Light(x1, y1)};
    return {Light(0, 0), Shade(x1, y1)};
}

int CaptionTop(int faceHeight, int textHeight) {
    // In 64 bits: the difference of two heights need not fit an int.
    const int64_t d = int64_t{faceHeight} - textHeight;
    // floor(d / 2), then a half goes to the even neighbour.
    int64_t q = d >= 0 ? d / 2 : -((-d + 1) / 2);
    if (d % 2 != 0 && q % 2 != 0) ++q;
    // Only INT_MAX over INT_MIN rounds to one past the largest int.
    return static_cast<int>(std::min<int64_t>(q, std::numeric_limits<int>::max()));
}

std::string AccessKeyOf(const std::string& caption) {
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (i + 1 == caption.size()) return {};
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return caption.substr(i + 1, 1);
    }
    return {};
}

void ApplyTheme(FaceDrawing& face, const DisplayTheme& theme, bool lit) {
    if (!theme.highContrast) return;
    const ThemeColours& c = theme.colours;
    const bool enabled = face.picture != FramePicture::Disable;
    FlatFace flat{c.buttonFace, enabled ? c.buttonText : c.grayText, 1};
    face.textColour = flat.frame;
    if (lit) flat = {c.buttonFace, c.highlight, 2};
    // The gradient turned over is how the program's own look shows a press.
    if (face.picture == FramePicture::Pressed) {
        flat.fill = c.buttonText;
        face.textColour = c.buttonFace;
    }
    face.flat = flat;
}
