#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "buttoncontrol/CommandLogic.h"
#include "buttoncontrol/FacePainter_win.h"
#include "platform/BaseWindow_win.h"
#include "platform/Controls.h"
#include "platform/UniqueHandle_win.h"

// The program's push button as a child window of class "Veltrano.Command".
// It reports a click to its parent as WM_COMMAND with BN_CLICKED and its id,
// so a container handles it like any button.
//
// The face is drawn into a retained image of the control's size, and every
// WM_PAINT (or WM_PRINTCLIENT) copies that image: a covered button comes back
// without being drawn again.
class Command final : public EnabledTarget, public BaseWindow<Command>, private CommandHost {
public:
    static constexpr const char* kClassName = "Veltrano.Command";
    static constexpr UINT_PTR kTmrMouse = 1;

    Command();
    ~Command() override;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    bool Create(HWND parent, int id, const RECT& rect, const std::string& caption);
    HWND Hwnd() const { return hwnd_.get(); }

    std::string Caption() const { return logic_.Caption(); }
    void SetCaption(const std::string& caption);
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    uint8_t Visible() { return logic_.Visible(); }
    void SetVisible(uint8_t visible) { logic_.SetVisible(visible); }
    // The container calls this on each button whenever its window becomes active.
    void Initialize() { logic_.Initialize(); }

    void ReadProperties(const PropertyBag& bag, const FontDescription& containerFont) {
        logic_.ReadProperties(bag, containerFont);
    }
    void WriteProperties(PropertyBag& bag, const FontDescription& containerFont) {
        logic_.WriteProperties(bag, containerFont);
    }
    void OnPropertyChanged(std::function<void(std::string_view)> handler) { propertyChanged_ = std::move(handler); }

    const CommandLogic& Logic() const { return logic_; }

    // For a container's message loop, before IsDialogMessage: Alt with the
    // access key of an enabled button in msg's top-level window presses that
    // button. True when the message was used.
    static bool TranslateAccessKey(const MSG& msg);

private:
    friend class BaseWindow<Command>;
    static bool RegisterWindowClass();
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    static bool PressAccessKey(HWND topLevel, char key);

    void Command_Paint(HDC dc);
    void Command_Resize(int w, int h);
    void Command_MouseDown(int button, WPARAM keys, LPARAM pos);
    void Command_MouseUp(int button, WPARAM keys, LPARAM pos);
    void Command_MouseMove(LPARAM pos);
    void Command_AccessKeyPress();

    // CommandHost
    void DrawFace(const FaceDrawing& face) override;
    void PropertyChanged(std::string_view name) override;
    void RaiseClick() override;
    void StartMouseTimer(int intervalMs) override;
    void SetBackgroundOpaque(bool opaque) override;
    WindowRef WindowUnderPointer() override;
    WindowRef ContainerWindow() override;
    WindowRef OwnWindow() override;

    // Reading Enabled may settle FirstRun, even through a const reference.
    mutable CommandLogic logic_;
    FacePainter painter_;
    std::function<void(std::string_view)> propertyChanged_;
    int width_ = 0, height_ = 0;
    bool opaque_ = true;
    bool releasingCapture_ = false;  // the capture goes because of a release, not taken away
    // The retained face: the bitmap stays selected into faceDc_ for the
    // control's life; the DC goes first.
    UniqueGdiObj<HBITMAP> faceBitmap_;
    UniqueHdc faceDc_;
    HGDIOBJ faceDcOriginal_ = nullptr;
};
