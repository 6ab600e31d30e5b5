#include <gtest/gtest.h>

#include "buttoncontrol/CommandLogic.h"

namespace {

using P = FramePicture;

// The button over a host that records what it asked of its window, and plays the pointer's place.
struct Rig final : CommandHost {
    static constexpr WindowRef kSelf = 20, kElsewhere = 30;
    void DrawFace(const FaceDrawing& face) override { faces.push_back(face); }
    void RaiseClick() override { ++clicks; }
    void StartMouseTimer(int) override {}
    WindowRef WindowUnderPointer() override { return under; }
    WindowRef OwnWindow() override { return kSelf; }
    void Forget() { faces.clear(), clicks = 0; }

    std::vector<FaceDrawing> faces;
    int clicks = 0;
    WindowRef under = kElsewhere;
    CommandLogic button{*this};

    // Reaches a state the way a user would, then forgets what that drew.
    explicit Rig(ButtonStates state) {
        button.Create();
        button.Initialize();
        if (state == StateDisabled) button.SetEnabled(false);
        if (state == StateHighLight) button.MouseMove();
        if (state == StateSelected || state == StateHighLightSelect) button.GotFocus();
        if (state == StateHighLightSelect) button.MouseMove();
        EXPECT_EQ(button.ButtonState(), state);
        Forget();
    }
};

// The events, as the host delivers them.
using Event = void (*)(Rig&);
template <WindowRef under>
void Tick(Rig& r) { r.under = under, r.button.TmrMouseTick(); }
constexpr Event Move = [](Rig& r) { r.button.MouseMove(); }, GotFocus = [](Rig& r) { r.button.GotFocus(); },
                LeftDown = [](Rig& r) { r.button.MouseDown(kLeftButton); },
                RightDown = [](Rig& r) { r.button.MouseDown(kRightButton); },
                LeftUp = [](Rig& r) { r.button.MouseUp(kLeftButton); },
                RightUp = [](Rig& r) { r.button.MouseUp(kRightButton); },
                LostFocus = [](Rig& r) { r.button.LostFocus(); }, AccessKey = [](Rig& r) { r.button.AccessKeyPress(); },
                Enable = [](Rig& r) { r.button.SetEnabled(true); },
                Disable = [](Rig& r) { r.button.SetEnabled(false); },
                TickElsewhere = Tick<Rig::kElsewhere>, TickOverSelf = Tick<Rig::kSelf>,
                // A press whose release never reaches the button; only what follows the press is recorded.
                PressThenDisable = [](Rig& r) { LeftDown(r), r.Forget(), r.button.SetEnabled(false); },
                PressThenLoseCapture = [](Rig& r) { LeftDown(r), r.Forget(), r.button.LostCapture(); },
                FocusThenLeave = [](Rig& r) { GotFocus(r), r.Forget(), TickElsewhere(r); },
                // A press released after the poll saw the pointer leave is taken back, even if it came back.
                PressLeaveRelease = [](Rig& r) { LeftDown(r), TickElsewhere(r), Move(r), r.Forget(), LeftUp(r); };

TEST(CommandStates, Transitions) {
    constexpr ButtonStates N = StateNormal, H = StateHighLight, S = StateSelected, HS = StateHighLightSelect,
                           D = StateDisabled;
    struct Case { ButtonStates from; Event event; ButtonStates to; std::vector<P> drawn; int clicks; } cases[] = {
        {N, Move, H, {P::HighLight}, 0},           {S, Move, HS, {P::HighLightSelect}, 0},
        {N, LeftDown, N, {P::Pressed}, 0},         {H, LeftUp, H, {P::Normal}, 1},
        {HS, LeftUp, HS, {P::HighLightSelect}, 1}, {S, LeftUp, S, {}, 0},
        {H, RightDown, H, {}, 0},                  {H, RightUp, H, {}, 0},
        {N, GotFocus, S, {P::Selected}, 0},        {H, GotFocus, HS, {P::Pressed}, 0},
        {H, FocusThenLeave, S, {P::Selected}, 0},  {H, LostFocus, N, {P::Normal}, 0},
        {N, AccessKey, HS, {P::Pressed, P::HighLightSelect}, 1}, {D, Enable, N, {P::Normal}, 0},
        {H, TickElsewhere, N, {P::Normal}, 0},     {HS, TickElsewhere, S, {P::Selected}, 0},
        {H, TickOverSelf, H, {}, 0},               {HS, PressLeaveRelease, S, {}, 0},
        // The press is forgotten, so that a focused button lights again under the pointer once enabled.
        {HS, PressThenDisable, D, {P::Disable}, 0}, {HS, PressThenLoseCapture, HS, {P::HighLightSelect}, 0},
    };
    for (const auto& c : cases) {
        Rig r(c.from);
        c.event(r);
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(r.button.ButtonState(), c.to);
        EXPECT_EQ(r.clicks, c.clicks);
        EXPECT_EQ(r.button.MousePressed(), c.event == LeftDown);
        std::vector<P> drawn;
        for (const auto& face : r.faces) {
            drawn.push_back(face.picture);
            EXPECT_EQ(face.focusLines, c.to == StateSelected || c.to == StateHighLightSelect);
            EXPECT_EQ(face.textColour, c.to == StateDisabled ? 0xC0C0C0u : 0u);
            // Looks pressed in while hovered, and still when the focus came through the hover.
            EXPECT_EQ(face.invertGradient, c.to == H || (c.to == HS && c.from == H));
        }
        // MSAA's unavailable alone, or focusable, focused (as told) and pressed.
        EXPECT_EQ(r.button.AccessibleState(true), c.to == D ? 0x1u : 0x100004u | (c.event == LeftDown ? 0x8u : 0u));
        EXPECT_EQ(drawn, c.drawn);
    }
}

// Flat, in the theme's colours alone, with the hover and focus frame in its highlight.
TEST(CommandDrawing, HighContrastFaceTakesTheThemesColours) {
    constexpr uint32_t face = 0x10, text = 0x20, gray = 0x30, highlight = 0x40;
    const DisplayTheme theme{true, {face, text, gray, highlight}};
    struct Case { ButtonStates from; Event event; FlatFace flat; uint32_t textColour; } cases[] = {
        {StateNormal, Enable, {face, text, 1}, text},           {StateNormal, Move, {face, highlight, 2}, text},
        {StateNormal, GotFocus, {face, highlight, 2}, text},    {StateHighLight, LeftDown, {text, highlight, 2}, face},
        {StateSelected, Disable, {face, gray, 1}, gray},
    };
    for (const auto& c : cases) {
        Rig r(c.from);
        r.button.SetTheme(theme), r.Forget(), c.event(r);
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        ASSERT_FALSE(r.faces.empty());
        EXPECT_EQ(r.faces.back().flat, c.flat);
        EXPECT_EQ(r.faces.back().textColour, c.textColour);
    }
    // The same theme again, as when a setting that changed was another one, draws nothing.
    Rig r(StateNormal);
    r.button.SetTheme(theme), r.Forget(), r.button.SetTheme(theme);
    EXPECT_TRUE(r.faces.empty());
    r.button.SetTheme({});
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_TRUE(!r.faces[0].flat && r.faces[0].textColour == kTextEnabled) << "the theme turned off";
}

TEST(CommandDrawing, AccessKeyFollowsTheCaption) {
    Rig r(StateNormal);
    r.button.SetCaption("Salt && &Pepper");
    EXPECT_EQ(r.button.AccessibleName(), "Salt & Pepper") << "as a screen reader hears it";
    r.button.SetCaption("No key here");  // keeps the key of the caption before
    EXPECT_TRUE(r.button.HasAccessKey('p') && r.button.AccessibleShortcut() == "Alt+P") << r.button.AccessKeys();
    r.button.SetEnabled(false);
    EXPECT_FALSE(r.button.HasAccessKey('P') || r.button.AccessibleShortcut() != "") << r.button.AccessibleShortcut();
}

}  // namespace
