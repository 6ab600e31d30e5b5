// The push button as a real window under Wine: its faces rendered through
// WM_PRINTCLIENT, and clicks made with real mouse and keyboard input.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "buttoncontrol/Command_win.h"
#include "resources/resource.h"

namespace {

constexpr int kW = 145, kH = 45;  // 2175 x 675 twips
constexpr int kId = 7;

struct Pixels {
    int w = 0, h = 0;
    std::vector<uint32_t> p;  // 0x00RRGGBB, top row first
    uint32_t At(int x, int y) const { return p[static_cast<size_t>(y * w + x)]; }
};

int Channel(uint32_t c, int i) { return int(c >> (16 - 8 * i) & 0xFF); }  // red, green, blue
bool Near(uint32_t c, std::array<int, 3> rgb) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(Channel(c, i) - rgb[i]) > 3) return false;
    return true;
}
bool Dark(uint32_t c) { return Channel(c, 0) < 60 && Channel(c, 1) < 60 && Channel(c, 2) < 60; }

Pixels FromBitmap(HDC dc, HBITMAP bitmap, int w, int h) {
    Pixels out{w, h, std::vector<uint32_t>(size_t(w * h))};
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(dc, bitmap, 0, UINT(h), out.p.data(), &bi, DIB_RGB_COLORS);
    for (auto& c : out.p) c &= 0xFFFFFF;
    return out;
}

// The face as WM_PRINTCLIENT paints it, or one of the pictures it is cut from.
Pixels Render(const Command& button) {
    WindowDc screen(nullptr);
    UniqueHdc dc(CreateCompatibleDC(screen.get()));
    UniqueGdiObj<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), kW, kH));
    {
        SelectedObject selected(dc.get(), bitmap.get());
        SendMessageA(button.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    }
    return FromBitmap(dc.get(), bitmap.get(), kW, kH);
}
Pixels Picture(int id) {
    UniqueGdiObj<HBITMAP> bitmap(HBITMAP(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0,
                                                    0, LR_CREATEDIBSECTION)));
    return FromBitmap(WindowDc(nullptr).get(), bitmap.get(), kPictureWidth, kPictureHeight);
}

void Pump(int ms) {
    for (const DWORD end = GetTickCount() + DWORD(ms); LONG(end - GetTickCount()) > 0; Sleep(5))
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            if (!Command::TranslateAccessKey(msg)) TranslateMessage(&msg), DispatchMessageA(&msg);
}

// A plain parent that counts the clicks its button reports.
struct Form {
    static inline int clicks = 0;
    HWND hwnd = nullptr;
    Command button;

    explicit Form(const char* caption) {
        // Keep the real pointer off the test window: its moves would change the state.
        SetCursorPos(1000, 20);
        static const ATOM registered = [] {
            const WNDCLASSA wc{0, [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                if (m == WM_COMMAND && LOWORD(wp) == kId && HIWORD(wp) == BN_CLICKED) ++clicks;
                return DefWindowProcA(h, m, wp, lp);
            }, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, GetSysColorBrush(COLOR_BTNFACE), nullptr,
                               "CommandTestForm"};
            return RegisterClassA(&wc);
        }();
        EXPECT_NE(registered, 0);
        clicks = 0;
        hwnd = CreateWindowExA(0, "CommandTestForm", "Command test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400,
                               200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(hwnd);
        EXPECT_TRUE(button.Create(hwnd, kId, RECT{20, 20, 20 + kW, 20 + kH}, caption));
        Pump(50);
    }
    ~Form() { DestroyWindow(hwnd); }

    // Real input: a move to (x, y) in the button's client area, or a button flag.
    void Mouse(DWORD flag, int x = 0, int y = 0) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flag;
        if (flag == MOUSEEVENTF_MOVE) {
            POINT p{x, y};
            ClientToScreen(button.Hwnd(), &p);
            in.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
            in.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
            in.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
        }
        SendInput(1, &in, sizeof in);
        Pump(30);
    }
};

// Whether the bottom-right corner and the top edge strip come from the picture.
bool FrameFrom(const Pixels& face, int pictureId) {
    const Pixels pic = Picture(pictureId);
    bool same = true;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) same &= face.At(kW - 4 + x, kH - 4 + y) == pic.At(60 + x, 21 + y);
        for (int x : {4, 60, kW - 5}) same &= face.At(x, y) == pic.At(32, y);
    }
    return same;
}

// The frame of exactly one picture; the gradient at the rows just inside the
// band (row 4 of the 44 it spans lies 4/44 of the way from the top colour);
// and the dotted focus rectangle 4 pixels in, whose dots (4,22) and (72,4)
// are, while (4,23) and (5,22) never are. Returns the face.
Pixels ExpectFace(const Command& button, ButtonStates state, int pictureId, bool inverted, bool focus) {
    SCOPED_TRACE("state " + std::to_string(state) + ", picture " + std::to_string(pictureId));
    EXPECT_EQ(button.Logic().ButtonState(), state);
    const Pixels face = Render(button);
    for (int id = IDB_BUTTON_FIRST; id < IDB_BUTTON_FIRST + kFramePictureCount; ++id)
        EXPECT_EQ(FrameFrom(face, id), id == pictureId) << "frame from picture " << id;
    const uint32_t top = face.At(73, 4), bottom = face.At(73, 40);
    const std::array<int, 3> light{250, 250, 251}, shade{203, 202, 219};
    EXPECT_TRUE(Near(top, inverted ? shade : light) && Near(bottom, inverted ? light : shade))
        << std::hex << top << " over " << bottom;
    for (auto [x, y] : {std::pair{4, 22}, {140, 22}, {72, 4}, {72, 40}, {4, 4}, {140, 40}})
        EXPECT_EQ(Dark(face.At(x, y)), focus) << "dot " << x << "," << y;
    EXPECT_FALSE(Dark(face.At(4, 23)) || Dark(face.At(5, 22)));
    return face;
}

TEST(CommandFaces, EachStateDrawsItsFaceAndTheCaptionIsBlackOrGreyWithTheAccessKeyUnderlined) {
    Form hover("&Check Time");
    const Pixels marked = ExpectFace(hover.button, StateNormal, IDB_BUTTON_NORMAL, false, false);
    // No Initialize: the poll is stopped, so the hover face stays.
    SendMessageA(hover.button.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ExpectFace(hover.button, StateHighLight, IDB_BUTTON_HIGHLIGHT, true, false);
    SetFocus(hover.button.Hwnd());
    ExpectFace(hover.button, StateHighLightSelect, IDB_BUTTON_PRESSED, true, true);
    SendMessageA(hover.button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(hover.button.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Form::clicks, 1);
    ExpectFace(hover.button, StateHighLightSelect, IDB_BUTTON_HIGHLIGHTSELECT, true, true);
    hover.button.SetEnabled(false);
    const Pixels grey = ExpectFace(hover.button, StateDisabled, IDB_BUTTON_DISABLE, true, false);

    Form focus("Check Time");
    SetFocus(focus.button.Hwnd());
    const Pixels plain = ExpectFace(focus.button, StateSelected, IDB_BUTTON_SELECTED, false, true);

    // Inside the frame and the focus lines only the caption differs between these faces.
    int black = 0, underline = 0, longestRun = 0, greyText = 0, dark = 0;
    for (int y = 8; y < kH - 8; ++y) {
        for (int x = 8, run = 0; x < kW - 8; ++x) {
            black += marked.At(x, y) == 0;
            const bool extra = Dark(marked.At(x, y)) && !Dark(plain.At(x, y));
            underline += extra;
            run = extra ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
            greyText += grey.At(x, y) == 0xC0C0C0;
            dark += Dark(grey.At(x, y));
        }
    }
    EXPECT_GT(black, 20);
    // The underline is one row under the C and nothing else differs.
    EXPECT_GE(longestRun, 5);
    EXPECT_EQ(underline, longestRun);
    EXPECT_GT(greyText, 20);
    EXPECT_EQ(dark, 0);
}

// Real input: a click, the poll that sees the pointer go, a press whose
// release goes elsewhere, which is forgotten, and the access key.
TEST(CommandInput, RealClicksAnUnfinishedPressForgottenAndTheAccessKeyOfAnEnabledButton) {
    Form form("&Synchronize");
    form.button.Initialize();
    form.Mouse(MOUSEEVENTF_MOVE, 70, 20);
    EXPECT_EQ(form.button.Logic().ButtonState(), StateHighLight);
    form.Mouse(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(GetFocus(), form.button.Hwnd());
    form.Mouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Form::clicks, 1);
    form.Mouse(MOUSEEVENTF_MOVE, 250, 120);
    Pump(250);  // longer than the poll
    EXPECT_EQ(form.button.Logic().ButtonState(), StateSelected);

    // A run disables the button, or another window takes the pointer.
    // Focused again, the button lights under the pointer.
    for (bool disable : {true, false}) {
        form.Mouse(MOUSEEVENTF_MOVE, 70, 20);
        form.Mouse(MOUSEEVENTF_LEFTDOWN);
        if (disable) form.button.SetEnabled(false);
        else SetCapture(form.hwnd);
        form.Mouse(MOUSEEVENTF_LEFTUP);
        ReleaseCapture();
        form.button.SetEnabled(true);
        SetFocus(form.button.Hwnd());
        EXPECT_FALSE(form.button.Logic().MousePressed()) << disable;
        form.Mouse(MOUSEEVENTF_MOVE, 72, 22);
        EXPECT_EQ(form.button.Logic().ButtonState(), StateHighLightSelect) << disable;
    }
    EXPECT_EQ(Form::clicks, 1);

    HWND other = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 200, 20, 100, 20, form.hwnd, nullptr, nullptr,
                                 nullptr);
    INPUT keys[4]{};  // Alt+S
    for (int i = 0; i < 4; ++i)
        keys[i] = {INPUT_KEYBOARD, {.ki = {WORD(i % 3 ? 'S' : VK_MENU), 0, DWORD(i >= 2 ? KEYEVENTF_KEYUP : 0), 0, 0}}};
    for (bool enabled : {false, true}) {
        form.button.SetEnabled(enabled);
        SetFocus(other);
        Pump(30);
        SendInput(4, keys, sizeof keys[0]);
        Pump(100);
        EXPECT_EQ(Form::clicks, enabled ? 2 : 1);
        EXPECT_EQ(GetFocus() == form.button.Hwnd(), enabled);
    }
}

}  // namespace
