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
// The mouse moved since the last look while the hook saw nothing: install the
// hook again, with the program's own scroll count.
void CheckMouseHook();
