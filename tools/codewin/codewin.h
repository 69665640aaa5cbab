// Messages the sample code window answers, for tests and tools in other
// processes. It records every WM_VSCROLL and WM_HSCROLL it receives, and with
// /wheel every WM_MOUSEWHEEL.
#pragma once
#include <windows.h>

const UINT CW_GETCOUNT = WM_APP + 1;   // -> number of recorded messages
const UINT CW_GETWPARAM = WM_APP + 2;  // wParam: index -> recorded wParam
const UINT CW_GETLPARAM = WM_APP + 3;  // wParam: index -> recorded lParam
const UINT CW_CLEAR = WM_APP + 4;      // forget the record
const UINT CW_BUSY = WM_APP + 5;       // wParam: milliseconds to block the thread (post it)
const UINT CW_GETBAR = WM_APP + 6;     // wParam: pane 0 or 1 -> its scroll bar
const UINT CW_GETTOPLINE = WM_APP + 7; // wParam: pane 0 or 1 -> first visible line
const UINT CW_FOCUS = WM_APP + 8;      // bring to front and take the focus (post it)
const UINT CW_GETMESSAGE = WM_APP + 9; // wParam: index -> recorded message
const UINT CW_GETHBAR = WM_APP + 10;   // wParam: pane 0 or 1 -> its horizontal bar (/hpanes)
