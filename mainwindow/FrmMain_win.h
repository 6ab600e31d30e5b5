#pragma once
#include <winsock2.h>
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "buttoncontrol/Command_win.h"
#include "clock/AutoSync.h"
#include "clock/SyncRun.h"
#include "mainwindow/MainLayout_win.h"
#include "mainwindow/SyncPanel.h"
#include "platform/BaseWindow_win.h"
#include "platform/Controls_win.h"
#include "platform/EventPump_win.h"
#include "platform/NotifyIcon_win.h"
#include "platform/Shell.h"
#include "platform/SystemClock.h"
#include "serverlist/ServerEntry.h"
#include "settings/Settings.h"

// What the main window needs from start-up.
struct FrmMainSetup {
    std::string appFolder;  // ends in one backslash
    std::string trayTip;    // the product name
};

// What the window hands its messages to, built by start-up once the window
// has its controls.
struct FrmMainParts {
    Settings& settings;
    const SyncRun& run;  // asked whether a run is in progress
    SyncStarter& sync;   // the two run buttons
    AutoSync& autoSync;  // the timer
};

// The program's one window: the options, the two run buttons, the clock,
// the status line, the tool buttons, the timer and the tray icon. Created
// once, hidden, by start-up; it lives until the program ends. It asks the
// user before a large correction.
class FrmMain : public BaseWindow<FrmMain>, public CorrectionConfirm {
public:
    static constexpr const char* kClassName = "Veltrano.frmMain";
    static constexpr UINT_PTR kTimerTime = 1;

    FrmMain(FrmMainSetup setup, SystemClock& clock, Shell& shell, EventPump& pump, ThemeSource& theme);
    ~FrmMain();

    // Creates the window and its controls without showing it.
    bool Load();
    // Until parts are attached, or once they are gone, messages that would
    // reach them do nothing.
    void Attach(std::optional<FrmMainParts> parts);
    // Puts the window into the tray and says it is ready.
    void Form_Load();
    void SetCaption(const std::string& title) { SetWindowTextA(hwnd_.get(), title.c_str()); }
    // Shown from the tray's minimised state: normal and in front.
    void Show();
    void EnableTimerTime();

    ChooserList& cmbOffset() { return cmbOffset_; }
    ChooserList& cmbServer() { return cmbServer_; }
    ServerTable& serverTable() { return serverTable_; }
    const CheckBoxControl& chkAuto() const { return chkAuto_; }
    const CheckBoxControl& chkAutoRun() const { return chkAutoRun_; }

    // The main loop's translation: access keys of the buttons, then Tab and
    // the other dialog keys.
    bool PreTranslate(MSG& msg);

    // The controls each part works with.
    SettingsControls SettingsView() {
        return {txtInterval_, chkAuto_, chkAutoRun_, chkUseIP_, cmbOffset_, cmbServer_};
    }
    SyncControls SyncView() { return {lblInfo_, cmdCheckTime_, cmdSynchronize_, cmbServer_, chkUseIP_}; }
    AutoSyncControls ClockView() { return {lblTime_, chkAuto_, txtInterval_}; }
    // Set while Windows is closing, which ends a run's waits.
    const bool& WindowsClosing() const { return windowsClosing_; }

private:
    friend class BaseWindow<FrmMain>;
    static LRESULT CALLBACK CheckBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    void AttachControls();

    void Form_Activate();
    void Form_Deactivate();
    void Form_Resize(WPARAM sizeType);
    void Form_Visible(bool shown);
    void Form_DpiChanged(int dpi, const RECT& suggested);
    void Form_ThemeChanged(UINT msg, WPARAM wp, LPARAM lp);
    void Form_MouseMove(LPARAM lp);
    void Form_QueryUnload(bool windowsClosing);
    void Form_Unload();
    void imgClock_Paint(const DRAWITEMSTRUCT& item);
    void OnCommand(int id, int code);
    void cmdReload_Click();
    void TrayOn();
    void TrayOff();
    void mnuShow_Click();
    void mnuExit_Click();
    LRESULT OnCtlColor(HDC dc, HWND control);
    HBRUSH Background() const;
    // Asked by a run from cmdSynchronize, which is InProgress meanwhile: a
    // timer tick in the box's loop starts nothing.
    bool ConfirmCorrection(const SystemTime& serverTime, int64_t seconds) override;

    FrmMainSetup setup_;
    SystemClock& clock_;
    Shell& shell_;
    ThemeSource& theme_;
    HWND lastFocus_ = nullptr;  // the control that had the focus when the window was left
    bool windowsClosing_ = false;
    // The window's own white gives way to the system's colours in a high-contrast theme.
    bool highContrast_ = false;
    // The window class shows both icons and the tray icon borrows the large
    // one, so they outlive the window and the tray icon.
    UniqueHicon icon_, smallIcon_;
    UniqueGdiObj<HBITMAP> picture_;
    LayoutFonts fonts_;

    ServerTable serverTable_;
    WindowText lblInfo_, lblTime_, txtInterval_;
    ComboList cmbServer_, cmbOffset_;
    CheckBoxControl chkAuto_, chkAutoRun_, chkUseIP_;
    std::array<Command, 7> buttons_;
    Command& cmdCheckTime_;
    Command& cmdSynchronize_;
    bool timerTimeOn_ = false;  // from EnableTimerTime on

    EventPump& pump_;
    std::optional<FrmMainParts> parts_;
    std::unique_ptr<Win32NotifyIcon> trayIcon_;
};
