#pragma once
#include <cstdint>

// The system colours that a high-contrast theme chooses, in the platform's
// 0x00BBGGRR order.
struct ThemeColours {
    uint32_t buttonFace = 0, buttonText = 0, grayText = 0, highlight = 0;
    bool operator==(const ThemeColours&) const = default;
};

// Whether the user asked Windows for a high-contrast theme, with its
// colours. Outside one the program keeps its own colours, so the colours
// then mean nothing.
struct DisplayTheme {
    bool highContrast = false;
    ThemeColours colours;
    bool operator==(const DisplayTheme&) const = default;
};

// Where a window reads the theme. Windows' own answer cannot be changed
// from a test everywhere, so a control takes it through this.
class ThemeSource {
public:
    virtual ~ThemeSource() = default;
    virtual DisplayTheme Current() = 0;
};
