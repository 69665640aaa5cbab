// Messages the dialog host answers, for the tests that drive it.
#pragma once
#include <windows.h>

// Posted to the host's hidden owner window: it takes the mouse capture.
const UINT kStealCapture = WM_APP + 41;
// Posted to the owner: it destroys itself, and with it the dialog it owns,
// as the main window does on the quit message.
const UINT kDestroyOwner = WM_APP + 42;
