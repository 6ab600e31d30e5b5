#include "mainwindow/App_win.h"

#include "clock/AutoSync.h"
#include "clock/SyncRun.h"
#include "mainwindow/SyncPanel.h"
#include "platform/FileAccess.h"
#include "resources/BuiltOn.h"
#include "serverlist/ServerChooser.h"
#include "serverlist/ServerList.h"
#include "service/SyncRequest.h"
#include "settings/Autorun.h"
#include "settings/Settings.h"

App::App(std::string appFolder, std::string productName, std::string title, ThemeSource& theme)
    : appFolder_(std::move(appFolder)),
      title_(std::move(title)),
      timeService_(kServiceName, kMaxReplyBytes, ReplyEnded),
      frmMain_({appFolder_, std::move(productName)}, clock_, shell_, pump_, theme) {}

int App::Run() {
    if (!frmMain_.Load()) return 1;
    Autorun autorun(registry_, appFolder_, WritableOnlyByAdministrators);
    Settings settings(frmMain_.SettingsView(), store_, autorun, pump_);
    Win32Socket winsock1;
    const QueryPacer::Limits limits;  // a person waits as long as the server asks
    SyncRun run({winsock1, clock_, pump_, frmMain_.WindowsClosing(), BuiltOn(), limits, &frmMain_, &timeService_,
                 nullptr, &tls_});
    winsock1.SetEvents(&run);
    SyncPanel panel(frmMain_.SyncView(), frmMain_.serverTable(), settings.OffsetMinutes(), run, clock_);
    AutoSync autoSync(frmMain_.ClockView(), run, panel, clock_);
    frmMain_.Attach(FrmMainParts{settings, run, panel, autoSync});
    pump_.SetFilter([this](MSG& msg) { return frmMain_.PreTranslate(msg); });

    frmMain_.Form_Load();
    frmMain_.SetCaption(title_);
    FillOffsetChooser(frmMain_.cmbOffset());
    LoadServerList(appFolder_, frmMain_.serverTable());
    FillServerChooser(frmMain_.serverTable(), frmMain_.cmbServer());
    settings.LoadSettings();
    // Before the timer starts, so no tick can come during this first run.
    if (frmMain_.chkAuto().Value() == 1) autoSync.RunAutomatic();
    frmMain_.EnableTimerTime();
    if (frmMain_.chkAutoRun().Value() == 0) frmMain_.Show();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!frmMain_.PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // The parts the window hands its messages to go first.
    frmMain_.Attach(std::nullopt);
    return 0;
}
