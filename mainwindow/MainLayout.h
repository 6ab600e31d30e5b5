#pragma once
#include <array>
#include <cstdint>

// Where every control of the main window sits, in twips relative to its
// container (the window or one of the four frames), as the window was
// designed. Pixels come from these at the window's own DPI.

enum class ControlKind : uint8_t { Frame, Label, Combo, Check, Edit, Picture, Button };
enum class Container : int8_t { Window = -1, Options = 0, NtpServers = 1, Operations = 2, OtherSettings = 3 };

// Control ids. IDOK (1) and IDCANCEL (2) are what IsDialogMessage sends for
// Enter and Escape, so no control may use them.
enum ControlId : int {
    kIdOptionsFrame = 1001,
    kIdNtpServersFrame,
    kIdOperationsFrame,
    kIdOtherSettingsFrame,
    kIdLblServer,
    kIdCmbServer,
    kIdChkUseIP,
    kIdLblOffset,
    kIdCmbOffset,
    kIdChkAuto,
    kIdTxtInterval,
    kIdLblAuto,
    kIdChkAutoRun,
    kIdImgClock,
    kIdCmdEdit,
    kIdCmdReload,
    kIdLblTimeCaption,
    kIdLblTime,
    kIdCmdCheckTime,
    kIdCmdSynchronize,
    kIdCmdDateTimeSettings,
    kIdLblInfo,
    kIdCmdWebsite,
    kIdCmdHelp,
};

// One control as designed: what it is, where it sits in its container, and
// the text it starts with.
struct ControlPlacement {
    ControlId id;
    ControlKind kind;
    Container in;
    int left, top, width, height;  // twips
    const char* caption;
};

inline constexpr int kClientWidthTwips = 8910;
inline constexpr int kClientHeightTwips = 6210;

// The frames first: the others are placed relative to them.
inline constexpr std::array<ControlPlacement, 4> kFrames{{
    {kIdOptionsFrame, ControlKind::Frame, Container::Window, 210, 0, 8625, 2835, "Options "},
    {kIdNtpServersFrame, ControlKind::Frame, Container::Window, 6060, 2970, 2775, 1485, "NTP Servers "},
    {kIdOperationsFrame, ControlKind::Frame, Container::Window, 210, 2970, 5745, 2475, "Operations "},
    {kIdOtherSettingsFrame, ControlKind::Frame, Container::Window, 6060, 4530, 2745, 915, "Other Settings"},
}};

// The controls that take the focus, in the order that Tab moves it, then
// the ones that never take it. Windows' tab order is the creation order.
inline constexpr std::array<ControlPlacement, 20> kControls{{
    {kIdChkAuto, ControlKind::Check, Container::Options, 300, 1830, 3585, 255, "Automatic synchronization,  each"},
    {kIdTxtInterval, ControlKind::Edit, Container::Options, 3630, 1800, 645, 360, "15"},
    {kIdChkAutoRun, ControlKind::Check, Container::Options, 300, 2280, 3585, 195, "Autorun at system startup"},
    {kIdCmdEdit, ControlKind::Button, Container::NtpServers, 420, 360, 1995, 435, "&Edit Server List"},
    {kIdCmdReload, ControlKind::Button, Container::NtpServers, 420, 870, 1995, 435, "&Reload Server List"},
    {kIdCmdCheckTime, ControlKind::Button, Container::Operations, 570, 1410, 2175, 675, "&Check Time"},
    {kIdCmdSynchronize, ControlKind::Button, Container::Operations, 3120, 1410, 2205, 675, "&Synchronize"},
    {kIdCmdDateTimeSettings, ControlKind::Button, Container::OtherSettings, 420, 330, 1995, 435, "&Date && Time..."},
    {kIdCmbServer, ControlKind::Combo, Container::Options, 990, 300, 7485, 360, ""},
    {kIdChkUseIP, ControlKind::Check, Container::Options, 330, 810, 5475, 255,
     "Use IP address if available ( Recommended )"},
    {kIdCmbOffset, ControlKind::Combo, Container::Options, 3630, 1230, 1695, 360, ""},
    {kIdCmdWebsite, ControlKind::Button, Container::Window, 7470, 5790, 1335, 435, "&Website"},
    {kIdCmdHelp, ControlKind::Button, Container::Window, 6120, 5790, 1335, 435, "&Help"},
    {kIdLblServer, ControlKind::Label, Container::Options, 210, 330, 675, 255, "Server:"},
    {kIdLblOffset, ControlKind::Label, Container::Options, 600, 1290, 3195, 255, "Offset adjustment  (if ever needed)"},
    {kIdLblAuto, ControlKind::Label, Container::Options, 4350, 1830, 1245, 195, "minutes"},
    {kIdImgClock, ControlKind::Picture, Container::Options, 6240, 600, 2250, 2160, ""},
    {kIdLblTimeCaption, ControlKind::Label, Container::Operations, 690, 600, 2085, 285, "Local PC Time:"},
    {kIdLblTime, ControlKind::Label, Container::Operations, 3120, 570, 1635, 345, "#"},
    {kIdLblInfo, ControlKind::Label, Container::Window, 210, 5490, 8595, 285, ""},
}};

// Twips to pixels at dpi, rounded to the nearest pixel: 15 twips a pixel at 96.
constexpr int TwipsToPixels(int twips, int dpi) {
    const int64_t scaled = static_cast<int64_t>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

struct ControlRect {
    int left, top, width, height;
};

// A control's rectangle in the window's client area.
constexpr ControlRect PlaceControl(const ControlPlacement& c, int dpi) {
    int left = c.left, top = c.top;
    if (c.in != Container::Window) {
        const ControlPlacement& frame = kFrames[static_cast<size_t>(c.in)];
        left += frame.left;
        top += frame.top;
    }
    // Right and bottom edges are rounded, not the size, so that neighbours
    // that touch in twips still touch in pixels.
    const int x = TwipsToPixels(left, dpi), y = TwipsToPixels(top, dpi);
    return {x, y, TwipsToPixels(left + c.width, dpi) - x, TwipsToPixels(top + c.height, dpi) - y};
}
