// The tray program's two modal dialogs, as the main window opens them.
#pragma once
#include <windows.h>

// Settings dialog (resource 129), owned by `owner`; returns DialogBoxParamA's result.
INT_PTR ShowSettingsDialog(HWND owner);
// About box (resource 103), owned by `owner`; returns DialogBoxParamA's result.
INT_PTR ShowAboutBox(HWND owner);
