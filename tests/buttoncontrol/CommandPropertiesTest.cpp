#include <gtest/gtest.h>

#include "buttoncontrol/CommandLogic.h"
#include "fakes/FakeCommandHost.h"

namespace {

const FontDescription kFormFont{"MS Sans Serif", 8.25, 400, false, false, false};

std::vector<std::string> Names(const PropertyBag& bag) {
    std::vector<std::string> n;
    for (const auto& e : bag.Entries()) n.push_back(e.first);
    return n;
}

TEST(CommandProperties, MainWindowButtonStoresOnlyCaptionAndFont) {
    FakeCommandHost host;
    CommandLogic button(host);
    button.Create();
    button.SetCaption("&Check Time");
    PropertyBag bag;
    button.WriteProperties(bag, kFormFont);
    EXPECT_EQ(Names(bag), (std::vector<std::string>{"Caption", "Font"}));
    EXPECT_EQ(button.FirstRun(), 1);

    FakeCommandHost host2;
    CommandLogic loaded(host2);
    loaded.Create();
    loaded.ReadProperties(bag, kFormFont);
    EXPECT_EQ(loaded.Caption(), "&Check Time");
    EXPECT_EQ(loaded.Font(), CommandLogic::DefaultFont());
    EXPECT_TRUE(loaded.EnabledField());
    EXPECT_TRUE(host2.opaque);
    EXPECT_EQ(host2.faces.back().picture, FramePicture::Normal);
}

TEST(CommandProperties, CaptionCommandIsNotStoredAndReadsBackAsCommand1) {
    FakeCommandHost host;
    CommandLogic button(host);
    button.Create();
    PropertyBag bag;
    button.WriteProperties(bag, CommandLogic::DefaultFont());
    EXPECT_TRUE(bag.Entries().empty());
    CommandLogic loaded(host);
    loaded.ReadProperties(bag, CommandLogic::DefaultFont());
    EXPECT_EQ(loaded.Caption(), "Command1");
    EXPECT_EQ(loaded.FirstRun(), 1);
    EXPECT_EQ(loaded.BackgroundOpaque(), true);
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

TEST(CommandProperties, NamesIgnoreCaseAndStoredValuesApply) {
    PropertyBag bag;
    bag.WriteProperty("ENABLED", int32_t{0}, int32_t{-1});
    bag.WriteProperty("caption", std::string("&Help"), std::string("Command"));
    bag.WriteProperty("FontColour", int32_t{0x0000FF}, int32_t{0});
    bag.WriteProperty("visible", int32_t{0}, int32_t{1});
    FakeCommandHost host;
    CommandLogic button(host);
    button.ReadProperties(bag, kFormFont);
    EXPECT_EQ(button.Caption(), "&Help");
    EXPECT_FALSE(button.EnabledField());
    EXPECT_EQ(button.ButtonState(), 0);
    EXPECT_EQ(button.TextColour(), 0xC0C0C0u) << "the repaint after reading sets the state's colour";
    EXPECT_FALSE(host.opaque);
    EXPECT_EQ(button.Visible(), 0);
}

TEST(CommandProperties, FirstReadOfEnabledTurnsANeverSavedButtonOn) {
    PropertyBag bag;
    bag.WriteProperty("Enabled", int32_t{0}, int32_t{-1});
    bag.WriteProperty("FirstRun", int32_t{0}, int32_t{1});
    FakeCommandHost host;
    CommandLogic button(host);
    button.ReadProperties(bag, kFormFont);
    EXPECT_FALSE(button.EnabledField());
    EXPECT_EQ(button.FirstRun(), 0);
    EXPECT_TRUE(button.Enabled());
    EXPECT_TRUE(button.EnabledField());
    EXPECT_EQ(button.FirstRun(), 1);

    // Once settled, a stored False stays False.
    PropertyBag settled;
    settled.WriteProperty("Enabled", int32_t{0}, int32_t{-1});
    CommandLogic other(host);
    other.ReadProperties(settled, kFormFont);
    EXPECT_FALSE(other.Enabled());
}

TEST(CommandProperties, WritingADefaultOverAnEarlierValueRemovesIt) {
    PropertyBag bag;
    bag.WriteProperty("Caption", std::string("&Go"), std::string("Command"));
    bag.WriteProperty("caption", std::string("Command"), std::string("Command"));
    EXPECT_FALSE(bag.Contains("Caption"));
    EXPECT_EQ(PropertyText(bag.ReadProperty("Caption", std::string("Command1"))), "Command1");
}

}  // namespace
