#pragma once

// Lets the window's pending messages run once. Waits that must keep the
// window alive call this between short sleeps.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void PumpPendingEvents() = 0;
};
