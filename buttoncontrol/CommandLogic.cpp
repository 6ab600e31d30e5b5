#include "buttoncontrol/CommandLogic.h"

#include <cctype>

void CommandLogic::Create() {
    caption_ = kDefaultCaption;
    SetEnabled(true);
}

void CommandLogic::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    Repaint();
}

void CommandLogic::SetTheme(const DisplayTheme& theme) {
    if (theme == theme_) return;
    theme_ = theme;
    Repaint();
}

void CommandLogic::SetEnabled(bool enabled) {
    enabled_ = enabled;
    // A disabled button hears no release, and a press kept until it is
    // enabled again would stop the pointer from lighting it.
    if (!enabled) mousePressed_ = false;
    Repaint();
}

void CommandLogic::Initialize() {
    buttonState_ = StateNormal;
    host_.StartMouseTimer(kTmrMouseInterval);
}

void CommandLogic::Repaint() {
    if (!enabled_) return DrawState(FramePicture::Disable);
    if (buttonState_ == StateDisabled) buttonState_ = StateNormal;
    // Normal whatever the state: a focused button keeps its focus lines.
    DrawState(FramePicture::Normal);
}

void CommandLogic::DrawState(FramePicture picture) {
    if (enabled_) {
        // A caption without "&" leaves the key of the previous caption in force.
        if (caption_.find('&') != std::string::npos) accessKeys_ = AccessKeyOf(caption_);
    } else {
        buttonState_ = StateDisabled;
        accessKeys_.clear();
    }
    // StateDisabled and StateHighLightSelect keep the direction of the drawing
    // before them, so a focused button reached through hover still looks
    // pressed in.
    if (buttonState_ == StateNormal || buttonState_ == StateSelected) invertGradient_ = false;
    if (buttonState_ == StateHighLight) invertGradient_ = true;

    FaceDrawing face;
    face.picture = picture;
    face.invertGradient = invertGradient_;
    face.textColour = enabled_ ? kTextEnabled : kTextDisabled;
    face.focusLines = buttonState_ == StateSelected || buttonState_ == StateHighLightSelect;
    face.caption = caption_;
    face.font = kCaptionFont;
    ApplyTheme(face, theme_, buttonState_ != StateNormal && buttonState_ != StateDisabled);
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

void CommandLogic::MouseDown(int button) {
    if (!enabled_ || button != kLeftButton) return;
    mousePressed_ = true;
    DrawState(FramePicture::Pressed);
}

void CommandLogic::MouseUp(int button) {
    // Push buttons click with the left button only.
    if (!enabled_ || button != kLeftButton) return;
    EndPress();
    // StateSelected here means the poll saw the pointer leave while the
    // button was held: letting go elsewhere is how the user takes a press back.
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
    MouseUp(kLeftButton);
}

void CommandLogic::TmrMouseTick() {
    if (host_.WindowUnderPointer() != host_.OwnWindow()) LeaveHover();
}

void CommandLogic::LeaveHover() {
    // Initialize leaves a disabled button in StateNormal.
    if (!enabled_ && buttonState_ != StateDisabled) DrawState(FramePicture::Disable);
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

std::string CommandLogic::AccessibleName() const {
    std::string name;
    for (size_t i = 0; i < caption_.size(); ++i) {
        if (caption_[i] == '&' && ++i == caption_.size()) break;
        name += caption_[i];
    }
    return name;
}

std::string CommandLogic::AccessibleShortcut() const {
    // The key that presses the button now, which may be an earlier caption's.
    return accessKeys_.empty() ? std::string() : "Alt+" + accessKeys_;
}

uint32_t CommandLogic::AccessibleState(bool focused) const {
    if (!enabled_) return kAccUnavailable;
    uint32_t state = kAccFocusable;
    if (focused) state |= kAccFocused;
    if (mousePressed_) state |= kAccPressed;
    return state;
}
