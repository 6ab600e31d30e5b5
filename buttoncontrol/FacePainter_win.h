#pragma once
#include <windows.h>

#include <array>
#include <vector>

#include "buttoncontrol/ButtonFace.h"
#include "platform/UniqueHandle_win.h"

// The program's one way to make a font, for the buttons' captions and the
// window's labels alike: size in points at dpi pixels per inch (96 is 100 %).
UniqueGdiObj<HFONT> MakeFont(const FontDescription& font, int dpi, BYTE quality = DEFAULT_QUALITY);

// The DPI that window is shown at: its own where Windows keeps one per
// window (per monitor), else that of the window's DC.
int WindowDpi(HWND window);

// Copies each piece of bitmap into dc, stretched from its source rectangle to
// its destination with the given StretchBlt mode.
void StretchPieces(HDC dc, HBITMAP bitmap, int stretchMode, const std::vector<FramePiece>& pieces);

// Draws a button face from the six frame pictures into a device context.
// Each button owns one, with its own copies of the pictures.
class FacePainter {
public:
    // Loads the pictures from the exe's resources; a picture that is missing
    // is left out of every drawing rather than failing the button.
    explicit FacePainter(HINSTANCE instance);

    // Clear, gradient, the eight frame pieces (or the flat face of a
    // high-contrast theme), the caption, then the focus lines inverted over
    // the result, all within w x h pixels of dc.
    void Paint(HDC dc, int w, int h, const FaceDrawing& face);

    // The DPI of the window painted for; the caption's font follows it from
    // the next Paint on.
    void SetDpi(int dpi) { dpi_ = dpi; }

private:
    void DrawFlat(HDC dc, RECT r, const FlatFace& flat);
    void DrawGradient(HDC dc, int w, int h, bool invert);
    void DrawFrame(HDC dc, int w, int h, FramePicture picture);
    void DrawCaption(HDC dc, int w, int h, const FaceDrawing& face);
    HFONT FontFor(const FontDescription& font);

    std::array<UniqueGdiObj<HBITMAP>, kFramePictureCount> pictures_;
    int dpi_ = 96;
    UniqueGdiObj<HFONT> font_;
    FontDescription fontMade_;
    int fontDpi_ = 0;  // what font_ was made for
};
