#include "mainwindow/MainLayout_win.h"

#include "buttoncontrol/FacePainter_win.h"

namespace {

constexpr int kDropDownPixels = 160;  // the open list of a chooser, at 96 dpi

// Windows 10's per-monitor call, looked up at run time so the exe still
// starts where it is missing.
using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <typename Fn>
Fn User32(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// STATIC and BUTTON draw through their parent's DC (CS_PARENTDC), which
// ignores a window region; the copies without it honour the cut-backs of
// ClipOverlaps.
const char* OwnDcClass(const char* base) {
    static const char* const kLabel = "Veltrano.Label";
    static const char* const kCheck = "Veltrano.Check";
    const bool isStatic = lstrcmpA(base, "STATIC") == 0;
    const char* name = isStatic ? kLabel : kCheck;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(GetModuleHandleA(nullptr), name, &wc)) {
        if (!GetClassInfoExA(nullptr, base, &wc)) return base;
        wc.cbSize = sizeof wc;
        wc.style &= ~CS_PARENTDC;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = name;
        if (!RegisterClassExA(&wc)) return base;
    }
    return name;
}

DWORD LabelStyle(ControlId id) {
    DWORD style = SS_NOPREFIX;
    if (id == kIdLblServer || id == kIdLblTimeCaption) style |= SS_RIGHT;
    if (id == kIdLblTime) style |= SS_CENTER | SS_CENTERIMAGE | WS_BORDER;
    if (id == kIdLblInfo) style |= SS_CENTERIMAGE | WS_BORDER;
    return style;
}

// The design lets some labels and check boxes run under the chooser or the
// text box beside them. Those are windows here, and a label that repaints
// would cover the first letters of its neighbour, so each is cut back to
// what no input control occupies. Their rectangles stay as designed.
void ClipOverlaps(HWND window, int dpi) {
    for (const ControlPlacement& under : kControls) {
        if (under.kind != ControlKind::Label && under.kind != ControlKind::Check) continue;
        const ControlRect u = PlaceControl(under, dpi);
        UniqueGdiObj<HRGN> region(CreateRectRgn(0, 0, u.width, u.height));
        bool clipped = false;
        for (const ControlPlacement& over : kControls) {
            if (over.kind != ControlKind::Combo && over.kind != ControlKind::Edit) continue;
            const ControlRect o = PlaceControl(over, dpi);
            RECT a{u.left, u.top, u.left + u.width, u.top + u.height};
            RECT b{o.left, o.top, o.left + o.width, o.top + o.height};
            RECT common;
            if (!IntersectRect(&common, &a, &b)) continue;
            UniqueGdiObj<HRGN> hole(CreateRectRgn(common.left - u.left, common.top - u.top, common.right - u.left,
                                                  common.bottom - u.top));
            CombineRgn(region.get(), region.get(), hole.get(), RGN_DIFF);
            clipped = true;
        }
        // The control owns the region once it is set.
        if (clipped && SetWindowRgn(GetDlgItem(window, under.id), region.get(), FALSE)) region.release();
    }
}

}  // namespace

void CreateControls(HWND window, const std::function<Command&(ControlId)>& buttonFor) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto child = [&](const char* cls, const ControlPlacement& c, DWORD style, DWORD exStyle = 0) {
        CreateWindowExA(exStyle, cls, c.caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    };
    // Creation order is Windows' tab order, and the frames come last so that
    // they lie beneath the controls they hold.
    for (const ControlPlacement& c : kControls) {
        switch (c.kind) {
        case ControlKind::Check: child(OwnDcClass("BUTTON"), c, BS_AUTOCHECKBOX | WS_TABSTOP); break;
        case ControlKind::Edit: child("EDIT", c, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE); break;
        case ControlKind::Combo: child("COMBOBOX", c, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP); break;
        case ControlKind::Button: buttonFor(c.id).Create(window, c.id, RECT{0, 0, 1, 1}, c.caption); break;
        case ControlKind::Picture: child("STATIC", c, SS_OWNERDRAW); break;
        case ControlKind::Label: child(OwnDcClass("STATIC"), c, LabelStyle(c.id)); break;
        case ControlKind::Frame: break;
        }
    }
    for (const ControlPlacement& f : kFrames) child("BUTTON", f, BS_GROUPBOX | WS_CLIPSIBLINGS);
}

void LayOut(HWND window, int dpi, LayoutFonts& fonts) {
    LayoutFonts fresh{MakeFont({"Arial", 9.75, FW_NORMAL}, dpi, CLEARTYPE_QUALITY),
                      MakeFont({"Arial", 9.75, FW_BOLD}, dpi, CLEARTYPE_QUALITY),
                      MakeFont({"Verdana", 8.25, FW_BOLD}, dpi, CLEARTYPE_QUALITY)};

    RECT r{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    if (auto adjust = User32<AdjustForDpiFn>("AdjustWindowRectExForDpi"))
        adjust(&r, kMainWindowStyle, FALSE, kMainWindowExStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&r, kMainWindowStyle, FALSE, kMainWindowExStyle);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    auto place = [&](const ControlPlacement& c) {
        HWND h = GetDlgItem(window, c.id);
        const ControlRect p = PlaceControl(c, dpi);
        HFONT font = fresh.normal.get();
        if (c.kind == ControlKind::Frame || c.id == kIdLblTimeCaption || c.id == kIdLblTime) font = fresh.bold.get();
        if (c.id == kIdLblInfo) font = fresh.status.get();
        if (c.kind != ControlKind::Button) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        int height = p.height;
        if (c.kind == ControlKind::Combo) {
            // The closed chooser is as high as designed; the window's own
            // height includes the open list.
            SendMessageA(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), p.height - 6);
            height += MulDiv(kDropDownPixels, dpi, 96);
        }
        MoveWindow(h, p.left, p.top, p.width, height, FALSE);
    };
    for (const ControlPlacement& f : kFrames) place(f);
    for (const ControlPlacement& c : kControls) place(c);
    fonts = std::move(fresh);  // the old fonts go now that no control holds them
    ClipOverlaps(window, dpi);
    InvalidateRect(window, nullptr, TRUE);
}
