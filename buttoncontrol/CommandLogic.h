#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "buttoncontrol/ButtonFace.h"

// Identifies a window without naming the platform's handle type.
using WindowRef = std::uintptr_t;

// What the button asks of the window that hosts it.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    // Clears the retained face, fills the gradient, lays the frame, draws the
    // caption, shows the result and then the focus lines if asked for.
    virtual void DrawFace(const FaceDrawing& face) = 0;
    virtual void RaiseClick() = 0;
    virtual void StartMouseTimer(int intervalMs) = 0;
    virtual WindowRef WindowUnderPointer() = 0;
    virtual WindowRef OwnWindow() = 0;
};

// HighLight: the pointer is over the button; Selected: it has the focus.
enum ButtonStates : uint8_t {
    StateDisabled = 0,
    StateNormal = 1,
    StateHighLight = 2,
    StateSelected = 3,
    StateHighLightSelect = 4,
};

// The state bits that assistive technology reads, with MSAA's values so that
// the window side hands them on as they are.
enum AccessibleStates : uint32_t {
    kAccUnavailable = 0x1,
    kAccFocused = 0x4,
    kAccPressed = 0x8,
    kAccFocusable = 0x100000,
};

// Mouse buttons as the host reports them.
constexpr int kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;

// The push button's state and reactions, free of any window system: the
// window class forwards its messages here and draws what it is told to.
class CommandLogic {
public:
    static constexpr int kTmrMouseInterval = 100;  // ms
    static constexpr std::string_view kDefaultCaption = "Command";
    static inline const FontDescription kCaptionFont{"Arial", 9.75, 400};

    explicit CommandLogic(CommandHost& host) : host_(host) {}

    // The creation handler: the default caption, then Enabled, which draws
    // the first face.
    void Create();

    void SetCaption(std::string caption);
    // The theme the face is drawn in from the next drawing on; the face is
    // drawn again only when the theme is not the one it has.
    void SetTheme(const DisplayTheme& theme);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    void Initialize();

    void Repaint();
    void DrawState(FramePicture picture);

    void Resize() { Repaint(); }
    void MouseMove();
    void MouseDown(int button);
    void MouseUp(int button);
    void GotFocus();
    void LostFocus();
    // The pointer's capture went elsewhere before the release came.
    void LostCapture();
    void AccessKeyPress();
    void TmrMouseTick();
    void LeaveHover();

    // Whether typing c with the access-key modifier should press this button.
    bool HasAccessKey(char c) const;

    // What a screen reader says of the button: the caption as it shows (no
    // "&" markers), the access key that works as "Alt+K" (empty without one,
    // and while disabled), and the state bits; focused is the window
    // system's word, which this logic does not keep.
    std::string AccessibleName() const;
    std::string AccessibleShortcut() const;
    uint32_t AccessibleState(bool focused) const;

    ButtonStates ButtonState() const { return buttonState_; }
    bool MousePressed() const { return mousePressed_; }
    const std::string& AccessKeys() const { return accessKeys_; }

private:
    void EndPress();

    CommandHost& host_;
    std::string caption_;
    bool enabled_ = false;
    ButtonStates buttonState_ = StateDisabled;
    bool mousePressed_ = false;
    bool invertGradient_ = false;
    std::string accessKeys_;
    DisplayTheme theme_;
};
