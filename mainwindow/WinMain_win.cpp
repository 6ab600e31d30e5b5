// Which program this process is: the time service, a second copy that only
// says so, or the one program, which App builds and runs.
#include <winsock2.h>
#include <windows.h>

#include "mainwindow/App_win.h"
#include "platform/DisplayTheme_win.h"
#include "platform/InstanceLock_win.h"
#include "platform/MessageBox_win.h"
#include "platform/Process.h"
#include "service/ServiceHost_win.h"
#include "service/SyncRequest.h"
#include "settings/AppFolder.h"
#include "settings/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // Before anything can load a DLL by name.
    LoadDllsFromSystemFolderOnly();
    // Before the instance lock: the service runs beside the tray program.
    if (std::string_view(commandLine) == kServiceSwitch) return RunTimeService();
    ComApartment com;
    // Held for the whole run: a later start finds the name taken.
    InstanceLock instance{std::string(kInstanceLockName)};
    if (instance.AnotherInstanceRunning()) {
        ShowNotice(AlreadyRunningText(), std::string(kAppTitle));
        return 0;
    }
    const ProgramVersion version = RunningProgramVersion();
    App app(InitAppFolder(), version.productName, BuildTitleText(version), SystemTheme::Instance());
    return app.Run();
}
