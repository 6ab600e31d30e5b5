#pragma once
#include "platform/Shell.h"

class Win32Shell final : public Shell {
public:
    void OpenDocument(const std::string& target) override;
    bool StartCommandLine(const std::string& commandLine) override;
};

// COM on the window's thread, apartment-threaded, for the whole run: some
// of the handlers that ShellExecute hands a document to are COM objects and
// expect it. Made before the first ShellExecute and kept until the end.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_ = false;
};
