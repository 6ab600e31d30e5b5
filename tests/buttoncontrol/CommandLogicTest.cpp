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

enum class Ev { Move, LeftDown, RightDown, LeftUp, RightUp, MiddleUp, GotFocus, LostFocus, AccessKey, Tick, TickOverSelf, TickOverContainer };

void Fire(Rig& r, Ev e) {
    switch (e) {
    case Ev::Move: r.button.MouseMove(); break;
    case Ev::LeftDown: r.button.MouseDown(kLeftButton, 0, 5, 5); break;
    case Ev::RightDown: r.button.MouseDown(kRightButton, 0, 5, 5); break;
    case Ev::LeftUp: r.button.MouseUp(kLeftButton, 0, 5, 5); break;
    case Ev::RightUp: r.button.MouseUp(kRightButton, 0, 5, 5); break;
    case Ev::MiddleUp: r.button.MouseUp(kMiddleButton, 0, 5, 5); break;
    case Ev::GotFocus: r.button.GotFocus(); break;
    case Ev::LostFocus: r.button.LostFocus(); break;
    case Ev::AccessKey: r.button.AccessKeyPress(); break;
    case Ev::Tick: r.host.under = FakeCommandHost::kElsewhere; r.button.TmrMouseTick(); break;
    case Ev::TickOverSelf: r.host.under = FakeCommandHost::kSelf; r.button.TmrMouseTick(); break;
    case Ev::TickOverContainer: r.host.under = FakeCommandHost::kContainer; r.button.TmrMouseTick(); break;
    }
}

TEST(CommandStates, EveryTransitionOfAnEnabledButton) {
    struct Case {
        int from;
        Ev event;
        int to;
        std::vector<P> drawn;
        int clicks;
    } cases[] = {
        {1, Ev::Move, 2, {P::HighLight}, 0},
        {3, Ev::Move, 4, {P::HighLightSelect}, 0},
        {2, Ev::Move, 2, {}, 0},
        {4, Ev::Move, 4, {}, 0},
        {1, Ev::LeftDown, 1, {P::Pressed}, 0},
        {3, Ev::LeftDown, 3, {P::Pressed}, 0},
        {2, Ev::RightDown, 2, {}, 0},
        {2, Ev::LeftUp, 2, {P::Normal}, 1},
        {4, Ev::LeftUp, 4, {P::HighLightSelect}, 1},
        {1, Ev::LeftUp, 1, {}, 1},
        {3, Ev::LeftUp, 3, {}, 0},
        {3, Ev::RightUp, 3, {}, 0},
        {1, Ev::RightUp, 1, {}, 1},
        {2, Ev::MiddleUp, 2, {}, 1},
        {4, Ev::RightUp, 4, {}, 1},
        {1, Ev::GotFocus, 3, {P::Selected}, 0},
        {4, Ev::GotFocus, 3, {P::Selected}, 0},
        {2, Ev::GotFocus, 4, {P::Pressed}, 0},
        {3, Ev::LostFocus, 1, {P::Normal}, 0},
        {4, Ev::LostFocus, 1, {P::Normal}, 0},
        {1, Ev::LostFocus, 1, {}, 0},
        {1, Ev::AccessKey, 4, {P::Pressed, P::HighLightSelect}, 1},
        {3, Ev::AccessKey, 4, {P::Pressed, P::HighLightSelect}, 1},
        {2, Ev::Tick, 1, {P::Normal}, 0},
        {4, Ev::Tick, 3, {P::Selected}, 0},
        {4, Ev::TickOverContainer, 3, {P::Selected}, 0},
        {2, Ev::TickOverSelf, 2, {}, 0},
        {1, Ev::Tick, 1, {}, 0},
        {3, Ev::Tick, 3, {}, 0},
    };
    for (const auto& c : cases) {
        Rig r(c.from);
        Fire(r, c.event);
        const std::string where = "from " + std::to_string(c.from) + " event " + std::to_string(int(c.event));
        EXPECT_EQ(r.button.ButtonState(), c.to) << where;
        EXPECT_EQ(r.host.Pictures(), c.drawn) << where;
        EXPECT_EQ(r.host.clicks, c.clicks) << where;
    }
}

TEST(CommandStates, DisabledButtonIgnoresPointerFocusAndAccessKey) {
    for (Ev e : {Ev::Move, Ev::LeftDown, Ev::LeftUp, Ev::RightUp, Ev::GotFocus, Ev::LostFocus, Ev::AccessKey, Ev::Tick,
                 Ev::TickOverSelf}) {
        Rig r(0);
        Fire(r, e);
        EXPECT_EQ(r.button.ButtonState(), 0) << int(e);
        EXPECT_TRUE(r.host.faces.empty()) << int(e);
        EXPECT_EQ(r.host.clicks, 0) << int(e);
        EXPECT_FALSE(r.button.MousePressed());
    }
}

TEST(CommandStates, ClickOnAnUnfocusedButtonThenLeaving) {
    Rig r(1);
    Fire(r, Ev::Move);
    Fire(r, Ev::GotFocus);  // the host moves the focus before delivering the press
    Fire(r, Ev::LeftDown);
    EXPECT_TRUE(r.button.MousePressed());
    Fire(r, Ev::LeftUp);
    EXPECT_EQ(r.host.clicks, 1);
    Fire(r, Ev::Tick);
    Fire(r, Ev::LostFocus);
    EXPECT_EQ(r.host.Pictures(),
              (std::vector<P>{P::HighLight, P::Pressed, P::Pressed, P::HighLightSelect, P::Selected, P::Normal}));
    EXPECT_EQ(r.button.ButtonState(), 1);
    EXPECT_FALSE(r.button.MousePressed());
}

TEST(CommandStates, ReleaseAfterThePollSawThePointerLeaveIsNoClick) {
    Rig r(2);
    Fire(r, Ev::GotFocus);
    Fire(r, Ev::LeftDown);
    Fire(r, Ev::Tick);
    EXPECT_EQ(r.button.ButtonState(), 3);
    Fire(r, Ev::Move);  // back over the button while still holding: nothing
    EXPECT_EQ(r.button.ButtonState(), 3);
    Fire(r, Ev::LeftUp);
    EXPECT_EQ(r.host.clicks, 0);
    EXPECT_FALSE(r.button.MousePressed());
    // Afterwards the pointer over it lights it again.
    Fire(r, Ev::Move);
    EXPECT_EQ(r.button.ButtonState(), 4);
}

TEST(CommandStates, ReleaseBeforeTheNextTickStillClicks) {
    Rig r(2);
    Fire(r, Ev::GotFocus);
    Fire(r, Ev::LeftDown);
    r.host.under = FakeCommandHost::kElsewhere;  // pointer gone, no tick yet
    Fire(r, Ev::LeftUp);
    EXPECT_EQ(r.host.clicks, 1);
}

TEST(CommandStates, BeforeInitializeNoPollRunsAndInitializeDrawsNothing) {
    FakeCommandHost host;
    CommandLogic button(host);
    button.Create();
    EXPECT_TRUE(host.timerStarts.empty());
    button.GotFocus();
    host.Forget();
    button.Initialize();
    EXPECT_EQ(button.ButtonState(), 1);
    EXPECT_TRUE(host.faces.empty());
    EXPECT_EQ(host.timerStarts, std::vector<int>{100});
}

TEST(CommandStates, CreationDrawsTheNormalFaceEnabled) {
    FakeCommandHost host;
    CommandLogic button(host);
    EXPECT_EQ(button.ButtonState(), 0);
    button.Create();
    EXPECT_EQ(button.ButtonState(), 1);
    EXPECT_EQ(button.Caption(), "Command");
    EXPECT_EQ(host.Pictures(), std::vector<P>{P::Normal});
    EXPECT_EQ(host.notices, std::vector<std::string>{"Enabled"});
}

TEST(CommandDrawing, GradientDirectionFollowsTheStateAndIsKeptIn0And4) {
    Rig viaHover(2);
    EXPECT_TRUE(viaHover.button.InvertGradient());
    Fire(viaHover, Ev::GotFocus);  // 2 -> 4 keeps the hover's inversion
    EXPECT_TRUE(viaHover.host.faces.back().invertGradient);
    viaHover.button.SetEnabled(false);  // state 0 keeps it too
    EXPECT_EQ(viaHover.host.faces.back().picture, P::Disable);
    EXPECT_TRUE(viaHover.host.faces.back().invertGradient);

    Rig viaFocus(3);
    EXPECT_FALSE(viaFocus.button.InvertGradient());
    Fire(viaFocus, Ev::Move);  // 3 -> 4
    EXPECT_FALSE(viaFocus.host.faces.back().invertGradient);
}

TEST(CommandDrawing, FocusLinesOnlyInStates3And4AndGreyTextWhenDisabled) {
    for (int s : {0, 1, 2, 3, 4}) {
        Rig r(s);
        r.button.Repaint();
        ASSERT_EQ(r.host.faces.size(), 1u);
        EXPECT_EQ(r.host.faces[0].focusLines, s >= 3) << s;
        EXPECT_EQ(r.host.faces[0].textColour, s == 0 ? 0xC0C0C0u : 0u) << s;
        EXPECT_EQ(r.host.faces[0].picture, s == 0 ? P::Disable : P::Normal) << s;
    }
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

TEST(CommandProperties, VisibleMapsOntoTheBackground) {
    Rig r(3);
    EXPECT_EQ(r.button.Visible(), 255);
    EXPECT_EQ(r.host.Pictures(), std::vector<P>{P::Normal}) << "reading redraws the resting face";
    EXPECT_TRUE(r.host.faces[0].focusLines);
    r.host.Forget();
    r.button.SetVisible(0);
    EXPECT_FALSE(r.host.opaque);
    EXPECT_TRUE(r.host.faces.empty());
    EXPECT_EQ(r.button.Visible(), 0);
    EXPECT_TRUE(r.host.faces.empty());
    r.button.SetVisible(7);
    EXPECT_TRUE(r.host.opaque);
    EXPECT_EQ(r.host.faces.size(), 1u);
    EXPECT_EQ(r.host.notices, (std::vector<std::string>{"Visible", "Visible"}));
}

}  // namespace
