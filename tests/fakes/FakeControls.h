#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/Controls.h"

// A status line that remembers every text it showed, in order.
class FakeLabel final : public TextTarget {
public:
    void SetText(const std::string& text) override { history.push_back(text); }
    std::string Text() const override { return history.empty() ? std::string() : history.back(); }
    std::vector<std::string> history;
};

class FakeButton final : public EnabledTarget {
public:
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
    bool enabled = true;
};

class FakeChooser final : public ChooserIndex {
public:
    int16_t ListIndex() const override { return index; }
    int16_t index = -1;
};

class FakeCheck final : public CheckValue {
public:
    int Value() const override { return value; }
    int value = 0;
};

// Option controls for the settings. Each calls onChange when its value is
// set, as the real control fires its change handler.
class FakeTextBox final : public TextTarget {
public:
    void SetText(const std::string& t) override {
        text = t;
        if (onChange) onChange();
    }
    std::string Text() const override { return text; }
    std::string text;
    std::function<void()> onChange;
};

class FakeCheckBox final : public CheckBox {
public:
    int Value() const override { return value; }
    void SetValue(int v) override {
        value = v;
        if (onChange) onChange();
    }
    int value = 0;
    std::function<void()> onChange;
};

class FakeList final : public ChooserList {
public:
    int16_t ListIndex() const override { return index; }
    void Clear() override {
        items.clear();
        index = -1;
    }
    void AddItem(const std::string& text) override { items.push_back(text); }
    int32_t ListCount() const override { return static_cast<int32_t>(items.size()); }
    bool SetListIndex(int16_t i) override {
        if (i < -1 || i >= ListCount()) return false;
        index = i;
        if (onChange) onChange();
        return true;
    }
    std::vector<std::string> items;
    int16_t index = -1;
    std::function<void()> onChange;
};
