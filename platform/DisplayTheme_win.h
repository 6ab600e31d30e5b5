#pragma once
#include "platform/DisplayTheme.h"

// The colours Windows gives those elements now.
ThemeColours SystemColours();

// The theme Windows shows now: SPI_GETHIGHCONTRAST and GetSysColor.
class SystemTheme final : public ThemeSource {
public:
    DisplayTheme Current() override;
    // One for the whole process: it keeps nothing.
    static SystemTheme& Instance();
};
