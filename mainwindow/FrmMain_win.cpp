#include "mainwindow/FrmMain_win.h"

#include <commctrl.h>

#include "platform/MessageBox_win.h"
#include "platform/Process.h"
#include "resources/Addresses.h"
#include "resources/resource.h"
#include "serverlist/ServerChooser.h"
#include "serverlist/ServerList.h"
#include "settings/Startup.h"

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kDropDownPixels = 160;  // the open list of a chooser, at 96 dpi

// Windows 10's per-monitor calls, looked up at run time so the exe still
// starts where they are missing.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <typename Fn>
Fn User32(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

HFONT MakeFont(const char* face, int tenthsOfPoint10, int weight, int dpi) {
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(tenthsOfPoint10, dpi, 72 * 100);
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&lf);
}

// STATIC and BUTTON draw through their parent's DC (CS_PARENTDC), which
// ignores a window region; the copies without it honour the cut-backs of
// ClipOverlaps.
const char* OwnDcClass(const char* base) {
    static const char* const kLabel = "Veltrano.Label";
    static const char* const kCheck = "Veltrano.Check";
    const bool isStatic = lstrcmpA(base, "STATIC") == 0;
    const char* name = isStatic ? kLabel : kCheck;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(GetModuleHandleA(nullptr), name, &wc)) {
        if (!GetClassInfoExA(nullptr, base, &wc)) return base;
        wc.cbSize = sizeof wc;
        wc.style &= ~CS_PARENTDC;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = name;
        if (!RegisterClassExA(&wc)) return base;
    }
    return name;
}

// The build's date, set by CMake as yyyymmdd.
SystemTime BuiltOn() {
    constexpr int kDate = VELTRANO_BUILT_ON;
    SystemTime t;
    t.wYear = kDate / 10000;
    t.wMonth = kDate / 100 % 100;
    t.wDay = kDate % 100;
    return t;
}

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

}  // namespace

FrmMain::FrmMain(FrmMainSetup setup, SystemClock& clock, Shell& shell)
    : setup_(std::move(setup)),
      clock_(clock),
      shell_(shell),
      cmdCheckTime_(buttons_[ButtonIndex(kIdCmdCheckTime)]),
      cmdSynchronize_(buttons_[ButtonIndex(kIdCmdSynchronize)]) {}

FrmMain::~FrmMain() {
    DestroyOwnWindow();
    if (picture_) DeleteObject(picture_);
}

bool FrmMain::Load() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    icon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VELTRANO), IMAGE_ICON, 32, 32, 0));
    picture_ = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(IDB_IMAGE1), IMAGE_BITMAP, 0, 0, 0));
    white_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FrmMain::WndProc;
    wc.hInstance = instance;
    wc.hIcon = icon_;
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VELTRANO), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = white_;
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);

    // WS_EX_CONTROLPARENT lets Tab walk into the controls as in a dialog.
    if (!CreateWindowExA(WS_EX_CONTROLPARENT, kClassName, "", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 600, 440,
                         nullptr, nullptr, instance, this))
        return false;
    dpi_ = WindowDpi();
    CreateControls();
    LayOut(dpi_);

    autorun_ = std::make_unique<Autorun>(registry_, setup_.appFolder);
    settings_ = std::make_unique<Settings>(
        SettingsControls{txtInterval_, chkAuto_, chkAutoRun_, chkUseIP_, cmbOffset_, cmbServer_}, store_, *autorun_,
        pump_);
    winsock1_ = std::make_unique<Win32Socket>();
    syncRun_ = std::make_unique<SyncRun>(
        SyncControls{lblInfo_, cmdCheckTime_, cmdSynchronize_, cmbServer_, chkUseIP_},
        SyncShared{serverTable_, settings_->OffsetMinutes(), windowsClosing_, BuiltOn()}, *winsock1_, clock_, pump_);
    winsock1_->SetEvents(syncRun_.get());
    autoSync_ = std::make_unique<AutoSync>(AutoSyncControls{lblTime_, chkAuto_, txtInterval_}, *syncRun_, clock_);
    trayIcon_ = std::make_unique<Win32NotifyIcon>(hwnd_.get(), icon_, setup_.trayTip);
    // Without an icon, a window hidden in the tray could not be reached.
    trayIcon_->OnGiveUp([this] {
        if (!IsWindowVisible(hwnd_.get())) Show();
    });
    pump_.SetFilter([this](MSG& msg) { return PreTranslate(msg); });

    Form_Load();
    return true;
}

bool FrmMain::PreTranslate(MSG& msg) {
    if (Command::TranslateAccessKey(msg)) return true;
    return hwnd_ && IsDialogMessageA(hwnd_.get(), &msg);
}

int FrmMain::WindowDpi() const {
    if (auto getDpi = User32<GetDpiForWindowFn>("GetDpiForWindow")) return static_cast<int>(getDpi(hwnd_.get()));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void FrmMain::CreateControls() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto child = [&](const char* cls, const ControlPlacement& c, DWORD style, DWORD exStyle = 0) {
        return CreateWindowExA(exStyle, cls, c.caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_.get(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    };
    // Creation order is Windows' tab order, and the frames come last so that
    // they lie beneath the controls they hold.
    for (const ControlPlacement& c : kControls) {
        HWND h = nullptr;
        switch (c.kind) {
        case ControlKind::Check:
            h = child(OwnDcClass("BUTTON"), c, BS_AUTOCHECKBOX | WS_TABSTOP);
            SetWindowSubclass(h, &FrmMain::CheckBoxProc, 0, reinterpret_cast<DWORD_PTR>(this));
            (c.id == kIdChkAuto ? chkAuto_ : c.id == kIdChkAutoRun ? chkAutoRun_ : chkUseIP_).Attach(h);
            break;
        case ControlKind::Edit:
            h = child("EDIT", c, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
            txtInterval_.Attach(h);
            break;
        case ControlKind::Combo:
            h = child("COMBOBOX", c, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
            (c.id == kIdCmbServer ? cmbServer_ : cmbOffset_).Attach(h);
            break;
        case ControlKind::Button:
            buttons_[ButtonIndex(c.id)].Create(hwnd_.get(), c.id, RECT{0, 0, 1, 1}, c.caption);
            SetWindowLongPtrA(buttons_[ButtonIndex(c.id)].Hwnd(), GWL_STYLE,
                              GetWindowLongPtrA(buttons_[ButtonIndex(c.id)].Hwnd(), GWL_STYLE) | WS_TABSTOP);
            break;
        case ControlKind::Picture:
            child("STATIC", c, SS_OWNERDRAW);
            break;
        case ControlKind::Label: {
            DWORD style = SS_NOPREFIX;
            if (c.id == kIdLabel2 || c.id == kIdLabel4) style |= SS_RIGHT;
            if (c.id == kIdLblTime) style |= SS_CENTER | SS_CENTERIMAGE | WS_BORDER;
            if (c.id == kIdLblInfo) style |= SS_CENTERIMAGE | WS_BORDER;
            h = child(OwnDcClass("STATIC"), c, style);
            if (c.id == kIdLblTime) lblTime_.Attach(h);
            if (c.id == kIdLblInfo) lblInfo_.Attach(h);
            break;
        }
        case ControlKind::Frame:
            break;
        }
    }
    for (const ControlPlacement& f : kFrames) child("BUTTON", f, BS_GROUPBOX | WS_CLIPSIBLINGS);
}

void FrmMain::LayOut(int dpi) {
    font_.reset(MakeFont("Arial", 975, FW_NORMAL, dpi));
    boldFont_.reset(MakeFont("Arial", 975, FW_BOLD, dpi));
    statusFont_.reset(MakeFont("Verdana", 825, FW_BOLD, dpi));

    RECT r{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    if (auto adjust = User32<AdjustForDpiFn>("AdjustWindowRectExForDpi"))
        adjust(&r, kWindowStyle, FALSE, WS_EX_CONTROLPARENT, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&r, kWindowStyle, FALSE, WS_EX_CONTROLPARENT);
    SetWindowPos(hwnd_.get(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    auto place = [&](const ControlPlacement& c) {
        HWND h = GetDlgItem(hwnd_.get(), c.id);
        const ControlRect p = PlaceControl(c, dpi);
        HFONT font = font_.get();
        if (c.kind == ControlKind::Frame || c.id == kIdLabel4 || c.id == kIdLblTime) font = boldFont_.get();
        if (c.id == kIdLblInfo) font = statusFont_.get();
        if (c.kind != ControlKind::Button) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        int height = p.height;
        if (c.kind == ControlKind::Combo) {
            // The closed chooser is as high as designed; the window's own
            // height includes the open list.
            SendMessageA(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), p.height - 6);
            height += MulDiv(kDropDownPixels, dpi, 96);
        }
        MoveWindow(h, p.left, p.top, p.width, height, FALSE);
    };
    for (const ControlPlacement& f : kFrames) place(f);
    for (const ControlPlacement& c : kControls) place(c);
    ClipOverlaps(dpi);
    InvalidateRect(hwnd_.get(), nullptr, TRUE);
}

// The design lets some labels and check boxes run under the chooser or the
// text box beside them. Those are windows here, and a label that repaints
// would cover the first letters of its neighbour, so each is cut back to
// what no input control occupies. Their rectangles stay as designed.
void FrmMain::ClipOverlaps(int dpi) {
    for (const ControlPlacement& under : kControls) {
        if (under.kind != ControlKind::Label && under.kind != ControlKind::Check) continue;
        const ControlRect u = PlaceControl(under, dpi);
        HRGN region = CreateRectRgn(0, 0, u.width, u.height);
        bool clipped = false;
        for (const ControlPlacement& over : kControls) {
            if (over.kind != ControlKind::Combo && over.kind != ControlKind::Edit) continue;
            const ControlRect o = PlaceControl(over, dpi);
            RECT a{u.left, u.top, u.left + u.width, u.top + u.height};
            RECT b{o.left, o.top, o.left + o.width, o.top + o.height};
            RECT common;
            if (!IntersectRect(&common, &a, &b)) continue;
            HRGN hole = CreateRectRgn(common.left - u.left, common.top - u.top, common.right - u.left,
                                      common.bottom - u.top);
            CombineRgn(region, region, hole, RGN_DIFF);
            DeleteObject(hole);
            clipped = true;
        }
        // The window owns the region once it is set.
        if (!clipped || !SetWindowRgn(GetDlgItem(hwnd_.get(), under.id), region, FALSE)) DeleteObject(region);
    }
}

// The check boxes' KeyUp: any key released while one has the focus saves,
// whether or not the key changed it.
LRESULT CALLBACK FrmMain::CheckBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_KEYUP) {
        auto* self = reinterpret_cast<FrmMain*>(ref);
        if (self->settings_) self->settings_->SaveSettings();
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
        if (wp == kTimerTime && autoSync_) autoSync_->TimerTime_Timer();
        return 0;
    case kTrayCallbackMessage:
        Form_MouseMove(lp);
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: the focus leaves with the window and comes back
        // to the same control, the first one when the window opens.
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_.get(), focus)) lastFocus_ = focus;
            return 0;
        }
        Form_Activate();
        if (!IsIconic(hwnd_.get())) SetFocus(lastFocus_ ? lastFocus_ : chkAuto_.Hwnd());
        return 0;
    case WM_SIZE:
        Form_Resize(wp);
        return 0;
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
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        if (d->CtlID == kIdImage1 && picture_) {
            HDC mem = CreateCompatibleDC(d->hDC);
            HGDIOBJ old = SelectObject(mem, picture_);
            BITMAP bm{};
            GetObject(picture_, sizeof bm, &bm);
            SetStretchBltMode(d->hDC, HALFTONE);
            StretchBlt(d->hDC, d->rcItem.left, d->rcItem.top, d->rcItem.right - d->rcItem.left,
                       d->rcItem.bottom - d->rcItem.top, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        return TRUE;
    }
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wp);
        const RECT* suggested = reinterpret_cast<const RECT*>(lp);
        SetWindowPos(hwnd_.get(), nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut(dpi_);
        return 0;
    }
    }
    return DefWindowProcA(hwnd_.get(), msg, wp, lp);
}

LRESULT FrmMain::OnCtlColor(HDC dc, HWND control) {
    if (GetDlgCtrlID(control) == kIdLblInfo) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(white_);
}

void FrmMain::OnCommand(int id, int code) {
    switch (id) {
    case kIdCmdCheckTime:
    case kIdCmdSynchronize: {
        if (code != BN_CLICKED) return;
        // Disabling the focused button for the run leaves no control with
        // the focus; give it back afterwards so the keyboard still works.
        HWND focus = GetFocus();
        syncRun_->SyncTime(id == kIdCmdCheckTime, false);
        if (!GetFocus() && focus && IsWindowVisible(hwnd_.get()) && GetActiveWindow() == hwnd_.get()) SetFocus(focus);
        return;
    }
    case kIdCmdReload:
        if (code == BN_CLICKED) cmdReload_Click();
        return;
    case kIdCmdEdit:
        if (code == BN_CLICKED) shell_.StartCommandLine(EditServerListCommandLine(SystemFolder(), setup_.appFolder));
        return;
    case kIdCmdDateTimeSettings:
        if (code == BN_CLICKED) shell_.StartCommandLine(DateTimeCommandLine(SystemFolder()));
        return;
    case kIdCmdHelp:
        if (code == BN_CLICKED) shell_.OpenDocument(HelpPageAddress(setup_.appFolder));
        return;
    case kIdCmdWebsite:
        if (code == BN_CLICKED) shell_.OpenDocument(std::string(kWebsiteAddress));
        return;
    case kIdChkAuto:
    case kIdChkAutoRun:
    case kIdChkUseIP:
        if (code == BN_CLICKED && settings_) settings_->SaveSettings();
        return;
    case kIdCmbServer:
    case kIdCmbOffset:
        if (code == CBN_SELCHANGE && settings_) settings_->SaveSettings();
        return;
    case kIdTxtInterval:
        if (code == EN_CHANGE && settings_) settings_->SaveSettings();
        return;
    }
}

void FrmMain::cmdReload_Click() {
    // Asked of the run, not the socket: between its two queries a check holds
    // no connection, and a list emptied then would leave it nothing to ask.
    if (syncRun_->InProgress()) {
        ShowNotice("Cannot reload servers list - An update operation is in progress!", std::string(kAppTitle), hwnd_.get());
        return;
    }
    LoadServerList(setup_.appFolder, serverTable_);
    FillServerChooser(serverTable_, cmbServer_);
}

void FrmMain::Form_Load() {
    TrayOn();
    lblInfo_.SetText("Ready.");
}

// Starts the buttons' hover tracking; it needs the window to have been active once.
void FrmMain::Form_Activate() {
    for (Command& b : buttons_) b.Initialize();
}

void FrmMain::Form_Resize(WPARAM sizeType) {
    if (sizeType == SIZE_MINIMIZED) ShowWindow(hwnd_.get(), SW_HIDE);
}

void FrmMain::Form_MouseMove(LPARAM lp) {
    switch (DecodeTrayMessage(IsIconic(hwnd_.get()) != FALSE, static_cast<uint64_t>(lp))) {
    case TrayAction::ShowWindow:
        ShowWindowInFront(hwnd_.get());
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
    if (settings_) settings_->SaveSettings();
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

void FrmMain::Show() { ShowWindowInFront(hwnd_.get()); }

void FrmMain::EnableTimerTime() { SetTimer(hwnd_.get(), kTimerTime, AutoSync::kTimerMilliseconds, nullptr); }
