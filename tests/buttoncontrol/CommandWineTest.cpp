// The push button as a real window under Wine: its faces rendered through
// WM_PRINTCLIENT, and clicks made with real mouse and keyboard input.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "buttoncontrol/Command.h"
#include "resources/resource.h"

namespace {

constexpr int kW = 145, kH = 45;  // 2175 x 675 twips
constexpr int kId = 7;

struct Pixels {
    int w = 0, h = 0;
    std::vector<uint32_t> p;  // 0x00RRGGBB, top row first
    uint32_t At(int x, int y) const { return p[static_cast<size_t>(y * w + x)]; }
};

int R(uint32_t c) { return (c >> 16) & 0xFF; }
int G(uint32_t c) { return (c >> 8) & 0xFF; }
int B(uint32_t c) { return c & 0xFF; }
bool Near(uint32_t c, int r, int g, int b, int tol) {
    return std::abs(R(c) - r) <= tol && std::abs(G(c) - g) <= tol && std::abs(B(c) - b) <= tol;
}
bool Dark(uint32_t c) { return R(c) < 60 && G(c) < 60 && B(c) < 60; }

Pixels FromBitmap(HDC dc, HBITMAP bitmap, int w, int h) {
    Pixels out{w, h, std::vector<uint32_t>(static_cast<size_t>(w * h))};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), out.p.data(), &bi, DIB_RGB_COLORS);
    for (auto& c : out.p) c &= 0xFFFFFF;
    return out;
}

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
    UniqueGdiObj<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    WindowDc screen(nullptr);
    return FromBitmap(screen.get(), bitmap.get(), kPictureWidth, kPictureHeight);
}

void Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (Command::TranslateAccessKey(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// A plain parent that counts the clicks its button reports.
struct Form {
    static inline int clicks = 0;
    HWND hwnd = nullptr;
    Command button;

    explicit Form(const char* caption) {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                if (m == WM_COMMAND && LOWORD(wp) == kId && HIWORD(wp) == BN_CLICKED) ++clicks;
                return DefWindowProcA(h, m, wp, lp);
            };
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
            wc.lpszClassName = "CommandTestForm";
            return RegisterClassA(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        clicks = 0;
        hwnd = CreateWindowExA(0, "CommandTestForm", "Command test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400,
                               200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(hwnd);
        EXPECT_TRUE(button.Create(hwnd, kId, RECT{20, 20, 20 + kW, 20 + kH}, caption));
        Pump(50);
    }
    ~Form() { DestroyWindow(hwnd); }
};

void MouseTo(HWND hwnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    Pump(30);
}

void MouseButton(DWORD flag) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    SendInput(1, &in, sizeof in);
    Pump(30);
}

class CommandFaces : public ::testing::Test {
protected:
    void SetUp() override {
        // Keep the real pointer off the test window: its moves would change the state.
        SetCursorPos(1000, 20);
        Pump(20);
    }
};

// The corners and the top and bottom edge strips come from the given picture.
void ExpectFrameFrom(const Pixels& face, int pictureId, const char* what) {
    const Pixels pic = Picture(pictureId);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(face.At(x, y), pic.At(x, y)) << what << " top-left " << x << "," << y;
            EXPECT_EQ(face.At(kW - 4 + x, kH - 4 + y), pic.At(60 + x, 21 + y)) << what << " bottom-right";
        }
        for (int x : {4, 60, kW - 5}) {
            EXPECT_EQ(face.At(x, y), pic.At(32, y)) << what << " top edge " << x << "," << y;
            EXPECT_EQ(face.At(x, kH - 4 + y), pic.At(32, 21 + y)) << what << " bottom edge";
        }
    }
}

// The gradient at the rows just inside the band: row 4 of the 44 it spans
// lies 4/44 of the way from the top colour, row 40 is 40/44 of the way.
void ExpectGradient(const Pixels& face, bool inverted, const char* what) {
    const uint32_t top = face.At(73, 4), bottom = face.At(73, 40);
    if (!inverted) {
        EXPECT_TRUE(Near(top, 250, 250, 251, 3)) << what << std::hex << " top " << top;
        EXPECT_TRUE(Near(bottom, 203, 202, 219, 3)) << what << std::hex << " bottom " << bottom;
    } else {
        EXPECT_TRUE(Near(top, 203, 202, 219, 3)) << what << std::hex << " top " << top;
        EXPECT_TRUE(Near(bottom, 250, 250, 251, 3)) << what << std::hex << " bottom " << bottom;
    }
}

// The dotted rectangle 4 pixels in: (4,22), (140,22), (72,4) and (72,40) are
// dots, (4,23) and (3,22) are not.
void ExpectFocusLines(const Pixels& face, bool shown, const char* what) {
    for (auto [x, y] : {std::pair{4, 22}, {140, 22}, {72, 4}, {72, 40}, {4, 4}, {140, 40}})
        EXPECT_EQ(Dark(face.At(x, y)), shown) << what << " dot " << x << "," << y;
    EXPECT_FALSE(Dark(face.At(4, 23))) << what;
    EXPECT_FALSE(Dark(face.At(5, 22))) << what;
}

TEST_F(CommandFaces, PicturesDifferAtTheirCorners) {
    for (int a = 0; a < kFramePictureCount; ++a)
        for (int b = a + 1; b < kFramePictureCount; ++b) {
            const Pixels pa = Picture(IDB_BUTTON_FIRST + a), pb = Picture(IDB_BUTTON_FIRST + b);
            bool differ = false;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) differ |= pa.At(x, y) != pb.At(x, y);
            EXPECT_TRUE(differ) << a << " " << b;
        }
}

TEST_F(CommandFaces, EachStateDrawsItsFace) {
    Form hover("&Check Time");
    ExpectFrameFrom(Render(hover.button), IDB_BUTTON_NORMAL, "normal");
    ExpectGradient(Render(hover.button), false, "normal");
    ExpectFocusLines(Render(hover.button), false, "normal");

    // No Initialize: the poll is stopped, so the hover face stays.
    SendMessageA(hover.button.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    Pixels face = Render(hover.button);
    EXPECT_EQ(hover.button.Logic().ButtonState(), StateHighLight);
    ExpectFrameFrom(face, IDB_BUTTON_HIGHLIGHT, "highlight");
    ExpectGradient(face, true, "highlight");
    ExpectFocusLines(face, false, "highlight");

    SetFocus(hover.button.Hwnd());
    face = Render(hover.button);
    EXPECT_EQ(hover.button.Logic().ButtonState(), StateHighLightSelect);
    ExpectFrameFrom(face, IDB_BUTTON_PRESSED, "pressed");
    ExpectFocusLines(face, true, "pressed");

    SendMessageA(hover.button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(hover.button.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Form::clicks, 1);
    face = Render(hover.button);
    ExpectFrameFrom(face, IDB_BUTTON_HIGHLIGHTSELECT, "highlightselect");
    ExpectFocusLines(face, true, "highlightselect");

    hover.button.SetEnabled(false);
    face = Render(hover.button);
    ExpectFrameFrom(face, IDB_BUTTON_DISABLE, "disable");
    ExpectFocusLines(face, false, "disable");
    ExpectGradient(face, true, "disable keeps the direction");

    Form focus("&Check Time");
    SetFocus(focus.button.Hwnd());
    face = Render(focus.button);
    EXPECT_EQ(focus.button.Logic().ButtonState(), StateSelected);
    ExpectFrameFrom(face, IDB_BUTTON_SELECTED, "selected");
    ExpectGradient(face, false, "selected");
    ExpectFocusLines(face, true, "selected");
}

TEST_F(CommandFaces, CaptionIsBlackOrGreyWithTheAccessKeyUnderlined) {
    Form form("&Check Time");
    const Pixels marked = Render(form.button);
    form.button.SetCaption("Check Time");
    const Pixels plain = Render(form.button);
    int black = 0, underline = 0, longestRun = 0;
    for (int y = 8; y < kH - 8; ++y) {
        int run = 0;
        for (int x = 8; x < kW - 8; ++x) {
            black += marked.At(x, y) == 0;
            const bool extra = Dark(marked.At(x, y)) && !Dark(plain.At(x, y));
            underline += extra;
            run = extra ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    }
    EXPECT_GT(black, 20);
    // The underline is one row under the C and nothing else differs.
    EXPECT_GE(longestRun, 5);
    EXPECT_EQ(underline, longestRun);

    form.button.SetEnabled(false);
    const Pixels grey = Render(form.button);
    int greyText = 0, dark = 0;
    for (int y = 8; y < kH - 8; ++y)
        for (int x = 8; x < kW - 8; ++x) {
            greyText += grey.At(x, y) == 0xC0C0C0;
            dark += Dark(grey.At(x, y));
        }
    EXPECT_GT(greyText, 20);
    EXPECT_EQ(dark, 0);
}

TEST_F(CommandFaces, CoveredButtonComesBackFromItsRetainedFace) {
    Form form("&Help");
    const Pixels before = Render(form.button);
    // Paint the screen over it; the next WM_PAINT must restore the face without redrawing.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_BLACKRECT, 110, 110, 300, 150,
                                 nullptr, nullptr, nullptr, nullptr);
    Pump(50);
    DestroyWindow(cover);
    Pump(100);
    WindowDc dc(form.button.Hwnd());
    EXPECT_EQ(GetPixel(dc.get(), 0, 0) & 0xFFFFFF, static_cast<COLORREF>(
        ((before.At(0, 0) >> 16) & 0xFF) | (before.At(0, 0) & 0xFF00) | ((before.At(0, 0) & 0xFF) << 16)));
    EXPECT_EQ(GetPixel(dc.get(), 73, 4) & 0xFFFFFF, static_cast<COLORREF>(
        ((before.At(73, 4) >> 16) & 0xFF) | (before.At(73, 4) & 0xFF00) | ((before.At(73, 4) & 0xFF) << 16)));
}

TEST(CommandInput, RealMouseClicksAndARefusedRelease) {
    SetCursorPos(1000, 20);
    Form form("&Synchronize");
    form.button.Initialize();
    HWND b = form.button.Hwnd();

    MouseTo(b, 70, 20);
    EXPECT_EQ(form.button.Logic().ButtonState(), StateHighLight);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(GetFocus(), b);
    MouseButton(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Form::clicks, 1);
    EXPECT_EQ(form.button.Logic().ButtonState(), StateHighLightSelect);

    // Press, leave for longer than the poll, release outside: no click.
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseTo(b, 250, 120);
    Pump(250);
    EXPECT_EQ(form.button.Logic().ButtonState(), StateSelected);
    MouseButton(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Form::clicks, 1);

    // Press, leave, come back and release over it: still no click.
    MouseTo(b, 70, 20);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseTo(b, 250, 120);
    Pump(250);
    MouseTo(b, 70, 20);
    MouseButton(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Form::clicks, 1);

    // Leaving unpressed: the poll turns the hover face back.
    MouseTo(b, 250, 120);
    Pump(250);
    EXPECT_EQ(form.button.Logic().ButtonState(), StateSelected);
}

TEST(CommandInput, AltWithTheAccessKeyPressesTheButton) {
    SetCursorPos(1000, 20);
    Form form("&Synchronize");
    HWND other = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 200, 20, 100, 20, form.hwnd, nullptr, nullptr,
                                 nullptr);
    SetFocus(other);
    Pump(30);
    INPUT keys[4]{};
    const WORD vk[4] = {VK_MENU, 'S', 'S', VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vk[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, keys, sizeof keys[0]);
    Pump(100);
    EXPECT_EQ(Form::clicks, 1);
    EXPECT_EQ(GetFocus(), form.button.Hwnd());
    EXPECT_EQ(form.button.Logic().ButtonState(), StateHighLightSelect);

    // A disabled button keeps no access key.
    form.button.SetEnabled(false);
    SetFocus(other);
    SendInput(4, keys, sizeof keys[0]);
    Pump(100);
    EXPECT_EQ(Form::clicks, 1);
}

}  // namespace
