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
// Per process: what sub-notch wheel deltas have added up to so far, always
// less than one notch either way.
extern int wheelRemainder;
// Per process: calls of the low-level hook, so that the tray program can tell
// a hook that the system dropped from one that is merely idle.
extern volatile LONG hookCallCount;

// Built-in variant: scrolls the focused "VbaWindow" under (x, y).
int ScrollPaneAt(int direction, int x, int y);
