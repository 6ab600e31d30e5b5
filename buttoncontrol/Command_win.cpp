#include "buttoncontrol/Command_win.h"

#include <oleacc.h>
#include <windowsx.h>

#include "platform/DisplayTheme_win.h"

#include <new>
#include <type_traits>

namespace {

// Posted to itself, so that a reader's call returns before the click's own
// work (a message box, say) begins.
constexpr UINT kMsgDefaultAction = WM_USER + 1;

HINSTANCE ThisModule() {
    return GetModuleHandleA(nullptr);
}

// oleacc is not a KnownDLL: imported statically it would be looked for beside
// the exe first. Loaded from the system folder, once a reader first asks.
// oleaut32 (for BSTRs) is loaded by oleacc itself.
struct Oleacc {
    decltype(&LresultFromObject) lresultFromObject = nullptr;
    decltype(&AccessibleObjectFromWindow) objectFromWindow = nullptr;
    decltype(&SysAllocString) sysAllocString = nullptr;
};

const Oleacc& OleaccFunctions() {
    static const Oleacc functions = [] {
        Oleacc f;
        const HMODULE dll = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const HMODULE oleaut = dll ? LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) : nullptr;
        if (!dll || !oleaut) return f;
        const auto get = [](HMODULE m, const char* name, auto& fn) {
            using Fn = std::remove_reference_t<decltype(fn)>;
            fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
        };
        get(dll, "LresultFromObject", f.lresultFromObject);
        get(dll, "AccessibleObjectFromWindow", f.objectFromWindow);
        get(oleaut, "SysAllocString", f.sysAllocString);
        if (!f.objectFromWindow || !f.sysAllocString) f.lresultFromObject = nullptr;
        return f;
    }();
    return functions;
}

HRESULT Text(const std::string& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), int(wide.size())));
    *out = OleaccFunctions().sysAllocString(wide.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT Number(LONG value, VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

}  // namespace

// The button as MSAA sees it: one object without children. Readers in other
// processes may keep it after the button is gone; then every call says so.
class CommandAccessible final : public IAccessible {
public:
    explicit CommandAccessible(Command& command) : command_(&command) {}
    void Detach() { command_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible))
            return E_NOINTERFACE;
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    // COM's own threads may take and drop references beside the window's thread.
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = ULONG(InterlockedDecrement(&refs_));
        if (!left) delete this;
        return left;
    }

    // IDispatch: readers call the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!command_) return RPC_E_DISCONNECTED;
        return OleaccFunctions().objectFromWindow(command_->Hwnd(), DWORD(OBJID_WINDOW), __uuidof(IDispatch),
                                                  reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* out) override {
        if (!out) return E_POINTER;
        *out = 0;
        return command_ ? S_OK : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** out) override {
        if (out) *out = nullptr;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        return Read(child, [&] { return Text(command_->Logic().AccessibleName(), out); });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return Read(child, [&] { return Text(command_->Logic().AccessibleShortcut(), out); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return Read(child, [&] { return Text("Press", out); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        return Read(child, [&] { return Number(ROLE_SYSTEM_PUSHBUTTON, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        return Read(child, [&] { return Number(LONG(command_->Logic().AccessibleState(command_->HasFocus())), out); });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!command_) return RPC_E_DISCONNECTED;
        return command_->HasFocus() ? Number(CHILDID_SELF, out) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
        if (!x || !y || !w || !h) return E_POINTER;
        return Read(child, [&] {
            RECT r;
            if (!GetWindowRect(command_->Hwnd(), &r)) return E_FAIL;
            *x = r.left, *y = r.top, *w = r.right - r.left, *h = r.bottom - r.top;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!command_) return RPC_E_DISCONNECTED;
        RECT r;
        const bool inside = GetWindowRect(command_->Hwnd(), &r) && PtInRect(&r, POINT{x, y});
        return inside ? Number(CHILDID_SELF, out) : S_FALSE;
    }
    // Neighbours are the parent's to tell: readers ask it for them.
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT start, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        return Read(start, [] { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return Read(child, [&] { return PostMessageA(command_->Hwnd(), kMsgDefaultAction, 0, 0) ? S_OK : E_FAIL; });
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* out) override { return NotSupported(out); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override { return NotSupported(out); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override { return NotSupported(out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* out, VARIANT, long*) override { return NotSupported(out); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        if (out) out->vt = VT_EMPTY;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

private:
    ~CommandAccessible() = default;

    template <typename F>
    HRESULT Read(const VARIANT& child, F answer) {
        // The window may go before the button object that owns it.
        if (!command_ || !command_->Hwnd()) return RPC_E_DISCONNECTED;
        return IsSelf(child) ? answer() : E_INVALIDARG;
    }
    static HRESULT NotSupported(BSTR* out) {
        if (out) *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }

    Command* command_;
    LONG refs_ = 1;  // the button's own
};

Command::Command() : theme_(&SystemTheme::Instance()), logic_(*this), painter_(ThisModule()) {}

Command::~Command() {
    // The window goes first: its last messages still draw into the face.
    DestroyOwnWindow();
    if (faceDc_ && faceDcOriginal_) SelectObject(faceDc_.get(), faceDcOriginal_);
    if (accessible_) accessible_->Detach(), accessible_->Release();
}

bool Command::RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Command::WndProc;
        wc.hInstance = ThisModule();
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

bool Command::Create(HWND parent, int id, const RECT& rect, const std::string& caption) {
    if (hwnd_ || !RegisterWindowClass()) return false;
    HWND hwnd = CreateWindowExA(0, kClassName, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left,
                                rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), this);
    if (!hwnd) return false;
    SetCaption(caption);
    return true;
}

void Command::SetCaption(const std::string& caption) {
    // The window text carries the caption too, for FindWindowEx.
    if (hwnd_) SetWindowTextA(hwnd_.get(), caption.c_str());
    const std::string name = logic_.AccessibleName();
    logic_.SetCaption(caption);
    if (hwnd_ && logic_.AccessibleName() != name)
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_.get(), OBJID_CLIENT, CHILDID_SELF);
}

void Command::DoDefaultAction() {
    if (logic_.Enabled()) Command_AccessKeyPress();
}

void Command::SetDpi(int dpi) {
    painter_.SetDpi(dpi);
    if (hwnd_) logic_.Repaint();
}

void Command::SetEnabled(bool enabled) {
    // A disabled window gets no pointer or focus and Tab passes it by, as with
    // a standard button. The logic goes first: disabling the focused window
    // takes its focus away, and that loss must find the button already
    // disabled, or it would redraw the resting face and lose the gradient
    // direction that the disabled face keeps.
    logic_.SetEnabled(enabled);
    if (hwnd_) EnableWindow(hwnd_.get(), enabled);
}

LRESULT Command::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_.get();
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        Command_Resize(cs->cx, cs->cy);
        painter_.SetDpi(WindowDpi(hwnd));
        logic_.Create();
        logic_.SetTheme(theme_->Current());
        return 0;
    }
    // Only top-level windows hear of these from Windows; the container hands them on.
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        logic_.SetTheme(theme_->Current());
        return 0;
    case WM_PAINT: {
        PaintDc dc(hwnd);
        Command_Paint(dc.get());
        return 0;
    }
    case WM_PRINTCLIENT:
        Command_Paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Command_Resize(LOWORD(lp), HIWORD(lp));
        logic_.Resize();
        return 0;
    case WM_MOUSEMOVE:
        Command_MouseMove(lp);
        return 0;
    case WM_LBUTTONDOWN:
        Command_MouseDown(kLeftButton);
        return 0;
    case WM_RBUTTONDOWN:
        Command_MouseDown(kRightButton);
        return 0;
    case WM_MBUTTONDOWN:
        Command_MouseDown(kMiddleButton);
        return 0;
    case WM_LBUTTONUP:
        Command_MouseUp(kLeftButton);
        return 0;
    case WM_RBUTTONUP:
        Command_MouseUp(kRightButton);
        return 0;
    case WM_MBUTTONUP:
        Command_MouseUp(kMiddleButton);
        return 0;
    case WM_CAPTURECHANGED:
        // Disabling the button, a menu or another window taking the pointer
        // (WM_CANCELMODE's default lets go too): the release will not come here.
        if (!releasingCapture_) logic_.LostCapture();
        return 0;
    case WM_SETFOCUS:
        hasFocus_ = true;
        logic_.GotFocus();
        NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, CHILDID_SELF);
        NotifyStateChange();
        return 0;
    case WM_KILLFOCUS:
        hasFocus_ = false;
        logic_.LostFocus();
        NotifyStateChange();
        return 0;
    case WM_GETOBJECT:
        return Command_GetObject(wp, lp);
    case kMsgDefaultAction:
        DoDefaultAction();
        return 0;
    case WM_TIMER:
        if (wp == kTmrMouse) logic_.TmrMouseTick();
        return 0;
    case WM_SYSCHAR:
        // Reaches here when this button has the focus and the container's
        // loop does not translate access keys itself.
        if (PressAccessKey(GetAncestor(hwnd, GA_ROOT), static_cast<char>(wp))) return 0;
        break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void Command::Command_Paint(HDC dc) {
    if (faceDc_) {
        BitBlt(dc, 0, 0, width_, height_, faceDc_.get(), 0, 0, SRCCOPY);
        return;
    }
    // No face could be made: show what the container paints behind its children.
    RECT client;
    GetClientRect(hwnd_.get(), &client);
    HWND parent = GetParent(hwnd_.get());
    auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(parent, GCLP_HBRBACKGROUND));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
}

void Command::Command_Resize(int w, int h) {
    if (w == width_ && h == height_ && faceDc_) return;
    width_ = w;
    height_ = h;
    WindowDc screen(nullptr);
    if (!faceDc_) {
        faceDc_.reset(CreateCompatibleDC(screen.get()));
        if (!faceDc_) return;
    }
    UniqueGdiObj<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), w > 0 ? w : 1, h > 0 ? h : 1));
    if (!bitmap) return;
    HGDIOBJ old = SelectObject(faceDc_.get(), bitmap.get());
    if (!faceDcOriginal_) faceDcOriginal_ = old;
    faceBitmap_ = std::move(bitmap);  // the previous bitmap, now deselected, goes here
}

void Command::Command_MouseMove(LPARAM pos) {
    // While the button holds the capture, moves elsewhere arrive too; only a
    // move over the control counts as the pointer entering.
    const POINT p{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    RECT client;
    GetClientRect(hwnd_.get(), &client);
    if (PtInRect(&client, p)) logic_.MouseMove();
}

void Command::Command_MouseDown(int button) {
    if (button == kLeftButton) {
        // Focus first, so the press finds the button in its focused state.
        if (GetFocus() != hwnd_.get()) SetFocus(hwnd_.get());
        // A release after the pointer left still comes here, to be refused.
        SetCapture(hwnd_.get());
    }
    logic_.MouseDown(button);
}

void Command::Command_MouseUp(int button) {
    if (button == kLeftButton && GetCapture() == hwnd_.get()) {
        // The release ends the press itself, click included.
        releasingCapture_ = true;
        ReleaseCapture();
        releasingCapture_ = false;
    }
    logic_.MouseUp(button);
    NotifyStateChange();
}

void Command::Command_AccessKeyPress() {
    // The access key moves the focus here first, as clicking would; otherwise
    // the control that has it would keep showing its own focus.
    if (GetFocus() != hwnd_.get()) SetFocus(hwnd_.get());
    logic_.AccessKeyPress();
}

bool Command::TranslateAccessKey(const MSG& msg) {
    if (msg.message != WM_SYSCHAR || !msg.hwnd) return false;
    return PressAccessKey(GetAncestor(msg.hwnd, GA_ROOT), static_cast<char>(msg.wParam));
}

bool Command::PressAccessKey(HWND topLevel, char key) {
    struct Search {
        char key;
        Command* found;
    } search{key, nullptr};
    EnumChildWindows(
        topLevel,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (lstrcmpA(cls, kClassName) != 0 || !IsWindowVisible(child) || !IsWindowEnabled(child)) return TRUE;
            Command* c = FromWindow(child);
            if (c && c->logic_.HasAccessKey(s->key)) {
                s->found = c;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    search.found->Command_AccessKeyPress();
    return true;
}

LRESULT Command::Command_GetObject(WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_.get();
    const Oleacc& oleacc = OleaccFunctions();
    if (static_cast<DWORD>(lp) != static_cast<DWORD>(OBJID_CLIENT) || !oleacc.lresultFromObject)
        return DefWindowProcA(hwnd, WM_GETOBJECT, wp, lp);
    if (!accessible_) accessible_ = new (std::nothrow) CommandAccessible(*this);
    if (!accessible_) return DefWindowProcA(hwnd, WM_GETOBJECT, wp, lp);
    return oleacc.lresultFromObject(__uuidof(IAccessible), wp, accessible_);
}

void Command::NotifyStateChange() {
    const uint32_t state = logic_.AccessibleState(hasFocus_);
    if (!hwnd_ || state == accessibleState_) return;
    accessibleState_ = state;
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd_.get(), OBJID_CLIENT, CHILDID_SELF);
}

void Command::DrawFace(const FaceDrawing& face) {
    if (!faceDc_) return;
    painter_.Paint(faceDc_.get(), width_, height_, face);
    NotifyStateChange();
    if (hwnd_) {
        InvalidateRect(hwnd_.get(), nullptr, FALSE);
        UpdateWindow(hwnd_.get());
    }
}

void Command::RaiseClick() {
    HWND hwnd = hwnd_.get();
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    const int id = GetDlgCtrlID(hwnd);
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
}

void Command::StartMouseTimer(int intervalMs) {
    // SetTimer with the same id again only resets the interval.
    if (hwnd_) SetTimer(hwnd_.get(), kTmrMouse, static_cast<UINT>(intervalMs), nullptr);
}

WindowRef Command::WindowUnderPointer() {
    POINT p;
    if (!GetCursorPos(&p)) return 0;
    return reinterpret_cast<WindowRef>(WindowFromPoint(p));
}

WindowRef Command::OwnWindow() {
    return reinterpret_cast<WindowRef>(hwnd_.get());
}
