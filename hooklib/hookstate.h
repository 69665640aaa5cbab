#pragma once
#include <windows.h>

// The settings the hook procedures read: each field is a single aligned
// 32-bit word, written only by the tray program.
struct SharedHookState {
    volatile LONG scrollCount;
    HWND volatile commanderWindow;
    volatile LONG shiftScroll; // 1: Shift+wheel scrolls sideways
    volatile LONG scrollUnfocused; // 1: served windows scroll without the focus
    volatile LONG ctrlPage; // 1: Ctrl+wheel scrolls a page a notch
};

// One record for every process that maps the library, in the shared section:
// Windows 9x's message hook runs in other processes and must see the tray
// program's settings there.
extern SharedHookState sharedHookState;
// The record the hook procedures and exports use, chosen at process attach by
// the hook in place (installedHookKind), or else by the one this process would
// install: for the message hook the shared one; for the low-level hook each
// process's own, since that hook runs only in the process that installed it,
// and a terminal server's sessions all map the one file.
extern SharedHookState* hookState;
// Beside it in the shared section: the hook as installed and its kind
// (WH_MOUSE_LL, WH_GETMESSAGE or 0), written by the installing process. The
// hook procedures pass the handle to CallNextHookEx, which on Windows 9x needs
// the real handle in every process the library is mapped into.
extern HHOOK volatile installedHook;
extern volatile LONG installedHookKind;
// Per process: the hook this process installed, for removing it; 0 elsewhere.
extern HHOOK hookHandle;
extern HINSTANCE moduleInstance;
// Per process: what sub-notch wheel deltas have added up to so far, always
// less than one notch either way; tilts add up apart from the wheel.
extern int wheelRemainder;
extern int tiltRemainder;
// Per process: calls of the low-level hook, so that the tray program can tell
// a hook that the system dropped from one that is merely idle.
extern volatile LONG hookCallCount;

// Built-in variant: scrolls the focused "VbaWindow" under (x, y), or any one
// there with kForwardUnfocused. `notch` is a direction code with the marks of
// wheelpane.h, kForwardSideways excepted.
int ScrollPaneAt(int notch, int x, int y);
// The same window's pane sideways: SB_LINELEFT or SB_LINERIGHT as WM_HSCROLL.
int ScrollSidewaysAt(int notch, int x, int y);
