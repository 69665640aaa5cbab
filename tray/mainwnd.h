// The hidden main window: owner of the hook's lifetime, the tray icon and
// its menu, and the receiver of forwarded wheel events.
#pragma once

// Tray menu (resource 109) and its commands.
#define IDR_TRAYMENU 109
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_SETTINGS 32772
// Small program icon, shown in the tray.
#define IDI_TRAYICON 108

#ifndef RC_INVOKED
#include <windows.h>

// The shell's notifications about the tray icon.
const UINT WM_TRAYNOTIFY = 0x8064;

void RegisterMainWindowClass(HINSTANCE instance);
// 1 when the window exists (hidden), 0 when it could not be created.
int CreateMainWindow(HINSTANCE instance);
// Registers `window` as the hook library's commander; null clears it.
void SetCommanderWindow(HWND window);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
#endif
