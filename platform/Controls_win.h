#pragma once
#include <windows.h>

#include <string>

#include "platform/Controls.h"

// The logic's view of real child windows. Each holds a handle it does not own:
// the window that created the control destroys it.

class WindowText final : public TextTarget {
public:
    explicit WindowText(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void SetText(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
    std::string Text() const override {
        std::string s(static_cast<size_t>(GetWindowTextLengthA(hwnd_)) + 1, '\0');
        s.resize(static_cast<size_t>(GetWindowTextA(hwnd_, s.data(), static_cast<int>(s.size()))));
        return s;
    }

private:
    HWND hwnd_;
};

class ComboList final : public ChooserList {
public:
    explicit ComboList(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    int16_t ListIndex() const override {
        const LRESULT i = SendMessageA(hwnd_, CB_GETCURSEL, 0, 0);
        return i < 0 || i > INT16_MAX ? int16_t{-1} : static_cast<int16_t>(i);
    }
    void Clear() override { SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0); }
    void AddItem(const std::string& text) override {
        SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    int32_t ListCount() const override {
        const LRESULT n = SendMessageA(hwnd_, CB_GETCOUNT, 0, 0);
        return n < 0 ? 0 : static_cast<int32_t>(n);
    }
    bool SetListIndex(int16_t index) override {
        if (index < -1 || index >= ListCount()) return false;
        SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return true;
    }

private:
    HWND hwnd_;
};

class CheckBoxControl final : public CheckBox {
public:
    explicit CheckBoxControl(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    HWND Hwnd() const { return hwnd_; }
    int Value() const override { return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }
    void SetValue(int value) override { SendMessageA(hwnd_, BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0); }

private:
    HWND hwnd_;
};
