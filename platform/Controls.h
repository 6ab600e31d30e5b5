#pragma once
#include <cstdint>
#include <string>

// The few control members that the logic reads and writes. The main window
// implements them with real controls; tests use plain fakes.

class TextTarget {
public:
    virtual ~TextTarget() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

class EnabledTarget {
public:
    virtual ~EnabledTarget() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

// A drop-down list's selection; -1 when nothing is selected.
class ChooserIndex {
public:
    virtual ~ChooserIndex() = default;
    virtual int16_t ListIndex() const = 0;
};

// A check box: 0 clear, 1 checked.
class CheckValue {
public:
    virtual ~CheckValue() = default;
    virtual int Value() const = 0;
};

// A check box that the settings can also set.
class CheckBox : public CheckValue {
public:
    virtual void SetValue(int value) = 0;
};

// A drop-down list whose items the program builds. Items are only ever
// appended, so item i stays the i-th thing added.
class ChooserList : public ChooserIndex {
public:
    // Removes every item, and with them the selection.
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& text) = 0;
    virtual int32_t ListCount() const = 0;
    // -1 clears the selection. An index that names no item is refused: the
    // result is false and the selection stays as it was.
    virtual bool SetListIndex(int16_t index) = 0;
};
