#pragma once
#include "platform/Shell.h"

class Win32Shell final : public Shell {
public:
    void OpenDocument(const std::string& target) override;
    bool StartCommandLine(const std::string& commandLine) override;
};
