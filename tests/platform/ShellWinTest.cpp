#include <gtest/gtest.h>

#include "platform/Shell_win.h"

// A missing editor or browser must never end or block the program.
TEST(Shell, ProgramThatCannotStartIsReportedNotFatal) {
    EXPECT_FALSE(Win32Shell().StartCommandLine("veltrano-no-such-program.exe /x"));
    EXPECT_TRUE(Win32Shell().StartCommandLine("cmd.exe /c exit 3"));
}
