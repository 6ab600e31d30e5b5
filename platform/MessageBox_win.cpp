#include "platform/MessageBox_win.h"

// MB_SETFOREGROUND: a box asked for from the tray or at start-up has no
// visible window of ours in front to appear over.

namespace {

// A minimised window counts as hidden: its owned windows go with it.
HWND OwnerWhileShown(HWND window) {
    return window && IsWindowVisible(window) && !IsIconic(window) ? window : nullptr;
}

}  // namespace

void ShowNotice(const std::string& text, const std::string& title, HWND window) {
    MessageBoxA(OwnerWhileShown(window), text.c_str(), title.c_str(), MB_OK | MB_SETFOREGROUND);
}

bool AskOkCancel(const std::string& text, const std::string& title, HWND window) {
    return MessageBoxA(OwnerWhileShown(window), text.c_str(), title.c_str(), MB_OKCANCEL | MB_SETFOREGROUND) ==
           IDOK;
}

bool ConfirmWarning(const std::string& text, const std::string& title, HWND window) {
    return MessageBoxA(OwnerWhileShown(window), text.c_str(), title.c_str(),
                       MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND) == IDOK;
}
