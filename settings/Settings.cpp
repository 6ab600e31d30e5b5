#include "settings/Settings.h"

#include <limits>

#include "settings/Conversions.h"

void FillOffsetChooser(ChooserList& cmbOffset) {
    for (const OffsetItem& item : kOffsetItems) cmbOffset.AddItem(item.text);
}

Settings::Settings(SettingsControls controls, SettingsStore& store, Autorun& autorun, EventPump& events)
    : controls_(controls), store_(store), autorun_(autorun), events_(events) {}

std::string Settings::Read(const char* key, const char* defaultText) const {
    return store_.Read(kSettingsApplication, kSettingsSection, key, defaultText);
}

void Settings::Write(const char* key, const std::string& text) {
    // A refused write is not worth a message: the next change rewrites all.
    store_.Write(kSettingsApplication, kSettingsSection, key, text);
}

void Settings::LoadCheckBox(const char* key, CheckBox& box) {
    // A check box knows only clear and checked; any other stored number is
    // refused and the box keeps its state.
    const int16_t value = ToInteger(Read(key, "0"));
    if (value == 0 || value == 1) box.SetValue(value);
}

void Settings::LoadSettings() {
    // Every control set below fires its change handler, and each handler
    // saves; saving now would store the half-loaded controls over the rest.
    settingsLoading_ = true;

    controls_.txtInterval.SetText(Read("Interval", "1"));
    if (ToLong(controls_.txtInterval.Text()) < 1) controls_.txtInterval.SetText("1");

    LoadCheckBox("Auto", controls_.chkAuto);
    LoadCheckBox("AutoRun", controls_.chkAutoRun);
    LoadCheckBox("UseIP", controls_.chkUseIP);

    offsetMinutes_ = ToInteger(Read("Offset", "0"));
    int16_t offsetIndex = kDefaultOffsetIndex;
    for (size_t i = 0; i < kOffsetItems.size(); ++i)
        if (kOffsetItems[i].minutes == offsetMinutes_) offsetIndex = static_cast<int16_t>(i);
    controls_.cmbOffset.SetListIndex(offsetIndex);

    const int32_t serverIndex = ToLong(Read("ServerIndex", "0"));
    if (serverIndex >= std::numeric_limits<int16_t>::min() && serverIndex <= std::numeric_limits<int16_t>::max())
        controls_.cmbServer.SetListIndex(static_cast<int16_t>(serverIndex));

    // Handlers that the updates above queued rather than called run here,
    // while saving is still muted.
    events_.PumpPendingEvents();
    settingsLoading_ = false;
}

void Settings::SaveSettings() {
    if (settingsLoading_) return;

    // The offset chooser reaches OffsetMinutes only here; no selection keeps
    // what was loaded.
    const int16_t offsetIndex = controls_.cmbOffset.ListIndex();
    if (offsetIndex >= 0 && static_cast<size_t>(offsetIndex) < kOffsetItems.size())
        offsetMinutes_ = kOffsetItems[static_cast<size_t>(offsetIndex)].minutes;

    Write("Interval", controls_.txtInterval.Text());
    Write("Auto", std::to_string(controls_.chkAuto.Value()));
    Write("AutoRun", std::to_string(controls_.chkAutoRun.Value()));
    Write("UseIP", std::to_string(controls_.chkUseIP.Value()));
    Write("Offset", std::to_string(offsetMinutes_));
    Write("ServerIndex", std::to_string(controls_.cmbServer.ListIndex()));
    autorun_.UpdateAutorun(controls_.chkAutoRun);
}
