#include "buttoncontrol/FacePainter_win.h"

#include "resources/resource.h"

UniqueGdiObj<HFONT> MakeFont(const FontDescription& font, int dpi, BYTE quality) {
    LOGFONTA lf{};
    // Negative: the em height, not the cell's, as the point size means.
    lf.lfHeight = -FontHeightPixels(font.sizePoints, dpi);
    lf.lfWeight = font.weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = quality;
    lstrcpynA(lf.lfFaceName, font.name.c_str(), LF_FACESIZE);
    return UniqueGdiObj<HFONT>(CreateFontIndirectA(&lf));
}

int WindowDpi(HWND window) {
    // Windows 10's, looked up at run time so the exe still starts where it is missing.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpi) return static_cast<int>(getDpi(window));
    WindowDc dc(window);
    return dc.get() ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 96;
}

void StretchPieces(HDC dc, HBITMAP bitmap, int stretchMode, const std::vector<FramePiece>& pieces) {
    if (!bitmap) return;
    UniqueHdc source(CreateCompatibleDC(dc));
    if (!source) return;
    SelectedObject selected(source.get(), bitmap);
    SetStretchBltMode(dc, stretchMode);
    for (const FramePiece& p : pieces) {
        StretchBlt(dc, p.dest.x, p.dest.y, p.dest.width, p.dest.height, source.get(), p.source.x, p.source.y,
                   p.source.width, p.source.height, SRCCOPY);
    }
}

FacePainter::FacePainter(HINSTANCE instance) {
    for (int i = 0; i < kFramePictureCount; ++i) {
        pictures_[static_cast<size_t>(i)].reset(static_cast<HBITMAP>(
            LoadImageA(instance, MAKEINTRESOURCEA(IDB_BUTTON_FIRST + i), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
}

void FacePainter::Paint(HDC dc, int w, int h, const FaceDrawing& face) {
    if (w <= 0 || h <= 0) return;
    RECT all{0, 0, w, h};
    if (face.flat) {
        DrawFlat(dc, all, *face.flat);
    } else {
        // The colour of the clear never shows: gradient and frame cover it.
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
        DrawGradient(dc, w, h, face.invertGradient);
        DrawFrame(dc, w, h, face.picture);
    }
    DrawCaption(dc, w, h, face);
    if (face.focusLines)
        for (const Point& p : FocusDots(w, h)) PatBlt(dc, p.x, p.y, 1, 1, DSTINVERT);
}

void FacePainter::DrawFlat(HDC dc, RECT r, const FlatFace& flat) {
    const UniqueGdiObj<HBRUSH> frame(CreateSolidBrush(flat.frame)), fill(CreateSolidBrush(flat.fill));
    for (int i = 0; i < flat.frameWidth; ++i) {
        FrameRect(dc, &r, frame.get());
        InflateRect(&r, -1, -1);
    }
    FillRect(dc, &r, fill.get());
}

void FacePainter::DrawGradient(HDC dc, int w, int h, bool invert) {
    const auto v = GradientVertices(w, h, invert);
    TRIVERTEX vertices[2];
    for (int i = 0; i < 2; ++i) {
        vertices[i].x = v[static_cast<size_t>(i)].x;
        vertices[i].y = v[static_cast<size_t>(i)].y;
        vertices[i].Red = v[static_cast<size_t>(i)].red;
        vertices[i].Green = v[static_cast<size_t>(i)].green;
        vertices[i].Blue = v[static_cast<size_t>(i)].blue;
        vertices[i].Alpha = v[static_cast<size_t>(i)].alpha;
    }
    // The indexes are given the other way round; the fill goes by the
    // vertex positions, so vertex 0 still lands at the top. gdi32's own
    // entry rather than msimg32's GradientFill, which only forwards to it:
    // msimg32 is not one of the DLLs that Windows loads from its own folder
    // only, and a copy planted beside the exe would be loaded instead.
    GRADIENT_RECT rect{1, 0};
    GdiGradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

void FacePainter::DrawFrame(HDC dc, int w, int h, FramePicture picture) {
    // Whole pixels only: the edge strips are uniform along their length, so
    // repeating rows or columns is all the stretch has to do.
    StretchPieces(dc, pictures_[static_cast<size_t>(picture)].get(), COLORONCOLOR, FramePieces(w, h));
}

void FacePainter::DrawCaption(HDC dc, int w, int h, const FaceDrawing& face) {
    SelectedObject font(dc, FontFor(face.font));
    SetTextColor(dc, face.textColour);
    SetBkMode(dc, TRANSPARENT);
    const int length = static_cast<int>(face.caption.size());
    RECT r;
    SetRect(&r, 4, 0, w - 4, h);
    const int t = DrawTextA(dc, face.caption.c_str(), length, &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    SetRect(&r, 4, CaptionTop(h, t), w - 4, h);
    DrawTextA(dc, face.caption.c_str(), length, &r, DT_WORDBREAK | DT_CENTER);
}

HFONT FacePainter::FontFor(const FontDescription& font) {
    if (font_ && font == fontMade_ && dpi_ == fontDpi_) return font_.get();
    font_ = MakeFont(font, dpi_);
    fontMade_ = font;
    fontDpi_ = dpi_;
    return font_.get();
}
