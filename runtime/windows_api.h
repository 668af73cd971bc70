// The one way into <windows.h>: lean, without the min/max macros, for Windows 7 and later.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// MinGW's headers default to the newest Windows (0x0A00) before any of ours
// run, so a guarded definition would never take effect: replace it, and the
// headers then offer nothing that Windows 7 lacks.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#undef WINVER
#define WINVER 0x0601
#include <windows.h>
