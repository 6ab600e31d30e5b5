#include <gtest/gtest.h>

#include "settings/AppFolder.h"
#include "settings/Startup.h"

namespace {

TEST(AppFolder, ExactlyOneTrailingBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Tool\\Veltrano.exe", "C:\\Program Files\\Tool\\"}, {"C:\\Veltrano.exe", "C:\\"},
        {"C:\\Tools\\\\Veltrano.exe", "C:\\Tools\\"}, {"\\\\server\\share\\Veltrano.exe", "\\\\server\\share\\"},
        {"C:/Tools/Veltrano.exe", "C:/Tools\\"},      {"Veltrano.exe", ".\\"},
    };
    for (const auto& [exe, folder] : cases) EXPECT_EQ(AppFolderFromExePath(exe), folder) << exe;
}

TEST(BuildTitleText, ThreeBlanksBeforeBuildAndUnsignedNumbers) {
    EXPECT_EQ(BuildTitleText(RunningProgramVersion()), VELTRANO_EXPECTED_TITLE);
    EXPECT_EQ(BuildTitleText({"X", 65535, 65535, 65535}), "X v.65535.65535   (build 65535)");  // not -1
}

}  // namespace
