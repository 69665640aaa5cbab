// The wheel-hook library's interface, as its one client sees it.
#pragma once
#include <windows.h>

// SetCommander ignores any other code.
const int kCommanderAccessCode = 604287;

extern "C" {
LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam);
void WINAPI SetCommander(HWND window, int accessCode);
int WINAPI InstallMouseHook(int install);
int WINAPI SetScrollCount(int count);
int WINAPI GetScrollCount();
LONG WINAPI GetHookCallCount();
// Shift+wheel sideways: any non-zero value turns it on; returns the 0 or 1 stored.
int WINAPI SetShiftScroll(int enable);
int WINAPI GetShiftScroll();
// Served windows scroll without holding the focus; the same shape.
int WINAPI SetScrollUnfocused(int enable);
int WINAPI GetScrollUnfocused();
// Ctrl+wheel scrolls a page a notch; the same shape.
int WINAPI SetCtrlPage(int enable);
int WINAPI GetCtrlPage();
}
