#pragma once
#include <windows.h>

#include "platform/EventPump.h"

// Runs what is queued for this thread, then returns. A dialog-like window
// given here gets its keyboard navigation (Tab, access keys) as in the main loop.
class Win32EventPump final : public EventPump {
public:
    explicit Win32EventPump(HWND dialog = nullptr) : dialog_(dialog) {}
    void SetDialog(HWND dialog) { dialog_ = dialog; }
    void PumpPendingEvents() override;

    // The same translation for the program's main loop.
    bool Dispatch(MSG& msg);

private:
    HWND dialog_;
};
