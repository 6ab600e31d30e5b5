// The push button as a real window under Wine, clicked with real mouse and
// keyboard input.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "buttoncontrol/Command_win.h"
#include "platform/DisplayTheme_win.h"

namespace {

constexpr int kW = 145, kH = 45;  // 2175 x 675 twips
constexpr int kId = 7;

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

    explicit Form(const char* caption, ThemeSource& theme = SystemTheme::Instance()) {
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
        button.UseTheme(theme);
        EXPECT_TRUE(button.Create(hwnd, kId, RECT{20, 20, 20 + kW, 20 + kH}, caption));
        button.Initialize();  // as the window does for each of its buttons
        Pump(50);
    }
    ~Form() { DestroyWindow(hwnd); }

    // Real input: a move to (x, y) in the button's client area, or a button flag.
    void Mouse(DWORD flag, int x = 0, int y = 0) {
        INPUT in{INPUT_MOUSE, {.mi = {0, 0, 0, flag, 0, 0}}};
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

// The face as the button shows it, row by row.
std::vector<COLORREF> FacePixels(const Command& button) {
    WindowDc screen(nullptr);
    UniqueHdc dc(CreateCompatibleDC(screen.get()));
    UniqueGdiObj<HBITMAP> face(CreateCompatibleBitmap(screen.get(), kW, kH));
    SelectedObject selected(dc.get(), face.get());
    SendMessageA(button.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) pixels.push_back(GetPixel(dc.get(), x, y));
    return pixels;
}

COLORREF At(const std::vector<COLORREF>& face, int x, int y) { return face[size_t(y * kW + x)]; }

// The rows inside the frame bands that the caption's ink spans: less green than 0x80, as no gradient pixel is.
int CaptionRows(const Command& button) {
    const auto face = FacePixels(button);
    int first = -1, last = -1;
    for (int y = 4; y < kH - 4; ++y)
        for (int x = 4; x < kW - 4; ++x)
            if (GetGValue(At(face, x, y)) < 0x80) first = first < 0 ? y : first, last = y;
    return last - first + 1;
}

struct ChosenTheme final : ThemeSource {
    DisplayTheme theme;
    DisplayTheme Current() override { return theme; }
};

// Wine always reports high contrast off, so the button is given a theme that says it is on.
TEST(CommandTheme, HighContrastSwapsTheGradientForTheThemesColours) {
    constexpr COLORREF face = RGB(0, 0, 0), text = RGB(255, 255, 255), gray = RGB(0, 255, 0),
                       highlight = RGB(0, 255, 255);
    ChosenTheme chosen;
    Form real("&Synchronize"), form("&Synchronize", chosen);
    const auto gradient = FacePixels(real.button);
    // Left of the caption, 4 and 22 rows of 44 down from white to &HC6C5D7, fractions dropped.
    EXPECT_TRUE(At(gradient, 6, 4) == RGB(249, 249, 251) && At(gradient, 6, 22) == RGB(226, 226, 235));
    chosen.theme = {true, {face, text, gray, highlight}};
    SendMessageA(form.button.Hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    auto flat = FacePixels(form.button);
    const auto count = [&flat](COLORREF c) { return std::count(flat.begin(), flat.end(), c); };
    // A frame of 2 x (145 + 45) - 4 = 376 pixels, then the caption's ink.
    EXPECT_TRUE(At(flat, 0, 0) == text && At(flat, 1, 1) == face && count(text) > 376 + 50) << count(text);
    form.Mouse(MOUSEEVENTF_MOVE, 70, 20);
    flat = FacePixels(form.button);
    EXPECT_TRUE(At(flat, 0, 0) == highlight && At(flat, 1, 1) == highlight && At(flat, 2, 2) == face);
    form.button.SetEnabled(false);
    flat = FacePixels(form.button);
    EXPECT_TRUE(At(flat, 0, 0) == gray && count(gray) > 376 + 50 && count(text) == 0) << "a grey caption";

    chosen.theme = {};
    form.button.SetEnabled(true);
    form.Mouse(MOUSEEVENTF_MOVE, 250, 120);
    Pump(250);  // longer than the poll
    SendMessageA(form.button.Hwnd(), WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(FacePixels(form.button), gradient) << "the theme off again, as with Wine's own";
}

// Moved to a monitor of twice the DPI and back, the caption is made and drawn again each time.
TEST(CommandDpi, CaptionFollowsTheDpiToThePixel) {
    Form form("&Synchronize");
    const int at96 = CaptionRows(form.button);
    form.button.SetDpi(192);
    // Twice as high, give or take what hinting does to cap height and descender (14 and 25 rows here).
    EXPECT_NEAR(CaptionRows(form.button), 2.0 * at96, 0.3 * at96) << at96;
    form.button.SetDpi(96);
    EXPECT_EQ(CaptionRows(form.button), at96);
}

// A click, then the poll that sees the pointer go.
TEST(CommandInput, RealPointerClicksOnceThenLeaves) {
    Form form("&Synchronize");
    form.Mouse(MOUSEEVENTF_MOVE, 70, 20);
    EXPECT_EQ(form.button.Logic().ButtonState(), StateHighLight);
    form.Mouse(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(GetFocus(), form.button.Hwnd());
    form.Mouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Form::clicks, 1);
    form.Mouse(MOUSEEVENTF_MOVE, 250, 120);
    Pump(250);  // longer than the poll
    EXPECT_EQ(form.button.Logic().ButtonState(), StateSelected);
}

// A run disables the button, or another window takes the pointer, before
// the release: no click. Focused again, the button lights under the pointer.
TEST(CommandInput, UnfinishedPressIsForgotten) {
    Form form("&Synchronize");
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
    EXPECT_EQ(Form::clicks, 0);
}

TEST(CommandInput, AccessKeyClicksOnlyAnEnabledButton) {
    Form form("&Synchronize");
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
        EXPECT_EQ(Form::clicks, enabled ? 1 : 0);
        EXPECT_EQ(GetFocus() == form.button.Hwnd(), enabled);
    }
}

}  // namespace
