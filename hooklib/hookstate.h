#pragma once
#include <windows.h>

// One record for every process that maps the library: each field is a single
// aligned 32-bit word, written only by the tray program.
struct SharedHookState {
    volatile LONG scrollCount;
    HWND volatile commanderWindow;
};

extern SharedHookState sharedHookState;
extern HHOOK hookHandle;
extern HINSTANCE moduleInstance;

// Built-in variant: scrolls the focused "VbaWindow" under (x, y).
int ScrollPaneAt(int direction, int x, int y);
