#include <gtest/gtest.h>

#include "settings/AppFolder.h"

namespace {

TEST(AppFolder, ExactlyOneTrailingBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Tool\\Veltrano.exe", "C:\\Program Files\\Tool\\"}, {"C:\\Veltrano.exe", "C:\\"},
        {"C:/Tools/Veltrano.exe", "C:/Tools\\"}, {"Veltrano.exe", ".\\"},
    };
    for (const auto& [exe, folder] : cases) EXPECT_EQ(AppFolderFromExePath(exe), folder) << exe;
}

}  // namespace
