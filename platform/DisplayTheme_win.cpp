#include "platform/DisplayTheme_win.h"

#include <windows.h>

ThemeColours SystemColours() {
    return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_GRAYTEXT),
            GetSysColor(COLOR_HIGHLIGHT)};
}

DisplayTheme SystemTheme::Current() {
    DisplayTheme theme;
    HIGHCONTRASTA contrast{sizeof contrast, 0, nullptr};
    // A call that fails says nothing of a theme: the program's own colours stay.
    if (SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0))
        theme.highContrast = (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    if (theme.highContrast) theme.colours = SystemColours();
    return theme;
}

SystemTheme& SystemTheme::Instance() {
    static SystemTheme theme;
    return theme;
}
