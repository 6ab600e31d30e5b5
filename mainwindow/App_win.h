#pragma once
#include <string>

#include "mainwindow/FrmMain_win.h"
#include "platform/EventPump_win.h"
#include "platform/Registry_win.h"
#include "platform/ServiceClient_win.h"
#include "platform/SettingsStore_win.h"
#include "platform/Shell_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "platform/TlsClient_win.h"

// The program once it is sure to be the only one running: every part built
// and wired to the others here, in the order they depend on each other, then
// start-up driven to the message loop. The window only handles messages.
class App {
public:
    // The theme is Windows' own but for a picture of the window in a theme
    // that Wine cannot switch on.
    App(std::string appFolder, std::string productName, std::string title, ThemeSource& theme);
    // Returns the exit code.
    int Run();

private:
    std::string appFolder_, title_;
    Win32SystemClock clock_;
    Win32Shell shell_;
    Win32EventPump pump_;
    Win32SettingsStore store_;
    Win32Registry registry_;
    Win32ServiceClient timeService_;
    Win32TlsClient tls_;
    FrmMain frmMain_;
};
