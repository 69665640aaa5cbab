// Messages the dialog host answers, for the tests that drive it.
#pragma once
#include <windows.h>

// Posted to the host's hidden owner window: it takes the mouse capture.
const UINT kStealCapture = WM_APP + 41;
// Posted to the owner: it destroys itself, and with it the dialog it owns,
// as the main window does on the quit message.
const UINT kDestroyOwner = WM_APP + 42;
// Sent to the owner: the host's ANSI code page (GetACP).
const UINT kQueryCodePage = WM_APP + 43;
// Sent to the owner with a control id of the open dialog: which controls made
// it, kFromCommonControls and kThemed or'ed together; -1 for no such control.
const UINT kQueryControl = WM_APP + 44;
const LRESULT kFromCommonControls = 1; // its window procedure lies in comctl32.dll
const LRESULT kThemed = 2;             // it draws with a visual style (GetWindowTheme)
