#include <gtest/gtest.h>

#include "buttoncontrol/CommandLogic.h"
#include "fakes/FakeCommandHost.h"

namespace {

using P = FramePicture;

struct Rig {
    FakeCommandHost host;
    CommandLogic button{host};

    // Reaches a state the way a user would, then forgets what that drew.
    explicit Rig(ButtonStates state) {
        button.Create();
        button.Initialize();
        if (state == StateDisabled) button.SetEnabled(false);
        if (state == StateHighLight) button.MouseMove();
        if (state == StateSelected || state == StateHighLightSelect) button.GotFocus();
        if (state == StateHighLightSelect) button.MouseMove();
        EXPECT_EQ(button.ButtonState(), state);
        host.Forget();
    }
};

// The events, as the host delivers them.
using Event = void (*)(Rig&);
template <WindowRef under>
void Tick(Rig& r) { r.host.under = under, r.button.TmrMouseTick(); }
constexpr Event Move = [](Rig& r) { r.button.MouseMove(); };
constexpr Event LeftDown = [](Rig& r) { r.button.MouseDown(kLeftButton); };
constexpr Event RightDown = [](Rig& r) { r.button.MouseDown(kRightButton); };
constexpr Event LeftUp = [](Rig& r) { r.button.MouseUp(kLeftButton); };
constexpr Event RightUp = [](Rig& r) { r.button.MouseUp(kRightButton); };
constexpr Event GotFocus = [](Rig& r) { r.button.GotFocus(); };
constexpr Event LostFocus = [](Rig& r) { r.button.LostFocus(); };
constexpr Event AccessKey = [](Rig& r) { r.button.AccessKeyPress(); };
constexpr Event Repaint = [](Rig& r) { r.button.Repaint(); };
// A press whose release never reaches the button; only what follows the press is recorded.
constexpr Event PressThenDisable = [](Rig& r) { LeftDown(r), r.host.Forget(), r.button.SetEnabled(false); };
constexpr Event PressThenLoseCapture = [](Rig& r) { LeftDown(r), r.host.Forget(), r.button.LostCapture(); };
constexpr Event LoseCapture = [](Rig& r) { r.button.LostCapture(); };
constexpr Event TickElsewhere = Tick<FakeCommandHost::kElsewhere>, TickOverSelf = Tick<FakeCommandHost::kSelf>,
                TickOverContainer = Tick<FakeCommandHost::kContainer>;

TEST(CommandStates, Transitions) {
    struct Case { ButtonStates from; Event event; ButtonStates to; std::vector<P> drawn; int clicks; } cases[] = {
        {StateNormal, Move, StateHighLight, {P::HighLight}, 0},
        {StateSelected, Move, StateHighLightSelect, {P::HighLightSelect}, 0},
        {StateHighLight, Move, StateHighLight, {}, 0},
        {StateNormal, LeftDown, StateNormal, {P::Pressed}, 0},
        {StateHighLight, RightDown, StateHighLight, {}, 0},
        {StateHighLight, LeftUp, StateHighLight, {P::Normal}, 1},
        {StateHighLightSelect, LeftUp, StateHighLightSelect, {P::HighLightSelect}, 1},
        {StateNormal, LeftUp, StateNormal, {}, 1},
        {StateSelected, LeftUp, StateSelected, {}, 0},
        {StateSelected, RightUp, StateSelected, {}, 0},
        {StateHighLight, RightUp, StateHighLight, {}, 0},
        {StateNormal, GotFocus, StateSelected, {P::Selected}, 0},
        {StateHighLight, GotFocus, StateHighLightSelect, {P::Pressed}, 0},
        {StateSelected, LostFocus, StateNormal, {P::Normal}, 0},
        {StateNormal, LostFocus, StateNormal, {}, 0},
        {StateNormal, AccessKey, StateHighLightSelect, {P::Pressed, P::HighLightSelect}, 1},
        {StateHighLight, TickElsewhere, StateNormal, {P::Normal}, 0},
        {StateHighLightSelect, TickElsewhere, StateSelected, {P::Selected}, 0},
        {StateSelected, TickElsewhere, StateSelected, {}, 0},
        {StateHighLight, TickOverContainer, StateNormal, {P::Normal}, 0},
        {StateHighLight, TickOverSelf, StateHighLight, {}, 0},
        // The press is forgotten, so that a focused button lights again under the pointer once enabled.
        {StateHighLightSelect, PressThenDisable, StateDisabled, {P::Disable}, 0},
        {StateHighLightSelect, PressThenLoseCapture, StateHighLightSelect, {P::HighLightSelect}, 0},
        {StateHighLight, PressThenLoseCapture, StateHighLight, {P::Normal}, 0},
        {StateHighLightSelect, LoseCapture, StateHighLightSelect, {}, 0},
        // A disabled button ignores pointer, focus and access key.
        {StateDisabled, Move, StateDisabled, {}, 0},      {StateDisabled, LeftDown, StateDisabled, {}, 0},
        {StateDisabled, LeftUp, StateDisabled, {}, 0},    {StateDisabled, GotFocus, StateDisabled, {}, 0},
        {StateDisabled, LostFocus, StateDisabled, {}, 0}, {StateDisabled, AccessKey, StateDisabled, {}, 0},
        {StateDisabled, TickElsewhere, StateDisabled, {}, 0},
        // A repaint draws the resting face, with focus lines when focused and grey text when disabled.
        {StateDisabled, Repaint, StateDisabled, {P::Disable}, 0},
        {StateNormal, Repaint, StateNormal, {P::Normal}, 0},
        {StateHighLight, Repaint, StateHighLight, {P::Normal}, 0},
        {StateSelected, Repaint, StateSelected, {P::Normal}, 0},
        {StateHighLightSelect, Repaint, StateHighLightSelect, {P::Normal}, 0},
    };
    for (const auto& c : cases) {
        Rig r(c.from);
        c.event(r);
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(r.button.ButtonState(), c.to);
        EXPECT_EQ(r.host.pictures, c.drawn);
        EXPECT_EQ(r.host.clicks, c.clicks);
        EXPECT_EQ(r.button.MousePressed(), c.event == LeftDown && c.from != StateDisabled);
        for (const auto& face : r.host.faces) {
            EXPECT_EQ(face.focusLines, c.to == StateSelected || c.to == StateHighLightSelect);
            EXPECT_EQ(face.textColour, c.to == StateDisabled ? 0xC0C0C0u : 0u);
        }
    }
}

TEST(CommandStates, ReleaseAfterThePollSawThePointerLeaveIsNoClick) {
    Rig r(StateHighLightSelect);
    LeftDown(r);
    EXPECT_TRUE(r.button.MousePressed());
    TickElsewhere(r);
    Move(r);  // back over the button while still holding: nothing
    EXPECT_EQ(r.button.ButtonState(), StateSelected);
    LeftUp(r);
    EXPECT_EQ(r.host.clicks, 0);
    EXPECT_FALSE(r.button.MousePressed());
    Move(r);  // afterwards the pointer over it lights it again
    EXPECT_EQ(r.button.ButtonState(), StateHighLightSelect);
}

TEST(CommandStates, CreationDrawsNormalAndInitializeOnlyStartsThePoll) {
    FakeCommandHost host;
    CommandLogic button(host);
    EXPECT_EQ(button.ButtonState(), StateDisabled);
    button.Create();
    EXPECT_EQ(host.pictures, std::vector<P>{P::Normal});
    button.GotFocus();
    EXPECT_TRUE(host.timerStarts.empty());
    host.Forget();
    button.Initialize();
    EXPECT_EQ(button.ButtonState(), StateNormal);
    EXPECT_TRUE(host.faces.empty());
    EXPECT_EQ(host.timerStarts, std::vector<int>{100});
}

TEST(CommandDrawing, GradientDirectionFollowsTheStateAndIsKeptWhenDisabledOrHoveredWithFocus) {
    Rig viaHover(StateHighLight), viaFocus(StateSelected);
    GotFocus(viaHover);  // StateHighLightSelect keeps the hover's inversion
    Move(viaFocus);      // and the focus's plain direction
    EXPECT_TRUE(viaHover.host.faces.back().invertGradient);
    EXPECT_FALSE(viaFocus.host.faces.back().invertGradient);
    viaHover.button.SetEnabled(false);  // StateDisabled keeps it too
    EXPECT_EQ(viaHover.host.pictures.back(), P::Disable);
    EXPECT_TRUE(viaHover.host.faces.back().invertGradient);
}

TEST(CommandDrawing, AccessKeyListFollowsTheCaption) {
    Rig r(StateNormal);
    r.button.SetCaption("&Date && Time...");
    EXPECT_EQ(r.button.AccessKeys(), "D");
    EXPECT_TRUE(r.button.HasAccessKey('d'));
    r.button.SetCaption("No key here");
    EXPECT_EQ(r.button.AccessKeys(), "D") << "a caption without & keeps the old key";
    r.button.SetCaption("Ends in &");
    EXPECT_EQ(r.button.AccessKeys(), "");
    r.button.SetCaption("Salt && &Pepper");
    EXPECT_EQ(r.button.AccessKeys(), "P") << "the key is the one DrawText underlines";
    r.button.SetEnabled(false);
    EXPECT_EQ(r.button.AccessKeys(), "");
    EXPECT_FALSE(r.button.HasAccessKey('p'));
    r.button.SetEnabled(true);
    EXPECT_EQ(r.button.AccessKeys(), "P");
}

}  // namespace
