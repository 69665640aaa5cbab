// Messages the hook host's hidden window answers (class "KestroHookHost").
#pragma once
#include <windows.h>

const UINT HH_INSTALLED = WM_APP + 20;     // -> InstallMouseHook's result at start
const UINT HH_FORWARDCOUNT = WM_APP + 21;  // -> number of WM_WHEELFORWARD received
const UINT HH_LASTWPARAM = WM_APP + 22;    // -> wParam of the last one
const UINT HH_LASTLPARAM = WM_APP + 23;    // -> lParam of the last one
const UINT HH_SETREPLY = WM_APP + 24;      // wParam: reply to give from now on
const UINT HH_SETCOMMANDER = WM_APP + 25;  // wParam: 1 registers this window, 0 clears
const UINT HH_SCROLLCOUNT = WM_APP + 26;   // -> GetScrollCount()
const UINT HH_SETSCROLLCOUNT = WM_APP + 27;// wParam: new count
const UINT HH_SETREPLYDELAY = WM_APP + 28; // wParam: milliseconds to wait before replying
const UINT HH_UNHOOK = WM_APP + 29;        // wParam: a hook handle -> UnhookWindowsHookEx's result here
