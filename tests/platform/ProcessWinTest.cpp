#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/Process.h"
#include "platform/Win32InstanceLock.h"
#include "platform/Win32Shell.h"
#include "settings/AppFolder.h"

namespace {

std::string TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(InstanceLock, SecondHolderOfTheNameSeesTheFirst) {
    const std::string name = "Local\\Veltrano.Test." + std::to_string(GetCurrentProcessId());
    {
        InstanceLock first(name);
        EXPECT_FALSE(first.AnotherInstanceRunning());
        InstanceLock second(name);
        EXPECT_TRUE(second.AnotherInstanceRunning());
    }
    // Once the first has ended, a new start is the first again.
    InstanceLock later(name);
    EXPECT_FALSE(later.AnotherInstanceRunning());
}

TEST(EndProgram, EndsAtOnceWithoutWindowHandlers) {
    const std::string folder = AppFolderFromExePath(RunningExePath());
    const std::string log = TempFolder() + "veltrano-end-probe.txt";
    std::string line = "\"" + folder + "end_program_probe.exe\" \"" + log + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadFile(log), "before\n");
    DeleteFileA(log.c_str());
}

TEST(Shell, ProgramThatCannotStartIsReportedNotFatal) {
    Win32Shell shell;
    EXPECT_FALSE(shell.StartCommandLine("veltrano-no-such-program.exe /x"));
    EXPECT_TRUE(shell.StartCommandLine("cmd.exe /c exit 3"));
    // A document that is not there: the call returns and shows nothing.
    shell.OpenDocument(TempFolder() + "veltrano-no-such-page.html");
}

}  // namespace
