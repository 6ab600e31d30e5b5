#include "buttoncontrol/CommandLogic.h"

#include <cctype>

void CommandLogic::Create() {
    caption_ = kDefaultCaption;
    SetEnabled(true);
}

void CommandLogic::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    host_.PropertyChanged("Caption");
    Repaint();
}

bool CommandLogic::Enabled() {
    if (firstRun_ == 0) {
        firstRun_ = 1;
        enabled_ = true;
    }
    return enabled_;
}

void CommandLogic::SetEnabled(bool enabled) {
    enabled_ = enabled;
    // A disabled button hears no release, and a press kept until it is
    // enabled again would stop the pointer from lighting it.
    if (!enabled) mousePressed_ = false;
    host_.PropertyChanged("Enabled");
    Repaint();
}

uint8_t CommandLogic::Visible() {
    if (!opaque_) return 0;
    Repaint();
    return 255;
}

void CommandLogic::SetVisible(uint8_t visible) {
    opaque_ = visible != 0;
    host_.SetBackgroundOpaque(opaque_);
    if (opaque_) Repaint();
    host_.PropertyChanged("Visible");
}

void CommandLogic::Initialize() {
    buttonState_ = StateNormal;
    host_.StartMouseTimer(kTmrMouseInterval);
}

void CommandLogic::ReadProperties(const PropertyBag& bag, const FontDescription& containerFont) {
    enabled_ = PropertyNumber(bag.ReadProperty("Enabled", int32_t{-1})) != 0;
    caption_ = PropertyText(bag.ReadProperty("Caption", std::string("Command1")));
    const PropertyValue font = bag.ReadProperty("Font", containerFont);
    // Only the name is taken: the stored size and style give way to the control's own.
    if (const auto* f = std::get_if<FontDescription>(&font)) font_.name = f->name;
    firstRun_ = static_cast<uint8_t>(PropertyNumber(bag.ReadProperty("FirstRun", int32_t{1})));
    textColour_ = static_cast<uint32_t>(PropertyNumber(bag.ReadProperty("FontColour", int32_t{0})));
    opaque_ = static_cast<int16_t>(PropertyNumber(bag.ReadProperty("Visible", int32_t{1}))) != 0;
    host_.SetBackgroundOpaque(opaque_);
    Repaint();
}

void CommandLogic::WriteProperties(PropertyBag& bag, const FontDescription& containerFont) {
    // Through the property, so a control that was never read still saves as enabled with FirstRun settled.
    bag.WriteProperty("Enabled", int32_t{Enabled() ? -1 : 0}, int32_t{-1});
    bag.WriteProperty("Caption", caption_, std::string(kDefaultCaption));
    bag.WriteProperty("FirstRun", int32_t{firstRun_}, int32_t{1});
    bag.WriteProperty("Font", font_, containerFont);
    bag.WriteProperty("FontColour", static_cast<int32_t>(textColour_), int32_t{0});
    bag.WriteProperty("Visible", int32_t{opaque_ ? 1 : 0}, int32_t{1});
    Repaint();
}

void CommandLogic::Repaint() {
    if (enabled_) {
        if (buttonState_ == StateDisabled) buttonState_ = StateNormal;
        // Normal whatever the state: a focused button keeps its focus lines.
        DrawState(FramePicture::Normal);
    } else {
        buttonState_ = StateDisabled;
        DrawState(FramePicture::Disable);
    }
}

void CommandLogic::DrawState(FramePicture picture) {
    if (enabled_) {
        // A caption without "&" leaves the key of the previous caption in force.
        if (caption_.find('&') != std::string::npos) accessKeys_ = AccessKeyOf(caption_);
        textColour_ = kTextEnabled;
    } else {
        buttonState_ = StateDisabled;
        textColour_ = kTextDisabled;
        accessKeys_.clear();
    }
    // States 0 and 4 keep the direction of the drawing before them, so a
    // focused button reached through hover still looks pressed in.
    if (buttonState_ == StateNormal || buttonState_ == StateSelected) invertGradient_ = false;
    if (buttonState_ == StateHighLight) invertGradient_ = true;

    FaceDrawing face;
    face.picture = picture;
    face.invertGradient = invertGradient_;
    face.textColour = textColour_;
    face.focusLines = buttonState_ == StateSelected || buttonState_ == StateHighLightSelect;
    face.caption = caption_;
    face.font = font_;
    host_.DrawFace(face);
}

void CommandLogic::MouseMove() {
    if (!enabled_) return;
    if (buttonState_ == StateNormal) {
        buttonState_ = StateHighLight;
        DrawState(FramePicture::HighLight);
    }
    if (buttonState_ == StateSelected && !mousePressed_) {
        buttonState_ = StateHighLightSelect;
        DrawState(FramePicture::HighLightSelect);
    }
}

void CommandLogic::MouseDown(int button, int, int, int) {
    if (!enabled_ || button != kLeftButton) return;
    mousePressed_ = true;
    DrawState(FramePicture::Pressed);
}

void CommandLogic::MouseUp(int button, int, int, int) {
    // Push buttons click with the left button only.
    if (!enabled_ || button != kLeftButton) return;
    EndPress();
    // State 3 means the poll saw the pointer leave while the button was held:
    // letting go elsewhere is how the user takes a press back.
    if (buttonState_ != StateSelected) host_.RaiseClick();
}

void CommandLogic::EndPress() {
    mousePressed_ = false;
    if (buttonState_ == StateHighLight) DrawState(FramePicture::Normal);
    else if (buttonState_ == StateHighLightSelect) DrawState(FramePicture::HighLightSelect);
}

void CommandLogic::GotFocus() {
    if (!enabled_) return;
    if (buttonState_ != StateHighLight) {
        buttonState_ = StateSelected;
        DrawState(FramePicture::Selected);
    } else {
        buttonState_ = StateHighLightSelect;
        DrawState(FramePicture::Pressed);
    }
}

void CommandLogic::LostFocus() {
    if (!enabled_) return;
    if (buttonState_ != StateNormal) {
        buttonState_ = StateNormal;
        DrawState(FramePicture::Normal);
    }
}

void CommandLogic::LostCapture() {
    // The release will go to another window: end the press as it would, without the click.
    if (mousePressed_) EndPress();
}

void CommandLogic::AccessKeyPress() {
    if (!enabled_) return;
    buttonState_ = StateHighLight;
    GotFocus();
    MouseUp(kLeftButton, 0, 0, 0);
}

void CommandLogic::TmrMouseTick() {
    const WindowRef under = host_.WindowUnderPointer();
    if (under == host_.ContainerWindow()) LeaveHover();
    else if (under != host_.OwnWindow()) LeaveHover();
}

void CommandLogic::LeaveHover() {
    if (buttonState_ != StateDisabled && !enabled_) {
        buttonState_ = StateDisabled;
        DrawState(FramePicture::Disable);
    }
    if (buttonState_ == StateHighLight) {
        buttonState_ = StateNormal;
        DrawState(FramePicture::Normal);
    }
    if (buttonState_ == StateHighLightSelect) {
        buttonState_ = StateSelected;
        DrawState(FramePicture::Selected);
    }
}

bool CommandLogic::HasAccessKey(char c) const {
    if (!enabled_) return false;
    const auto lower = [](char x) { return std::tolower(static_cast<unsigned char>(x)); };
    for (char k : accessKeys_)
        if (lower(k) == lower(c)) return true;
    return false;
}
