// startup_bench EXE [RUNS]: starts the program RUNS times and prints the
// median time from CreateProcess to a main window that answers a message,
// and the largest peak working set seen two seconds after a start.
// startup_bench --idle: a Wine process that does nothing, waiting for
// messages that never come: the floor for the idle cost of any program.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

HWND MainWindowOf(DWORD pid) {
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, "Veltrano.frmMain", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid) return h;
    }
    return nullptr;
}

double Ms(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(f.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (std::strcmp(argv[1], "--idle") == 0) {
        for (MSG msg; GetMessageA(&msg, nullptr, 0, 0) > 0;) DispatchMessageA(&msg);
        return 0;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<double> ms;
    SIZE_T peak = 0;
    for (int i = 0; i < runs; ++i) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::vector<char> cmd(argv[1], argv[1] + strlen(argv[1]) + 1);
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
        HWND w = nullptr;
        DWORD_PTR answer = 0;
        for (int tries = 0; tries < 3000; ++tries, Sleep(1)) {
            if ((w = w ? w : MainWindowOf(pi.dwProcessId)) &&
                SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
                break;
        }
        QueryPerformanceCounter(&t1);
        if (w) ms.push_back(Ms(t0, t1));
        Sleep(2000);
        PROCESS_MEMORY_COUNTERS pmc{};
        if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) peak = std::max(peak, pmc.PeakWorkingSetSize);
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    if (ms.empty()) return 1;
    std::sort(ms.begin(), ms.end());
    std::printf("starts %zu median_ms %.1f peak_working_set_kb %zu\n", ms.size(), ms[ms.size() / 2], peak / 1024);
    return 0;
}
