#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The push button's six frame pictures, in the order of FramePicture.
#define IDB_BUTTON_FIRST 201
#define IDB_BUTTON_NORMAL 201
#define IDB_BUTTON_PRESSED 202
#define IDB_BUTTON_SELECTED 203
#define IDB_BUTTON_HIGHLIGHT 204
#define IDB_BUTTON_HIGHLIGHTSELECT 205
#define IDB_BUTTON_DISABLE 206

// The window icon (also the notification-area icon and the exe's icon in
// Explorer, being the only one) and the clock picture of the options frame
// (imgClock), drawn from ClockPicture.bmp.
#define IDI_VELTRANO 1
#define IDB_CLOCK_PICTURE 310
