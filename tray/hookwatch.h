// Keeps the low-level hook alive: the system drops it silently when the
// program's thread once misses the hook time-out (heavy load, sleep, a stall).
#pragma once
#include <windows.h>

// Starts looking every few seconds, on the NT line only: the message hook of
// Windows 9x is never dropped.
void StartHookWatch(HWND window);
void StopHookWatch(HWND window);
// The timer of StartHookWatch has fired.
bool IsHookWatchTimer(WPARAM timer);
// The mouse moved, or its input woke the watch, since the last look while the
// hook saw nothing: install the hook again, with the program's own scroll
// count. A look that saw neither movement nor a hook call puts the watch to
// sleep: no timer until the next mouse input arrives as WM_INPUT.
void CheckMouseHook(HWND window);
// WM_INPUT: the mouse did something while the watch slept; look again.
void WakeHookWatch(HWND window);
