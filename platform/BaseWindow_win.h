#pragma once
#include <windows.h>

#include "platform/UniqueHandle_win.h"

// The window procedure of a class whose windows each belong to one T. The
// object goes to CreateWindowEx as its last argument; from WM_NCCREATE on it
// sits in GWLP_USERDATA, and every message goes to T::HandleMessage (T makes
// BaseWindow<T> a friend). The object owns its window. When the window goes
// first, as children do with their parent, the object lets go of the handle
// at WM_NCDESTROY.
template <typename T>
class BaseWindow {
public:
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

protected:
    BaseWindow() = default;
    // A window still here has outlived T, whose last messages must not reach it.
    ~BaseWindow() {
        if (hwnd_) SetWindowLongPtrA(hwnd_.get(), GWLP_USERDATA, 0);
    }

    // For T's destructor, before the members that its messages touch go. The
    // handle stays valid through the destroy messages; WM_NCDESTROY lets go of it.
    void DestroyOwnWindow() {
        if (hwnd_) DestroyWindow(hwnd_.get());
    }

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            T* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->hwnd_.reset(hwnd);
        }
        T* self = FromWindow(hwnd);
        if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->hwnd_.release();
            return DefWindowProcA(hwnd, msg, wp, lp);
        }
        return self->HandleMessage(msg, wp, lp);
    }

    // Only for windows of T's own class.
    static T* FromWindow(HWND hwnd) { return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

    UniqueHwnd hwnd_;
};
