#pragma once
#include <windows.h>

#include <string>

// The program's few questions and refusals. A box about a window that is on
// the screen belongs to it: the window takes no input until the box is
// answered, so a second box cannot be opened behind the first. A box about a
// hidden window, or about none, has no owner, so that it shows at all.

// OK only, no icon.
void ShowNotice(const std::string& text, const std::string& title, HWND window = nullptr);

// OK and Cancel, no icon; true only for OK. Closing the box counts as Cancel.
bool AskOkCancel(const std::string& text, const std::string& title, HWND window = nullptr);

// OK and Cancel with a warning, Cancel the default: for a step that is hard
// to take back, so that Enter pressed in passing does not take it.
bool ConfirmWarning(const std::string& text, const std::string& title, HWND window = nullptr);
