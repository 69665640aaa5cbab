// The tray program's two modal dialogs, as the main window opens them, and
// its message boxes. On the NT line all of them are Unicode windows: their
// Korean texts go from UTF-16 to the screen, never through the ANSI code page,
// so they read right whatever the system's language for non-Unicode programs.
// Windows 9x implements few wide functions; there the dialogs are ANSI windows.
#pragma once
#include <windows.h>

// Settings dialog (resource 129), owned by `owner`; returns DialogBoxParam's result.
INT_PTR ShowSettingsDialog(HWND owner);
// About box (resource 103), owned by `owner`; returns DialogBoxParam's result.
INT_PTR ShowAboutBox(HWND owner);
// A message box with the caption "Velmora5" (AppState.appName) and an OK button.
int ShowMessageBox(HWND owner, const wchar_t* text);
