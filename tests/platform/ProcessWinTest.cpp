#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/MessageBox.h"
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

// Polls for a shown top-level window of the given class and exact title. A
// dialog is found before it is shown, and its children count as hidden until
// then.
HWND WaitForWindow(const char* cls, const char* title, DWORD milliseconds = 10000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 20) {
        HWND w = FindWindowA(cls, title);
        if (w && IsWindowVisible(w)) return w;
        Sleep(20);
    }
    return nullptr;
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

TEST(Shell, EditorOpensServerListInFolderWithBlanks) {
    const std::string folder = TempFolder() + "Veltrano Test Folder\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string list = folder + "ntp_servers.txt";
    std::ofstream(list, std::ios::binary) << "localhost|127.0.0.1|Time service on this computer\r\n";

    Win32Shell shell;
    ASSERT_TRUE(shell.StartCommandLine(EditServerListCommandLine(folder)));
    // Notepad names the file it opened in its title; with the path cut at
    // the blank it would ask about "...\Veltrano" instead.
    HWND editor = WaitForWindow("Notepad", nullptr);
    ASSERT_TRUE(editor);
    // It shows as "Untitled" first and takes the file's name once it is read.
    char title[256] = {};
    for (int i = 0; i < 250; ++i, Sleep(20)) {
        GetWindowTextA(editor, title, sizeof title);
        if (std::string(title) == "ntp_servers.txt - Notepad") break;
    }
    EXPECT_STREQ(title, "ntp_servers.txt - Notepad");

    // Ended either way: a left-over editor keeps ctest's output pipe open.
    DWORD pid = 0;
    GetWindowThreadProcessId(editor, &pid);
    UniqueKernelHandle p(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    PostMessageA(editor, WM_CLOSE, 0, 0);
    if (p && WaitForSingleObject(p.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(p.get(), 1);
    DeleteFileA(list.c_str());
    RemoveDirectoryA(folder.c_str());
}

// What a message box offers, read off the real dialog, then answered.
struct BoxSeen {
    bool found = false, hasOk = false, hasCancel = false, hasIcon = false, hasText = false;
};

BoxSeen AnswerBox(const char* title, const std::string& text, int answer) {
    BoxSeen seen;
    HWND box = WaitForWindow("#32770", title);
    if (!box) return seen;
    seen.found = true;
    seen.hasOk = GetDlgItem(box, IDOK) != nullptr;
    seen.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
    struct Scan {
        const std::string* text;
        BoxSeen* seen;
    } scan{&text, &seen};
    EnumChildWindows(
        box,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Scan*>(lp);
            char cls[32] = {}, caption[256] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") != 0 || !IsWindowVisible(child)) return TRUE;
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                if (SendMessageA(child, STM_GETICON, 0, 0)) s->seen->hasIcon = true;
            } else if (GetWindowTextA(child, caption, sizeof caption) && *s->text == caption) {
                s->seen->hasText = true;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&scan));
    if (answer == 0)
        PostMessageA(box, WM_CLOSE, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    return seen;
}

TEST(MessageBoxes, NoticeHasOkOnlyAndNoIcon) {
    const std::string text = "Veltrano is already running! Did you check your tray icon area?";
    BoxSeen seen;
    std::thread answer([&] { seen = AnswerBox("Veltrano notice test", text, IDOK); });
    ShowNotice(text, "Veltrano notice test");
    answer.join();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.hasOk);
    EXPECT_FALSE(seen.hasCancel);
    EXPECT_FALSE(seen.hasIcon);
    EXPECT_TRUE(seen.hasText);
}

TEST(MessageBoxes, QuestionIsTrueOnlyForOk) {
    const std::string text = "Do you really want to close this application?";
    struct Case {
        int answer;  // 0: the box is closed
        bool expected;
    } cases[] = {{IDOK, true}, {IDCANCEL, false}, {0, false}};
    for (const auto& c : cases) {
        BoxSeen seen;
        std::thread answer([&] { seen = AnswerBox("Veltrano question test", text, c.answer); });
        const bool result = AskOkCancel(text, "Veltrano question test");
        answer.join();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(result, c.expected) << c.answer;
        EXPECT_TRUE(seen.hasOk && seen.hasCancel);
        EXPECT_FALSE(seen.hasIcon);
        EXPECT_TRUE(seen.hasText);
    }
}

}  // namespace
