#include <windows.h>

#include "platform/MessageBox.h"

// MB_SETFOREGROUND: a box asked for from the tray or at start-up has no
// visible window of ours in front to appear over.

void ShowNotice(const std::string& text, const std::string& title) {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_SETFOREGROUND);
}

bool AskOkCancel(const std::string& text, const std::string& title) {
    return MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OKCANCEL | MB_SETFOREGROUND) == IDOK;
}
