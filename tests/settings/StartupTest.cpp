#include <gtest/gtest.h>

#include "settings/AppFolder.h"
#include "settings/Startup.h"

namespace {

TEST(AppFolder, ExactlyOneTrailingBackslash) {
    struct Case {
        const char* exe;
        const char* folder;
    } cases[] = {
        {"C:\\Program Files\\Tool\\Veltrano.exe", "C:\\Program Files\\Tool\\"},
        {"C:\\Veltrano.exe", "C:\\"},
        {"C:\\Tools\\\\Veltrano.exe", "C:\\Tools\\"},
        {"\\\\server\\share\\Veltrano.exe", "\\\\server\\share\\"},
        {"\\\\?\\C:\\Veltrano.exe", "\\\\?\\C:\\"},
        {"C:\\Tools.v2\\Veltrano", "C:\\Tools.v2\\"},
        {"C:/Tools/Veltrano.exe", "C:/Tools\\"},
        {"Veltrano.exe", ".\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(AppFolderFromExePath(c.exe), c.folder) << c.exe;
}

TEST(BuildTitleText, ThreeBlanksBeforeBuildAndNoLeadingZeros) {
    EXPECT_EQ(BuildTitleText({"Korvane Veltrano", 1, 2, 44}), "Korvane Veltrano v.1.2   (build 44)");
    EXPECT_EQ(BuildTitleText({"Korvane Veltrano", 10, 0, 0}), "Korvane Veltrano v.10.0   (build 0)");
    // Version numbers are unsigned 16-bit: the largest is not -1.
    EXPECT_EQ(BuildTitleText({"X", 65535, 65535, 65535}), "X v.65535.65535   (build 65535)");
}

TEST(StartupTexts, AlreadyRunningNamesTheProgram) {
    EXPECT_EQ(AlreadyRunningText(), "Veltrano is already running! Did you check your tray icon area?");
}

}  // namespace
