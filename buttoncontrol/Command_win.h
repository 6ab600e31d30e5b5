#pragma once
#include <windows.h>

#include <string>

#include "buttoncontrol/CommandLogic.h"
#include "buttoncontrol/FacePainter_win.h"
#include "platform/BaseWindow_win.h"
#include "platform/Controls.h"
#include "platform/DisplayTheme.h"
#include "platform/UniqueHandle_win.h"

class CommandAccessible;

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

    // Where the button reads the theme, Windows' own unless given another
    // before Create.
    void UseTheme(ThemeSource& theme) { theme_ = &theme; }
    bool Create(HWND parent, int id, const RECT& rect, const std::string& caption);
    HWND Hwnd() const { return hwnd_.get(); }

    void SetCaption(const std::string& caption);
    // The container calls this when its window moves to a monitor of another
    // DPI; the caption is drawn again at the new size. A new button takes
    // the DPI of its window by itself.
    void SetDpi(int dpi);
    bool Enabled() const override { return logic_.Enabled(); }
    void SetEnabled(bool enabled) override;
    // The container calls this on each button whenever its window becomes active.
    void Initialize() { logic_.Initialize(); }
    // While its window is hidden nothing can hover: the next Initialize resumes.
    void StopPoll() { KillTimer(hwnd_.get(), kTmrMouse); }

    const CommandLogic& Logic() const { return logic_; }
    bool HasFocus() const { return hasFocus_; }
    // What a screen reader's "press" does: a left click, and nothing while disabled.
    void DoDefaultAction();

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
    void Command_MouseDown(int button);
    void Command_MouseUp(int button);
    void Command_MouseMove(LPARAM pos);
    void Command_AccessKeyPress();
    LRESULT Command_GetObject(WPARAM wp, LPARAM lp);
    // Tells assistive technology when the state bits it reads have changed.
    void NotifyStateChange();

    // CommandHost
    void DrawFace(const FaceDrawing& face) override;
    void RaiseClick() override;
    void StartMouseTimer(int intervalMs) override;
    WindowRef WindowUnderPointer() override;
    WindowRef OwnWindow() override;

    ThemeSource* theme_;
    CommandLogic logic_;
    FacePainter painter_;
    int width_ = 0, height_ = 0;
    bool releasingCapture_ = false;  // the capture goes because of a release, not taken away
    bool hasFocus_ = false;
    uint32_t accessibleState_ = 0;  // as last announced
    // Made at the first WM_GETOBJECT; readers may hold it after the button is
    // gone, so the button cuts its link back before it goes.
    CommandAccessible* accessible_ = nullptr;
    // The retained face: the bitmap stays selected into faceDc_ for the
    // control's life; the DC goes first.
    UniqueGdiObj<HBITMAP> faceBitmap_;
    UniqueHdc faceDc_;
    HGDIOBJ faceDcOriginal_ = nullptr;
};
