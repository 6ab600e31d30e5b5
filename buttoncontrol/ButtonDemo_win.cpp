// ButtonDemo.exe: the seven push buttons of the main window, enabled and
// disabled, and the six faces side by side, for screenshots and for trying
// the buttons by hand until the main window shows them itself.
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "buttoncontrol/Command.h"

namespace {

struct ButtonPlace {
    const char* caption;
    int x, y, w, h;  // pixels within a column
};

// Sizes of the main window's buttons (twips / 15); positions are the demo's own.
constexpr std::array<ButtonPlace, 7> kButtons{{
    {"&Check Time", 0, 0, 145, 45},
    {"&Synchronize", 153, 0, 147, 45},
    {"&Edit Server List", 0, 53, 133, 29},
    {"&Reload Server List", 141, 53, 133, 29},
    {"&Date && Time...", 0, 90, 133, 29},
    {"&Help", 141, 90, 89, 29},
    {"&Website", 238, 90, 89, 29},
}};

constexpr int kColumnX[2] = {12, 362};
constexpr int kButtonsTop = 34, kFacesTop = 196, kFaceW = 105, kFaceH = 45, kFaceGap = 8;
constexpr int kIdFirstButton = 100, kIdStatus = 50;

struct FaceSample {
    const char* caption;
    FramePicture picture;
    bool invert, focus, disabled;
};
constexpr std::array<FaceSample, 6> kFaces{{
    {"Normal", FramePicture::Normal, false, false, false},
    {"HighLight", FramePicture::HighLight, true, false, false},
    {"Pressed", FramePicture::Pressed, true, true, false},
    {"Selected", FramePicture::Selected, false, true, false},
    {"HighLightSelect", FramePicture::HighLightSelect, false, true, false},
    {"Disable", FramePicture::Disable, false, false, true},
}};

class ButtonDemo {
public:
    bool Create(HINSTANCE instance, int show) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &ButtonDemo::WndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = "VeltranoButtonDemo";
        if (!RegisterClassA(&wc)) return false;
        RECT r{0, 0, 700, 310};
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        AdjustWindowRect(&r, style, FALSE);
        HWND hwnd = CreateWindowExA(WS_EX_CONTROLPARENT, wc.lpszClassName, "Veltrano buttons", style, 40, 40,
                                    r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, this);
        if (!hwnd) return false;
        ShowWindow(hwnd, show);
        return true;
    }
    HWND Hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            auto* self = static_cast<ButtonDemo*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<ButtonDemo*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        return self ? self->HandleMessage(msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
    }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
        case WM_CREATE:
            Form_Load();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) != WA_INACTIVE) Form_Activate();
            break;
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) >= kIdFirstButton) Button_Click(LOWORD(wp) - kIdFirstButton);
            return 0;
        case WM_PAINT: {
            PaintDc dc(hwnd_);
            Form_Paint(dc.get());
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(hwnd_, msg, wp, lp);
    }

    void Form_Load() {
        HFONT gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        const char* headings[] = {"Enabled", "Disabled"};
        for (int column = 0; column < 2; ++column) {
            HWND label = CreateWindowExA(0, "STATIC", headings[column], WS_CHILD | WS_VISIBLE, kColumnX[column], 10,
                                         300, 18, hwnd_, nullptr, nullptr, nullptr);
            SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(gui), TRUE);
            for (size_t i = 0; i < kButtons.size(); ++i) {
                const ButtonPlace& p = kButtons[i];
                const int x = kColumnX[column] + p.x, y = kButtonsTop + p.y;
                auto& button = buttons_[static_cast<size_t>(column)][i];
                button = std::make_unique<Command>();
                const int id = kIdFirstButton + column * 10 + static_cast<int>(i);
                button->Create(hwnd_, id, RECT{x, y, x + p.w, y + p.h}, p.caption);
                if (column == 1) button->SetEnabled(false);
            }
        }
        HWND faces = CreateWindowExA(0, "STATIC", "The six faces", WS_CHILD | WS_VISIBLE, 12, kFacesTop - 22, 300, 18,
                                     hwnd_, nullptr, nullptr, nullptr);
        SendMessageA(faces, WM_SETFONT, reinterpret_cast<WPARAM>(gui), TRUE);
        status_ = CreateWindowExA(0, "STATIC", "Click a button.", WS_CHILD | WS_VISIBLE, 12, 276, 600, 18, hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStatus)), nullptr, nullptr);
        SendMessageA(status_, WM_SETFONT, reinterpret_cast<WPARAM>(gui), TRUE);
    }

    // As the main window will: every activation restarts each button's poll.
    void Form_Activate() {
        for (auto& column : buttons_)
            for (auto& b : column)
                if (b) b->Initialize();
    }

    void Button_Click(int index) {
        const int column = index / 10, i = index % 10;
        if (column > 1 || i >= static_cast<int>(kButtons.size())) return;
        ++clicks_;
        const std::string text = "Click " + std::to_string(clicks_) + ": " + kButtons[static_cast<size_t>(i)].caption;
        SetWindowTextA(status_, text.c_str());
    }

    void Form_Paint(HDC dc) {
        for (size_t i = 0; i < kFaces.size(); ++i) {
            const FaceSample& s = kFaces[i];
            FaceDrawing face;
            face.picture = s.picture;
            face.invertGradient = s.invert;
            face.focusLines = s.focus;
            face.textColour = s.disabled ? kTextDisabled : kTextEnabled;
            face.caption = s.caption;
            face.font = CommandLogic::DefaultFont();
            const int x = 12 + static_cast<int>(i) * (kFaceW + kFaceGap);
            POINT old;
            SetViewportOrgEx(dc, x, kFacesTop, &old);
            painter_.Paint(dc, kFaceW, kFaceH, face);
            SetViewportOrgEx(dc, old.x, old.y, nullptr);
        }
    }

    HWND hwnd_ = nullptr;
    HWND status_ = nullptr;
    int clicks_ = 0;
    FacePainter painter_{GetModuleHandleA(nullptr)};
    std::array<std::array<std::unique_ptr<Command>, kButtons.size()>, 2> buttons_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    ButtonDemo demo;
    if (!demo.Create(instance, show)) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (Command::TranslateAccessKey(msg)) continue;
        if (IsDialogMessageA(demo.Hwnd(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
