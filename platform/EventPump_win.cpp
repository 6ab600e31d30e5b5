#include "platform/EventPump_win.h"

void Win32EventPump::Dispatch(MSG& msg) {
    if (filter_ && filter_(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void Win32EventPump::PumpPendingEvents() {
    MSG msg;
    // Bounded so that a flood of posted messages cannot keep a wait from
    // checking its own clock.
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            // Leave it for the main loop, which owns the program's ending.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}
