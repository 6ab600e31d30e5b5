// The program's window in a high-contrast theme. Wine cannot switch one on,
// so this theme says it is on; its colours are the system's, which the
// caller sets in the prefix's registry.
#include <winsock2.h>
#include <windows.h>

#include "mainwindow/App_win.h"
#include "platform/DisplayTheme_win.h"
#include "platform/Shell_win.h"
#include "settings/AppFolder.h"
#include "settings/Startup.h"

struct HighContrast final : ThemeSource {
    DisplayTheme Current() override { return {true, SystemColours()}; }
};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ComApartment com;
    HighContrast theme;
    const ProgramVersion version = RunningProgramVersion();
    App app(InitAppFolder(), version.productName, BuildTitleText(version), theme);
    return app.Run();
}
