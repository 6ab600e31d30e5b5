// Started by ProcessWinTest: writes "before", ends through EndProgram with a
// window still open, and would write what ran afterwards.
#include <windows.h>

#include <cstdio>

#include "platform/Process.h"

namespace {
FILE* out = nullptr;

void Note(const char* what) {
    std::fputs(what, out);
    std::fputs("\n", out);
    std::fflush(out);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) Note("close");
    if (msg == WM_DESTROY) Note("destroy");
    return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !(out = std::fopen(argv[1], "wb"))) return 2;
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VeltranoEndProbe";
    RegisterClassA(&wc);
    CreateWindowExA(0, wc.lpszClassName, "end probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                    wc.hInstance, nullptr);
    Note("before");
    EndProgram();
    Note("after");
    return 3;
}
