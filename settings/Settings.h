#pragma once
#include <cstdint>
#include <string>

#include "platform/Controls.h"
#include "platform/EventPump.h"
#include "platform/SettingsStore.h"
#include "settings/Autorun.h"
#include "settings/Offsets.h"

inline constexpr const char* kSettingsApplication = "Veltrano";
inline constexpr const char* kSettingsSection = "General";

// Start-up adds these before the settings are loaded.
void FillOffsetChooser(ChooserList& cmbOffset);

// The option controls of the main window; they are the settings.
struct SettingsControls {
    TextTarget& txtInterval;
    CheckBox& chkAuto;
    CheckBox& chkAutoRun;
    CheckBox& chkUseIP;
    ChooserList& cmbOffset;
    ChooserList& cmbServer;
};

class Settings {
public:
    Settings(SettingsControls controls, SettingsStore& store, Autorun& autorun, EventPump& events);

    // Once, at start-up, after both choosers have their items. Writes nothing.
    void LoadSettings();
    // Every option change and every close request: all six values, then the
    // autorun entry. Does nothing while LoadSettings runs.
    void SaveSettings();

    // What the synchronisation run moves the server's time back by, in
    // minutes. The run keeps a reference to it.
    const int32_t& OffsetMinutes() const { return offsetMinutes_; }
    bool SettingsLoading() const { return settingsLoading_; }

private:
    std::string Read(const char* key, const char* defaultText) const;
    void Write(const char* key, const std::string& text);
    void LoadCheckBox(const char* key, CheckBox& box);

    SettingsControls controls_;
    SettingsStore& store_;
    Autorun& autorun_;
    EventPump& events_;
    int32_t offsetMinutes_ = 0;
    bool settingsLoading_ = false;
};
