#pragma once
#include "FakeControls.h"
#include "settings/Settings.h"

// The option controls faked over a settings store and registry, fake or real.
// Load() is left to the test, which may first hook the controls' handlers.
template <class Store, class Registry, class Pump>
struct SettingsRig {
    FakeTextBox txtInterval;
    FakeCheckBox chkAuto, chkAutoRun, chkUseIP;
    FakeList cmbOffset, cmbServer;
    Store store;
    Registry registry;
    Autorun autorun{registry, "C:\\Veltrano\\", [](const std::string&) { return true; }};
    Pump pump;
    Settings settings{{txtInterval, chkAuto, chkAutoRun, chkUseIP, cmbOffset, cmbServer}, store, autorun, pump};

    SettingsRig() {
        FillOffsetChooser(cmbOffset);
        cmbServer.items = {"a - ", "b - ", "c - "};
    }
    void Load() { settings.LoadSettings(); }
    // The three check boxes as one number: Auto 1, AutoRun 2, UseIP 4.
    int Checks() const { return chkAuto.value + chkAutoRun.value * 2 + chkUseIP.value * 4; }
};
