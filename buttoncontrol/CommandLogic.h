#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "buttoncontrol/ButtonFace.h"
#include "buttoncontrol/PropertyBag.h"

// Identifies a window without naming the platform's handle type.
using WindowRef = std::uintptr_t;

// What the button asks of the window that hosts it.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    // Clears the retained face, fills the gradient, lays the frame, draws the
    // caption, shows the result and then the focus lines if asked for.
    virtual void DrawFace(const FaceDrawing& face) = 0;
    // The container's saved description of the control is out of date.
    virtual void PropertyChanged(std::string_view name) = 0;
    virtual void RaiseClick() = 0;
    virtual void StartMouseTimer(int intervalMs) = 0;
    // Opaque: the retained face is shown; transparent: the container shows through.
    virtual void SetBackgroundOpaque(bool opaque) = 0;
    virtual WindowRef WindowUnderPointer() = 0;
    virtual WindowRef ContainerWindow() = 0;
    virtual WindowRef OwnWindow() = 0;
};

enum ButtonStates : uint8_t {
    StateDisabled = 0,
    StateNormal = 1,
    StateHighLight = 2,
    StateSelected = 3,
    StateHighLightSelect = 4,
};

// Mouse buttons as the host reports them.
constexpr int kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;

// The push button's state, properties and reactions, free of any window
// system: the window class forwards its messages here and draws what it is
// told to.
class CommandLogic {
public:
    static constexpr int kTmrMouseInterval = 100;  // ms
    static constexpr std::string_view kDefaultCaption = "Command";

    explicit CommandLogic(CommandHost& host) : host_(host) {}

    // The creation handler: the caption without notice, then Enabled through
    // the property, which draws the first face.
    void Create();

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    // A freshly placed control has never stored Enabled, so the first read
    // turns it on; a loaded description settles FirstRun instead.
    bool Enabled();
    void SetEnabled(bool enabled);
    // 255 when the face is shown (and redrawn), 0 when transparent.
    uint8_t Visible();
    void SetVisible(uint8_t visible);
    void Initialize();

    void ReadProperties(const PropertyBag& bag, const FontDescription& containerFont);
    void WriteProperties(PropertyBag& bag, const FontDescription& containerFont);

    void Repaint();
    void DrawState(FramePicture picture);

    void Resize() { Repaint(); }
    void MouseMove();
    void MouseDown(int button, int shift, int x, int y);
    void MouseUp(int button, int shift, int x, int y);
    void GotFocus();
    void LostFocus();
    // The pointer's capture went elsewhere before the release came.
    void LostCapture();
    void AccessKeyPress();
    void TmrMouseTick();
    void LeaveHover();

    // Whether typing c with the access-key modifier should press this button.
    bool HasAccessKey(char c) const;

    uint8_t ButtonState() const { return buttonState_; }
    bool MousePressed() const { return mousePressed_; }
    bool InvertGradient() const { return invertGradient_; }
    uint8_t FirstRun() const { return firstRun_; }
    bool EnabledField() const { return enabled_; }
    const std::string& AccessKeys() const { return accessKeys_; }
    uint32_t TextColour() const { return textColour_; }
    const FontDescription& Font() const { return font_; }
    bool BackgroundOpaque() const { return opaque_; }

    static FontDescription DefaultFont() { return {"Arial", 9.75, 400, false, false, false}; }

private:
    void EndPress();

    CommandHost& host_;
    std::string caption_;
    bool enabled_ = false;
    uint8_t firstRun_ = 0;
    uint8_t buttonState_ = StateDisabled;
    bool mousePressed_ = false;
    bool invertGradient_ = false;
    std::string accessKeys_;
    uint32_t textColour_ = kTextEnabled;
    FontDescription font_ = DefaultFont();
    // The host surface starts opaque; only Visible and a loaded description change it.
    bool opaque_ = true;
};
