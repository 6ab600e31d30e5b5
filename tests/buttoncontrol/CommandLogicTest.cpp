#include <gtest/gtest.h>

#include "buttoncontrol/CommandLogic.h"
#include "fakes/FakeCommandHost.h"

namespace {

using P = FramePicture;

struct Rig {
    FakeCommandHost host;
    CommandLogic button{host};

    // Reaches a state the way a user would, then forgets what that drew.
    explicit Rig(int state) {
        button.Create();
        button.Initialize();
        if (state == 0) button.SetEnabled(false);
        if (state == 2) button.MouseMove();
        if (state == 3 || state == 4) button.GotFocus();
        if (state == 4) button.MouseMove();
        EXPECT_EQ(button.ButtonState(), state);
        host.Forget();
    }
};

// The events, as the host delivers them.
using Event = void (*)(Rig&);
template <WindowRef under>
void Tick(Rig& r) { r.host.under = under, r.button.TmrMouseTick(); }
constexpr Event Move = [](Rig& r) { r.button.MouseMove(); };
constexpr Event LeftDown = [](Rig& r) { r.button.MouseDown(kLeftButton, 0, 5, 5); };
constexpr Event RightDown = [](Rig& r) { r.button.MouseDown(kRightButton, 0, 5, 5); };
constexpr Event LeftUp = [](Rig& r) { r.button.MouseUp(kLeftButton, 0, 5, 5); };
constexpr Event RightUp = [](Rig& r) { r.button.MouseUp(kRightButton, 0, 5, 5); };
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
    struct Case { int from; Event event; int to; std::vector<P> drawn; int clicks; } cases[] = {
        {1, Move, 2, {P::HighLight}, 0},         {3, Move, 4, {P::HighLightSelect}, 0},
        {2, Move, 2, {}, 0},                     {1, LeftDown, 1, {P::Pressed}, 0},
        {2, RightDown, 2, {}, 0},                {2, LeftUp, 2, {P::Normal}, 1},
        {4, LeftUp, 4, {P::HighLightSelect}, 1}, {1, LeftUp, 1, {}, 1},
        {3, LeftUp, 3, {}, 0},                   {3, RightUp, 3, {}, 0},
        {2, RightUp, 2, {}, 0},                  {1, GotFocus, 3, {P::Selected}, 0},
        {2, GotFocus, 4, {P::Pressed}, 0},       {3, LostFocus, 1, {P::Normal}, 0},
        {1, LostFocus, 1, {}, 0},                {1, AccessKey, 4, {P::Pressed, P::HighLightSelect}, 1},
        {2, TickElsewhere, 1, {P::Normal}, 0},   {4, TickElsewhere, 3, {P::Selected}, 0},
        {3, TickElsewhere, 3, {}, 0},            {2, TickOverContainer, 1, {P::Normal}, 0},
        {2, TickOverSelf, 2, {}, 0},
        // The press is forgotten, so that a focused button lights again under the pointer once enabled.
        {4, PressThenDisable, 0, {P::Disable}, 0}, {4, PressThenLoseCapture, 4, {P::HighLightSelect}, 0},
        {2, PressThenLoseCapture, 2, {P::Normal}, 0}, {4, LoseCapture, 4, {}, 0},
        // A disabled button ignores pointer, focus and access key.
        {0, Move, 0, {}, 0},     {0, LeftDown, 0, {}, 0},  {0, LeftUp, 0, {}, 0},  {0, GotFocus, 0, {}, 0},
        {0, LostFocus, 0, {}, 0}, {0, AccessKey, 0, {}, 0}, {0, TickElsewhere, 0, {}, 0},
        // A repaint draws the resting face, with focus lines in states 3 and 4 and grey text when disabled.
        {0, Repaint, 0, {P::Disable}, 0}, {1, Repaint, 1, {P::Normal}, 0}, {2, Repaint, 2, {P::Normal}, 0},
        {3, Repaint, 3, {P::Normal}, 0},  {4, Repaint, 4, {P::Normal}, 0},
    };
    for (const auto& c : cases) {
        Rig r(c.from);
        c.event(r);
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(r.button.ButtonState(), c.to);
        EXPECT_EQ(r.host.pictures, c.drawn);
        EXPECT_EQ(r.host.clicks, c.clicks);
        EXPECT_EQ(r.button.MousePressed(), c.event == LeftDown && c.from != 0);
        for (const auto& face : r.host.faces) {
            EXPECT_EQ(face.focusLines, c.to >= 3);
            EXPECT_EQ(face.textColour, c.to == 0 ? 0xC0C0C0u : 0u);
        }
    }
}

TEST(CommandStates, ReleaseAfterThePollSawThePointerLeaveIsNoClick) {
    Rig r(4);
    LeftDown(r);
    EXPECT_TRUE(r.button.MousePressed());
    TickElsewhere(r);
    Move(r);  // back over the button while still holding: nothing
    EXPECT_EQ(r.button.ButtonState(), 3);
    LeftUp(r);
    EXPECT_EQ(r.host.clicks, 0);
    EXPECT_FALSE(r.button.MousePressed());
    Move(r);  // afterwards the pointer over it lights it again
    EXPECT_EQ(r.button.ButtonState(), 4);
}

TEST(CommandStates, CreationDrawsNormalAndInitializeOnlyStartsThePoll) {
    FakeCommandHost host;
    CommandLogic button(host);
    EXPECT_EQ(button.ButtonState(), 0);
    button.Create();
    EXPECT_EQ(host.pictures, std::vector<P>{P::Normal});
    button.GotFocus();
    EXPECT_TRUE(host.timerStarts.empty());
    host.Forget();
    button.Initialize();
    EXPECT_EQ(button.ButtonState(), 1);
    EXPECT_TRUE(host.faces.empty());
    EXPECT_EQ(host.timerStarts, std::vector<int>{100});
}

TEST(CommandDrawing, GradientDirectionFollowsTheStateAndIsKeptIn0And4) {
    Rig viaHover(2), viaFocus(3);
    GotFocus(viaHover);  // 2 -> 4 keeps the hover's inversion
    Move(viaFocus);      // 3 -> 4 keeps the focus's plain direction
    EXPECT_TRUE(viaHover.host.faces.back().invertGradient);
    EXPECT_FALSE(viaFocus.host.faces.back().invertGradient);
    viaHover.button.SetEnabled(false);  // state 0 keeps it too
    EXPECT_EQ(viaHover.host.pictures.back(), P::Disable);
    EXPECT_TRUE(viaHover.host.faces.back().invertGradient);
}

TEST(CommandDrawing, AccessKeyListFollowsTheCaption) {
    Rig r(1);
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
