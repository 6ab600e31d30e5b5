#pragma once
#include <string>

// The program's few questions and refusals. Both boxes have no owner window:
// they must show even while the main window is hidden in the tray.

// OK only, no icon.
void ShowNotice(const std::string& text, const std::string& title);

// OK and Cancel, no icon; true only for OK. Closing the box counts as Cancel.
bool AskOkCancel(const std::string& text, const std::string& title);
