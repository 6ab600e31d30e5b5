#include "mainwindow/FrmMain_win.h"

#include <commctrl.h>

#include "platform/MessageBox_win.h"
#include "platform/Process.h"
#include "resources/Addresses.h"
#include "resources/resource.h"
#include "clock/StatusText.h"
#include "serverlist/ServerChooser.h"
#include "serverlist/ServerList.h"
#include "settings/Startup.h"

namespace {

int ButtonIndex(int id) {
    switch (id) {
    case kIdCmdEdit: return 0;
    case kIdCmdReload: return 1;
    case kIdCmdCheckTime: return 2;
    case kIdCmdSynchronize: return 3;
    case kIdCmdDateTimeSettings: return 4;
    case kIdCmdWebsite: return 5;
    case kIdCmdHelp: return 6;
    default: return -1;
    }
}

// The one notification of each control that the window acts on: a click, a
// new choice, a changed text.
int ActionCode(int id) {
    switch (id) {
    case kIdCmbServer:
    case kIdCmbOffset: return CBN_SELCHANGE;
    case kIdTxtInterval: return EN_CHANGE;
    default: return BN_CLICKED;
    }
}

HBRUSH WhiteBrush() {
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

}  // namespace

FrmMain::FrmMain(FrmMainSetup setup, SystemClock& clock, Shell& shell, EventPump& pump, ThemeSource& theme)
    : setup_(std::move(setup)),
      clock_(clock),
      shell_(shell),
      theme_(theme),
      cmdCheckTime_(buttons_[ButtonIndex(kIdCmdCheckTime)]),
      cmdSynchronize_(buttons_[ButtonIndex(kIdCmdSynchronize)]),
      pump_(pump) {}

FrmMain::~FrmMain() {
    DestroyOwnWindow();
    // The class would otherwise keep the icons that go with this object.
    UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
}

bool FrmMain::Load() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto icon = [instance](int size) {
        return UniqueHicon(
            static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VELTRANO), IMAGE_ICON, size, size, 0)));
    };
    icon_ = icon(32);
    smallIcon_ = icon(16);
    picture_.reset(
        static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(IDB_CLOCK_PICTURE), IMAGE_BITMAP, 0, 0, 0)));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FrmMain::WndProc;
    wc.hInstance = instance;
    wc.hIcon = icon_.get();
    wc.hIconSm = smallIcon_.get();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    highContrast_ = theme_.Current().highContrast;
    wc.hbrBackground = Background();
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);

    if (!CreateWindowExA(kMainWindowExStyle, kClassName, "", kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 600, 440,
                         nullptr, nullptr, instance, this))
        return false;
    for (Command& b : buttons_) b.UseTheme(theme_);
    CreateControls(hwnd_.get(), [this](ControlId id) -> Command& { return buttons_[ButtonIndex(id)]; });
    AttachControls();
    LayOut(hwnd_.get(), WindowDpi(hwnd_.get()), fonts_);

    trayIcon_ = std::make_unique<Win32NotifyIcon>(hwnd_.get(), icon_.get(), setup_.trayTip);
    // Without an icon, a window hidden in the tray could not be reached.
    trayIcon_->OnGiveUp([this] {
        if (!IsWindowVisible(hwnd_.get())) Show();
    });
    return true;
}

void FrmMain::Attach(std::optional<FrmMainParts> parts) {
    parts_.reset();
    if (parts) parts_.emplace(*parts);
}

// The logic's view of the controls that CreateControls made.
void FrmMain::AttachControls() {
    auto item = [this](ControlId id) { return GetDlgItem(hwnd_.get(), id); };
    lblInfo_.Attach(item(kIdLblInfo));
    lblTime_.Attach(item(kIdLblTime));
    txtInterval_.Attach(item(kIdTxtInterval));
    cmbServer_.Attach(item(kIdCmbServer));
    cmbOffset_.Attach(item(kIdCmbOffset));
    const std::pair<CheckBoxControl*, ControlId> boxes[] = {
        {&chkAuto_, kIdChkAuto}, {&chkAutoRun_, kIdChkAutoRun}, {&chkUseIP_, kIdChkUseIP}};
    for (auto [box, id] : boxes) {
        box->Attach(item(id));
        SetWindowSubclass(box->Hwnd(), &FrmMain::CheckBoxProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

bool FrmMain::PreTranslate(MSG& msg) {
    if (Command::TranslateAccessKey(msg)) return true;
    return hwnd_ && IsDialogMessageA(hwnd_.get(), &msg);
}

// The check boxes' KeyUp: any key released while one has the focus saves,
// whether or not the key changed it.
LRESULT CALLBACK FrmMain::CheckBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_KEYUP) {
        auto* self = reinterpret_cast<FrmMain*>(ref);
        if (self->parts_) self->parts_->settings.SaveSettings();
    }
    return result;
}

LRESULT FrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (trayIcon_ && trayIcon_->HandleMessage(msg, wp)) return 0;
    switch (msg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_TIMER:
        if (wp != kTimerTime || !parts_) return 0;
        // Hidden, nobody reads the clock: only the automatic run is due.
        if (IsWindowVisible(hwnd_.get())) parts_->autoSync.TimerTime_Timer();
        else parts_->autoSync.CheckAutoSync();
        return 0;
    case kTrayCallbackMessage:
        Form_MouseMove(lp);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) Form_Deactivate();
        else Form_Activate();
        return 0;
    case WM_SIZE:
        Form_Resize(wp);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        // Not WM_SHOWWINDOW, which SW_SHOWNORMAL does not send. Default
        // handling follows: it sends WM_SIZE.
        const UINT flags = reinterpret_cast<const WINDOWPOS*>(lp)->flags;
        if (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) Form_Visible((flags & SWP_SHOWWINDOW) != 0);
        break;
    }
    case WM_CLOSE:
        Form_QueryUnload(false);
        return 0;
    case WM_QUERYENDSESSION:
        Form_QueryUnload(true);
        return TRUE;
    case WM_ENDSESSION:
        if (wp) Form_Unload();
        windowsClosing_ = false;  // the log-off was called off
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (item.CtlID == kIdImgClock) imgClock_Paint(item);
        return TRUE;
    }
    case WM_DPICHANGED:
        Form_DpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        Form_ThemeChanged(msg, wp, lp);
        return 0;
    }
    return DefWindowProcA(hwnd_.get(), msg, wp, lp);
}

LRESULT FrmMain::OnCtlColor(HDC dc, HWND control) {
    if (highContrast_ || GetDlgCtrlID(control) == kIdLblInfo) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(WhiteBrush());
}

HBRUSH FrmMain::Background() const {
    return highContrast_ ? GetSysColorBrush(COLOR_WINDOW) : WhiteBrush();
}

void FrmMain::OnCommand(int id, int code) {
    if (code != ActionCode(id) || !parts_) return;
    switch (id) {
    case kIdCmdCheckTime:
    case kIdCmdSynchronize: {
        // Disabling the focused button for the run leaves no control with
        // the focus; give it back afterwards so the keyboard still works.
        HWND focus = GetFocus();
        parts_->sync.SyncTime(id == kIdCmdCheckTime ? kCheckOnly : kSetClock, RunBy::User);
        if (!GetFocus() && focus && IsWindowVisible(hwnd_.get()) && GetActiveWindow() == hwnd_.get())
            SetFocus(focus);
        return;
    }
    case kIdCmdReload:
        cmdReload_Click();
        return;
    case kIdCmdEdit:
        shell_.StartCommandLine(EditServerListCommandLine(SystemFolder(), setup_.appFolder));
        return;
    case kIdCmdDateTimeSettings:
        shell_.StartCommandLine(DateTimeCommandLine(SystemFolder()));
        return;
    case kIdCmdHelp:
        shell_.OpenDocument(HelpPageAddress(setup_.appFolder));
        return;
    case kIdCmdWebsite:
        shell_.OpenDocument(std::string(kWebsiteAddress));
        return;
    case kIdChkAuto:
    case kIdChkAutoRun:
    case kIdChkUseIP:
    case kIdCmbServer:
    case kIdCmbOffset:
    case kIdTxtInterval:
        parts_->settings.SaveSettings();
        return;
    }
}

void FrmMain::cmdReload_Click() {
    // Asked of the run, not the socket: between its two queries a check holds
    // no connection, and a list emptied then would leave it nothing to ask.
    if (parts_->run.InProgress()) {
        ShowNotice("Cannot reload servers list - An update operation is in progress!", std::string(kAppTitle),
                   hwnd_.get());
        return;
    }
    LoadServerList(setup_.appFolder, serverTable_);
    FillServerChooser(serverTable_, cmbServer_);
}

bool FrmMain::ConfirmCorrection(const SystemTime& serverTime, int64_t seconds) {
    return ConfirmWarning(CorrectionQuestion(serverTime, seconds), std::string(kAppTitle), hwnd_.get());
}

void FrmMain::Form_Load() {
    TrayOn();
    lblInfo_.SetText("Ready.");
}

// As a dialog does: the focus leaves with the window and comes back to the
// same control, the first one when the window opens. The buttons' hover
// tracking starts here too: it needs the window to have been active once.
void FrmMain::Form_Activate() {
    for (Command& b : buttons_) b.Initialize();
    if (!IsIconic(hwnd_.get())) SetFocus(lastFocus_ ? lastFocus_ : chkAuto_.Hwnd());
}

void FrmMain::Form_Deactivate() {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_.get(), focus)) lastFocus_ = focus;
}

// Hidden, nothing shows the clock or the buttons' hover: the timers slow
// down or stop, and the clock is right again the moment the window returns.
// Nothing can tick chkAuto while the window is hidden, so without automatic
// synchronisation the hidden program needs no timer at all.
void FrmMain::Form_Visible(bool shown) {
    if (!timerTimeOn_) return;
    if (shown || chkAuto_.Value() != 0)
        SetTimer(hwnd_.get(), kTimerTime, shown ? AutoSync::kTimerMilliseconds : AutoSync::kHiddenTimerMilliseconds,
                 nullptr);
    else
        KillTimer(hwnd_.get(), kTimerTime);
    if (shown && parts_) parts_->autoSync.ShowTime();
    if (!shown)
        for (Command& b : buttons_) b.StopPoll();
}

void FrmMain::Form_Resize(WPARAM sizeType) {
    if (sizeType == SIZE_MINIMIZED) ShowWindow(hwnd_.get(), SW_HIDE);
}

// Windows moved the window to a monitor of another DPI and suggests where it
// goes; its size follows from the layout.
void FrmMain::Form_DpiChanged(int dpi, const RECT& suggested) {
    SetWindowPos(hwnd_.get(), nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The buttons make their own caption font; the layout gives the others theirs.
    for (Command& b : buttons_) b.SetDpi(dpi);
    LayOut(hwnd_.get(), dpi, fonts_);
}

// A theme turned on or off, or the system's colours changed: Windows tells
// only top-level windows, so the buttons hear it from here.
void FrmMain::Form_ThemeChanged(UINT msg, WPARAM wp, LPARAM lp) {
    for (Command& b : buttons_) SendMessageA(b.Hwnd(), msg, wp, lp);
    const bool highContrast = theme_.Current().highContrast;
    // Most setting changes are of other settings: nothing to draw again.
    if (highContrast == highContrast_ && msg != WM_SYSCOLORCHANGE) return;
    highContrast_ = highContrast;
    SetClassLongPtrA(hwnd_.get(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(Background()));
    RedrawWindow(hwnd_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The clock picture, stretched to the control at any DPI.
void FrmMain::imgClock_Paint(const DRAWITEMSTRUCT& item) {
    BITMAP bm{};
    if (!GetObject(picture_.get(), sizeof bm, &bm)) return;
    const RECT& r = item.rcItem;
    StretchPieces(item.hDC, picture_.get(), HALFTONE,
                  {{{r.left, r.top, r.right - r.left, r.bottom - r.top}, {0, 0, bm.bmWidth, bm.bmHeight}}});
}

void FrmMain::Form_MouseMove(LPARAM lp) {
    switch (DecodeTrayMessage(IsIconic(hwnd_.get()) != FALSE, static_cast<uint64_t>(lp))) {
    case TrayAction::ShowWindow:
        Show();
        break;
    case TrayAction::OpenMenu:
        switch (ShowTrayMenu(hwnd_.get())) {
        case TrayMenuChoice::Show: mnuShow_Click(); break;
        case TrayMenuChoice::Exit: mnuExit_Click(); break;
        case TrayMenuChoice::None: break;
        }
        break;
    case TrayAction::Nothing:
        break;
    }
}

void FrmMain::Form_QueryUnload(bool windowsClosing) {
    if (parts_) parts_->settings.SaveSettings();
    if (windowsClosing) {
        // Ends the wait of a run that may be under way; the session's end follows.
        windowsClosing_ = true;
        return;
    }
    ShowWindow(hwnd_.get(), SW_MINIMIZE);  // Form_Resize takes it off the screen
}

void FrmMain::Form_Unload() {
    TrayOff();
    EndProgram();
}

void FrmMain::TrayOn() {
    ShowWindow(hwnd_.get(), SW_SHOWMINNOACTIVE);  // minimised and visible: Form_Resize hides it
    pump_.PumpPendingEvents();
    trayIcon_->Add();
}

void FrmMain::TrayOff() { trayIcon_->Remove(); }

void FrmMain::mnuShow_Click() {
    ShowWindow(hwnd_.get(), SW_RESTORE);
    ShowWindow(hwnd_.get(), SW_SHOW);
    RedrawWindow(hwnd_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void FrmMain::mnuExit_Click() {
    if (!AskOkCancel(std::string(kExitQuestion), std::string(kAppTitle), hwnd_.get())) return;
    TrayOff();
    EndProgram();
}

void FrmMain::Show() {
    // The shell lets the icon's owner take the foreground after a click on
    // the icon, so this is not refused as a focus theft.
    ShowWindow(hwnd_.get(), SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_.get());
}

void FrmMain::EnableTimerTime() {
    timerTimeOn_ = true;
    Form_Visible(IsWindowVisible(hwnd_.get()) != FALSE);
}
