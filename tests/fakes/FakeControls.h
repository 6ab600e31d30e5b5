#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/Controls.h"

// A status line that remembers every text it showed, in order.
struct FakeLabel final : TextTarget {
    void SetText(const std::string& text) override { history.push_back(text); }
    std::string Text() const override { return history.empty() ? std::string() : history.back(); }
    std::vector<std::string> history;
};

struct FakeButton final : EnabledTarget {
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
    bool enabled = true;
};

// Option controls call onChange when their value is set, as the real ones
// fire their change handlers.
struct FakeTextBox final : TextTarget {
    void SetText(const std::string& t) override { text = t, onChange ? onChange() : void(); }
    std::string Text() const override { return text; }
    std::string text;
    std::function<void()> onChange;
};

struct FakeCheckBox final : CheckBox {
    int Value() const override { return value; }
    void SetValue(int v) override { value = v, onChange ? onChange() : void(); }
    int value = 0;
    std::function<void()> onChange;
};

struct FakeList final : ChooserList {
    int16_t ListIndex() const override { return index; }
    void Clear() override { items.clear(), index = -1; }
    void AddItem(const std::string& text) override { items.push_back(text); }
    int32_t ListCount() const override { return static_cast<int32_t>(items.size()); }
    bool SetListIndex(int16_t i) override {
        if (i < -1 || i >= ListCount()) return false;
        index = i, onChange ? onChange() : void();
        return true;
    }
    std::vector<std::string> items;
    int16_t index = -1;
    std::function<void()> onChange;
};
