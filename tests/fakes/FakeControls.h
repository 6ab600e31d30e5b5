#pragma once
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
