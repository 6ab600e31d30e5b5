#include "buttoncontrol/Command_win.h"

#include <windowsx.h>

namespace {

HINSTANCE ThisModule() {
    return GetModuleHandleA(nullptr);
}

}  // namespace

Command::Command() : logic_(*this), painter_(ThisModule()) {}

Command::~Command() {
    // The window goes first: its last messages still draw into the face.
    DestroyOwnWindow();
    if (faceDc_ && faceDcOriginal_) SelectObject(faceDc_.get(), faceDcOriginal_);
}

bool Command::RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Command::WndProc;
        wc.hInstance = ThisModule();
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

bool Command::Create(HWND parent, int id, const RECT& rect, const std::string& caption) {
    if (hwnd_ || !RegisterWindowClass()) return false;
    HWND hwnd = CreateWindowExA(0, kClassName, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left,
                                rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), this);
    if (!hwnd) return false;
    SetCaption(caption);
    return true;
}

void Command::SetCaption(const std::string& caption) {
    // The window text carries the caption too, for screen readers and FindWindowEx.
    if (hwnd_) SetWindowTextA(hwnd_.get(), caption.c_str());
    logic_.SetCaption(caption);
}

void Command::SetDpi(int dpi) {
    painter_.SetDpi(dpi);
    if (hwnd_) logic_.Repaint();
}

void Command::SetEnabled(bool enabled) {
    // A disabled window gets no pointer or focus and Tab passes it by, as with
    // a standard button. The logic goes first: disabling the focused window
    // takes its focus away, and that loss must find the button already
    // disabled, or it would redraw the resting face and lose the gradient
    // direction that the disabled face keeps.
    logic_.SetEnabled(enabled);
    if (hwnd_) EnableWindow(hwnd_.get(), enabled);
}

LRESULT Command::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_.get();
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        Command_Resize(cs->cx, cs->cy);
        painter_.SetDpi(WindowDpi(hwnd));
        logic_.Create();
        return 0;
    }
    case WM_PAINT: {
        PaintDc dc(hwnd);
        Command_Paint(dc.get());
        return 0;
    }
    case WM_PRINTCLIENT:
        Command_Paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Command_Resize(LOWORD(lp), HIWORD(lp));
        logic_.Resize();
        return 0;
    case WM_MOUSEMOVE:
        Command_MouseMove(lp);
        return 0;
    case WM_LBUTTONDOWN:
        Command_MouseDown(kLeftButton);
        return 0;
    case WM_RBUTTONDOWN:
        Command_MouseDown(kRightButton);
        return 0;
    case WM_MBUTTONDOWN:
        Command_MouseDown(kMiddleButton);
        return 0;
    case WM_LBUTTONUP:
        Command_MouseUp(kLeftButton);
        return 0;
    case WM_RBUTTONUP:
        Command_MouseUp(kRightButton);
        return 0;
    case WM_MBUTTONUP:
        Command_MouseUp(kMiddleButton);
        return 0;
    case WM_CAPTURECHANGED:
        // Disabling the button, a menu or another window taking the pointer
        // (WM_CANCELMODE's default lets go too): the release will not come here.
        if (!releasingCapture_) logic_.LostCapture();
        return 0;
    case WM_SETFOCUS:
        logic_.GotFocus();
        return 0;
    case WM_KILLFOCUS:
        logic_.LostFocus();
        return 0;
    case WM_TIMER:
        if (wp == kTmrMouse) logic_.TmrMouseTick();
        return 0;
    case WM_SYSCHAR:
        // Reaches here when this button has the focus and the container's
        // loop does not translate access keys itself.
        if (PressAccessKey(GetAncestor(hwnd, GA_ROOT), static_cast<char>(wp))) return 0;
        break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void Command::Command_Paint(HDC dc) {
    if (faceDc_) {
        BitBlt(dc, 0, 0, width_, height_, faceDc_.get(), 0, 0, SRCCOPY);
        return;
    }
    // No face could be made: show what the container paints behind its children.
    RECT client;
    GetClientRect(hwnd_.get(), &client);
    HWND parent = GetParent(hwnd_.get());
    auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(parent, GCLP_HBRBACKGROUND));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
}

void Command::Command_Resize(int w, int h) {
    if (w == width_ && h == height_ && faceDc_) return;
    width_ = w;
    height_ = h;
    WindowDc screen(nullptr);
    if (!faceDc_) {
        faceDc_.reset(CreateCompatibleDC(screen.get()));
        if (!faceDc_) return;
    }
    UniqueGdiObj<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), w > 0 ? w : 1, h > 0 ? h : 1));
    if (!bitmap) return;
    HGDIOBJ old = SelectObject(faceDc_.get(), bitmap.get());
    if (!faceDcOriginal_) faceDcOriginal_ = old;
    faceBitmap_ = std::move(bitmap);  // the previous bitmap, now deselected, goes here
}

void Command::Command_MouseMove(LPARAM pos) {
    // While the button holds the capture, moves elsewhere arrive too; only a
    // move over the control counts as the pointer entering.
    const POINT p{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    RECT client;
    GetClientRect(hwnd_.get(), &client);
    if (PtInRect(&client, p)) logic_.MouseMove();
}

void Command::Command_MouseDown(int button) {
    if (button == kLeftButton) {
        // Focus first, so the press finds the button in its focused state.
        if (GetFocus() != hwnd_.get()) SetFocus(hwnd_.get());
        // A release after the pointer left still comes here, to be refused.
        SetCapture(hwnd_.get());
    }
    logic_.MouseDown(button);
}

void Command::Command_MouseUp(int button) {
    if (button == kLeftButton && GetCapture() == hwnd_.get()) {
        // The release ends the press itself, click included.
        releasingCapture_ = true;
        ReleaseCapture();
        releasingCapture_ = false;
    }
    logic_.MouseUp(button);
}

void Command::Command_AccessKeyPress() {
    // The access key moves the focus here first, as clicking would; otherwise
    // the control that has it would keep showing its own focus.
    if (GetFocus() != hwnd_.get()) SetFocus(hwnd_.get());
    logic_.AccessKeyPress();
}

bool Command::TranslateAccessKey(const MSG& msg) {
    if (msg.message != WM_SYSCHAR || !msg.hwnd) return false;
    return PressAccessKey(GetAncestor(msg.hwnd, GA_ROOT), static_cast<char>(msg.wParam));
}

bool Command::PressAccessKey(HWND topLevel, char key) {
    struct Search {
        char key;
        Command* found;
    } search{key, nullptr};
    EnumChildWindows(
        topLevel,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (lstrcmpA(cls, kClassName) != 0 || !IsWindowVisible(child) || !IsWindowEnabled(child)) return TRUE;
            Command* c = FromWindow(child);
            if (c && c->logic_.HasAccessKey(s->key)) {
                s->found = c;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    search.found->Command_AccessKeyPress();
    return true;
}

void Command::DrawFace(const FaceDrawing& face) {
    if (!faceDc_) return;
    painter_.Paint(faceDc_.get(), width_, height_, face);
    if (hwnd_) {
        InvalidateRect(hwnd_.get(), nullptr, FALSE);
        UpdateWindow(hwnd_.get());
    }
}

void Command::RaiseClick() {
    HWND hwnd = hwnd_.get();
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    const int id = GetDlgCtrlID(hwnd);
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
}

void Command::StartMouseTimer(int intervalMs) {
    // SetTimer with the same id again only resets the interval.
    if (hwnd_) SetTimer(hwnd_.get(), kTmrMouse, static_cast<UINT>(intervalMs), nullptr);
}

WindowRef Command::WindowUnderPointer() {
    POINT p;
    if (!GetCursorPos(&p)) return 0;
    return reinterpret_cast<WindowRef>(WindowFromPoint(p));
}

WindowRef Command::OwnWindow() {
    return reinterpret_cast<WindowRef>(hwnd_.get());
}
