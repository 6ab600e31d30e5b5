#pragma once
#include <windows.h>

#include <functional>

#include "platform/EventPump.h"

// Runs what is queued for this thread, then returns. The window that owns
// the loop may claim messages first (access keys, Tab between controls), the
// same in its main loop as in the waits that pump here.
class Win32EventPump final : public EventPump {
public:
    using Filter = std::function<bool(MSG&)>;

    void SetFilter(Filter filter) { filter_ = std::move(filter); }
    void PumpPendingEvents() override;
    void Dispatch(MSG& msg);

private:
    Filter filter_;
};
