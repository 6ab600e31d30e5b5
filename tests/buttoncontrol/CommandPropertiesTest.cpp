#include <gtest/gtest.h>

#include "buttoncontrol/CommandLogic.h"
#include "fakes/FakeCommandHost.h"

namespace {

const FontDescription kFormFont{"MS Sans Serif", 8.25, 400, false, false, false};

TEST(CommandProperties, OnlyWhatDiffersIsStoredAndCommandReadsBackAsCommand1) {
    FakeCommandHost host;
    CommandLogic button(host), loaded(host);
    button.Create();
    PropertyBag bag;
    button.WriteProperties(bag, CommandLogic::DefaultFont());
    EXPECT_TRUE(bag.Entries().empty());
    loaded.ReadProperties(bag, kFormFont);
    EXPECT_EQ(loaded.Caption(), "Command1");
    EXPECT_TRUE(loaded.EnabledField());
    EXPECT_EQ(loaded.FirstRun(), 1);
    EXPECT_TRUE(host.opaque);
    EXPECT_EQ(host.faces.back().picture, FramePicture::Normal);

    button.SetCaption("&Check Time");
    button.WriteProperties(bag, kFormFont);  // the form's font differs from the button's
    ASSERT_EQ(bag.Entries().size(), 2u);
    EXPECT_EQ(bag.Entries()[0].first + "," + bag.Entries()[1].first, "Caption,Font");
    loaded.ReadProperties(bag, kFormFont);
    EXPECT_EQ(loaded.Caption(), "&Check Time");
    EXPECT_EQ(loaded.Font(), CommandLogic::DefaultFont());
    button.SetCaption("Command");  // writing the default over the earlier value removes it
    button.WriteProperties(bag, kFormFont);
    EXPECT_FALSE(bag.Contains("caption"));
}

TEST(CommandProperties, StoredFontChangesOnlyTheName) {
    PropertyBag bag;
    bag.WriteProperty("font", FontDescription{"Tahoma", 12, 700, true, true, false}, kFormFont);
    FakeCommandHost host;
    CommandLogic button(host);
    button.ReadProperties(bag, kFormFont);
    EXPECT_EQ(button.Font(), (FontDescription{"Tahoma", 9.75, 400, false, false, false}));
    EXPECT_EQ(host.faces.back().font.name, "Tahoma");
}

TEST(CommandProperties, StoredValuesApplyWhateverTheCaseAndFirstRunTurnsEnabledOn) {
    PropertyBag bag;
    bag.WriteProperty("ENABLED", int32_t{0}, int32_t{-1});
    bag.WriteProperty("caption", std::string("&Help"), std::string("Command"));
    bag.WriteProperty("visible", int32_t{0}, int32_t{1});
    FakeCommandHost host;
    CommandLogic settled(host);
    settled.ReadProperties(bag, kFormFont);
    EXPECT_EQ(settled.Caption(), "&Help");
    EXPECT_EQ(settled.ButtonState(), 0);
    EXPECT_FALSE(host.opaque);
    EXPECT_FALSE(settled.Enabled()) << "once settled, a stored False stays False";

    // A control that was never saved has FirstRun 0: the first read of Enabled turns it on.
    bag.WriteProperty("FirstRun", int32_t{0}, int32_t{1});
    CommandLogic placed(host);
    placed.ReadProperties(bag, kFormFont);
    EXPECT_FALSE(placed.EnabledField());
    EXPECT_EQ(placed.FirstRun(), 0);
    EXPECT_TRUE(placed.Enabled());
    EXPECT_EQ(placed.FirstRun(), 1);
}

}  // namespace
