#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Shell_win.h"

namespace {

// A missing editor or browser must never end or block the program.
TEST(Shell, ProgramThatCannotStartIsReportedNotFatal) {
    Win32Shell shell;
    EXPECT_FALSE(shell.StartCommandLine("veltrano-no-such-program.exe /x"));
    EXPECT_TRUE(shell.StartCommandLine("cmd.exe /c exit 3"));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    shell.OpenDocument(std::string(temp) + "veltrano-no-such-page.html");
}

}  // namespace
