// The program's start-up routine: everything is wired together here, in the
// order the parts depend on, and then the program lives on window events.
#include <winsock2.h>
#include <windows.h>

#include "mainwindow/FrmMain_win.h"
#include "platform/InstanceLock_win.h"
#include "platform/MessageBox_win.h"
#include "platform/Process.h"
#include "platform/Shell_win.h"
#include "platform/SystemClock_win.h"
#include "serverlist/ServerChooser.h"
#include "serverlist/ServerList.h"
#include "service/ServiceHost_win.h"
#include "service/SyncRequest.h"
#include "settings/AppFolder.h"
#include "settings/Settings.h"
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
    const std::string appFolder = InitAppFolder();
    const ProgramVersion version = RunningProgramVersion();
    const std::string titleText = BuildTitleText(version);

    Win32SystemClock clock;
    Win32Shell shell;
    FrmMain frmMain({appFolder, version.productName}, clock, shell);
    if (!frmMain.Load()) return 1;
    frmMain.SetCaption(titleText);
    FillOffsetChooser(frmMain.cmbOffset());
    LoadServerList(appFolder, frmMain.serverTable());
    FillServerChooser(frmMain.serverTable(), frmMain.cmbServer());
    frmMain.settings().LoadSettings();
    // Before the timer starts, so no tick can come during this first run.
    if (frmMain.chkAuto().Value() == 1) frmMain.autoSync().RunAutomatic();
    frmMain.EnableTimerTime();
    if (frmMain.chkAutoRun().Value() == 0) frmMain.Show();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!frmMain.PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 0;
}
