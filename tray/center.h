// Placing a window in the middle of another's client area.
#pragma once
#include <windows.h>

// Moves `window` to the centre of `reference`'s client area, measured from
// the screen origin (callers pass the desktop window).
void CenterWindow(HWND window, HWND reference);
