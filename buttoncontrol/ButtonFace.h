#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DisplayTheme.h"

// The six frame pictures; the order is that of the resource ids.
enum class FramePicture : uint8_t { Normal, Pressed, Selected, HighLight, HighLightSelect, Disable };
constexpr int kFramePictureCount = 6;

// Every frame picture is this size in pixels; only its outer band is drawn.
constexpr int kPictureWidth = 64;
constexpr int kPictureHeight = 25;
constexpr int kFrameBand = 4;

// Colour numbers in the platform's 0x00BBGGRR order.
constexpr uint32_t kTextEnabled = 0x000000;
constexpr uint32_t kTextDisabled = 0xC0C0C0;

// Size in points.
struct FontDescription {
    std::string name;
    double sizePoints = 0;
    int weight = 400;
    bool operator==(const FontDescription&) const = default;
};

// The em height in pixels of a font of sizePoints at dpi pixels per inch,
// to the nearest pixel, halves away from zero. A dpi of 0 or less (a window
// that could not say) counts as 96.
int FontHeightPixels(double sizePoints, int dpi);

// The face in a high-contrast theme: one colour with a frame of frameWidth
// pixels around it, in place of the gradient and the frame pictures.
struct FlatFace {
    uint32_t fill = 0;
    uint32_t frame = 0;
    int frameWidth = 1;
    bool operator==(const FlatFace&) const = default;
};

// Everything one drawing of the face needs, worked out from the control's
// state; the window turns it into pixels.
struct FaceDrawing {
    FramePicture picture = FramePicture::Normal;
    bool invertGradient = false;
    uint32_t textColour = kTextEnabled;
    bool focusLines = false;
    std::string caption;
    FontDescription font;
    std::optional<FlatFace> flat;  // set in a high-contrast theme only
};

// Turns a face worked out for the program's own look into the theme's, where
// the theme asks for high contrast: the button colours, grey text while
// disabled, a wider frame in the highlight colour while the pointer is over
// the button or it has the focus (lit, never so while disabled), and face
// and text swapped while pressed. Otherwise the face is left as it is.
void ApplyTheme(FaceDrawing& face, const DisplayTheme& theme, bool lit);

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

// One piece of the frame: where it goes on the face and where it comes from
// in the picture. Pieces with an empty destination are left out.
struct FramePiece {
    PixelRect dest;
    PixelRect source;
};

// The corners, edges and corners again, clockwise from the top left, for a
// face of w x h pixels. A face narrower or lower than two bands gets bands
// of half its size, so nothing lands outside it.
std::vector<FramePiece> FramePieces(int w, int h);

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// The dotted focus rectangle, 4 pixels in on every side, as the pixels to
// invert; each appears once, so the corners are not inverted back. Empty
// when the face has no room inside its bands (8 pixels or less either way).
std::vector<Point> FocusDots(int w, int h);

struct GradientVertex {
    int32_t x = 0, y = 0;
    uint16_t red = 0, green = 0, blue = 0, alpha = 0;
};

// The two corners of the vertical gradient: light over shade, or the
// reverse when inverted.
std::array<GradientVertex, 2> GradientVertices(int w, int h, bool invert);

// Top of a caption block of textHeight pixels centred in a face of
// faceHeight pixels, halves rounded to even. Negative when the text is taller.
int CaptionTop(int faceHeight, int textHeight);

// The access key a caption marks: the character after its first lone "&"
// ("&&" shows one ampersand and marks nothing). Empty when there is none or
// the "&" ends the caption.
std::string AccessKeyOf(const std::string& caption);
