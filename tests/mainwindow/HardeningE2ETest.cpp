// The program in a folder named in scripts beyond the ANSI code page, with a
// notepad.exe planted beside it.
#include <gtest/gtest.h>

#include "ProgramDriver.h"

#include <tlhelp32.h>

namespace {

using namespace e2e;

// The Notepads that the program started, as handles that may end them.
std::vector<HANDLE> NotepadsStartedBy(DWORD parent) {
    std::vector<HANDLE> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snapshot, &e); more; more = Process32NextW(snapshot, &e))
        if (e.th32ParentProcessID == parent && lstrcmpiW(e.szExeFile, L"notepad.exe") == 0)
            if (HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, e.th32ProcessID))
                children.push_back(h);
    CloseHandle(snapshot);
    return children;
}

std::wstring ImagePath(HANDLE process) {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, path, &size);
    CharLowerW(path);
    return path;
}

struct Hardening : ::testing::Test {
    void SetUp() override { ClearProgramRegistry(); }
    void TearDown() override { ClearProgramRegistry(); }
};

TEST_F(Hardening, FolderBeyondTheAnsiCodePageWorksAndAPlantedNotepadIsNotStarted) {
    const std::string name = "Veltrano e2e \xCF\x8E\xCF\x81\xCE\xB1 \xE6\x99\x82\xE8\xA8\x88";  // ώρα 時計
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, Wide(name).c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the name must not fit the ANSI code page";

    Program p(name, {"a|a|one", "b|b|two"});
    const std::wstring folder = Wide(p.Folder());
    // Started by bare name, this copy would run instead of Windows' Notepad.
    CopyFileW((folder + L"Veltrano.exe").c_str(), (folder + L"notepad.exe").c_str(), FALSE);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 2) << "the list beside the exe";

    p.Click(kIdChkAutoRun);
    std::wstring run;
    WaitFor(
        [&] {
            wchar_t data[512] = {};
            DWORD size = sizeof data;
            RegGetValueW(HKEY_LOCAL_MACHINE, Wide(kRunKey).c_str(), L"Dravelquin", RRF_RT_REG_SZ, nullptr, data, &size);
            return (run = data) == L"\"" + folder + L"Veltrano.exe\"";
        },
        3000);
    EXPECT_EQ(Utf8(run), "\"" + p.Folder() + "Veltrano.exe\"");

    p.Click(kIdCmdEdit);
    std::vector<HANDLE> started;
    WaitFor([&] { return !(started = NotepadsStartedBy(p.ProcessId())).empty(); }, 5000);
    // Notepad names the file it opened in its title: the quoted path arrived whole.
    const bool opened = WaitFor([] { return FindWindowW(nullptr, L"ntp_servers.txt - Notepad") != nullptr; }, 5000);
    std::vector<std::wstring> images;
    for (HANDLE h : started) {
        images.push_back(ImagePath(h));
        TerminateProcess(h, 0);
        CloseHandle(h);
    }
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    CharLowerW(system);
    EXPECT_EQ(images, std::vector<std::wstring>{std::wstring(system) + L"\\notepad.exe"});
    EXPECT_TRUE(opened);
}

}  // namespace
