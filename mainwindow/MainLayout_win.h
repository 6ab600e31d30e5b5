#pragma once
#include <windows.h>

#include <functional>

#include "buttoncontrol/Command_win.h"
#include "mainwindow/MainLayout.h"
#include "platform/UniqueHandle_win.h"

// The main window's frame. Its size follows from the layout: no sizing
// border, no maximise box.
inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Lets Tab walk into the controls as in a dialog.
inline constexpr DWORD kMainWindowExStyle = WS_EX_CONTROLPARENT;

// Makes every control of the layout a child of window, in Windows' tab
// order and not yet placed. The push buttons are the window's own Commands,
// which buttonFor hands out by id. The window destroys the controls.
void CreateControls(HWND window, const std::function<Command&(ControlId)>& buttonFor);

// The layout's fonts at one DPI. Controls only borrow the font they are
// given, so the window keeps these for as long as the controls show them.
struct LayoutFonts {
    UniqueGdiObj<HFONT> normal, bold, status;
};

// Sizes window for the layout at dpi and puts every control in its place
// with its font; fonts then holds the fonts for dpi.
void LayOut(HWND window, int dpi, LayoutFonts& fonts);
