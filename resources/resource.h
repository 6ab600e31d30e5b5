#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define VELTRANO_VERSION_MAJOR 1
#define VELTRANO_VERSION_MINOR 2
#define VELTRANO_VERSION_BUILD 44

// The window icon (also the notification-area icon and the exe's icon in
// Explorer, being the only one) and the picture Image1 of the options frame.
#define IDI_VELTRANO 1
#define IDB_IMAGE1 310
