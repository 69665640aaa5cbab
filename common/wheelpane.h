// Pieces of the pane-scrolling routine that the hook library and the tray
// program both compile in. Nothing here allocates or needs a C runtime.
#pragma once
#include <windows.h>

// Private message from the hook library to its commander window.
const UINT WM_WHEELFORWARD = 0x060A;
// Or'ed into WM_WHEELFORWARD's direction: a sideways notch, SB_LINELEFT or
// SB_LINERIGHT as WM_HSCROLL. Without it the wParam is as it always was.
const WPARAM kForwardSideways = 0x10000;
// Or'ed in as well, with the options on: Ctrl was held (one page pair a notch),
// and the window under the point is served without holding the focus.
const WPARAM kForwardPage = 0x20000;
const WPARAM kForwardUnfocused = 0x40000;
// Or'ed in for a delta that only adds to the sub-notch sum: reply whether the
// window under the point is served, and send it nothing.
const WPARAM kForwardProbe = 0x80000;

// Total time one wheel notch may spend waiting on other threads. The
// low-level hook is dropped by the system when it keeps exceeding its own
// timeout (300 ms by default), so a busy target must never hold us longer.
const DWORD kNotchBudgetMs = 200;
// The budget in force: kNotchBudgetMs in the deliverables. Only tests change
// it, so that a loaded machine cannot cut short a sequence they expect whole.
extern DWORD notchBudgetMs;
// A longer budget from VELMORA_TEST_NOTCH_BUDGET_MS, which only the test
// command sets; anything shorter or not a number leaves the shipped one.
void TakeTestNotchBudget();

struct PaneScrollBars {
    HWND first;
    HWND second;
};

// The first and second vertical "ScrollBar" children of `window`.
PaneScrollBars FindPaneScrollBars(HWND window);

// The pane bar whose band holds the cursor; the first wins when both do.
HWND PaneScrollBarUnderCursor(HWND window);

// 1 when the cursor lies in the horizontal strip of `scrollBar` across the
// client width of `window`.
int IsCursorInPaneBand(HWND window, HWND scrollBar);

void ClientRectToScreen(HWND window, RECT* rect);

// 0 when the class name equals `name`; -1 when unreadable or name is null.
int ClassNameIs(HWND window, const char* name);

// Direction code of a wheel delta: SB_LINEUP for a positive delta, else SB_LINEDOWN.
inline int WheelDirection(short delta) { return delta > 0 ? SB_LINEUP : SB_LINEDOWN; }

// The focus window of the foreground thread, or null.
HWND ForegroundFocusWindow();

// A line count of WHEEL_PAGESCROLL: the user chose "one screen at a time".
const int kPageScrollCount = -1;

// A notch is a direction code with the marks above; these read it.
inline int NotchDirection(int notch) { return notch & 0xFFFF; }
// Pairs a notch sends: one page pair when Ctrl marked it, else `count`.
// A probe sends nothing: its count is 0.
inline int NotchCount(int notch, int count)
{
    return notch & kForwardProbe ? 0 : notch & kForwardPage ? kPageScrollCount : count;
}
// True when the window under the point is served whether it holds the focus or not.
inline bool ServesUnfocused(int notch) { return (notch & kForwardUnfocused) != 0; }

// Sends `count` pairs of (direction, SB_ENDSCROLL) `message` (WM_VSCROLL or
// WM_HSCROLL) to `window` naming `scrollBar`, giving up once the notch budget
// is spent or a send fails (a hung or vanished window). A count of
// kPageScrollCount sends one page pair instead; other counts below 1 send
// nothing. After a send has timed out, it sends nothing to that window until
// the window has answered again.
void SendLinePairs(HWND window, UINT message, int direction, HWND scrollBar, int count);

// Pairs per sideways notch: the system's horizontal wheel setting, or 3
// where the system has none (before Vista, Windows 9x).
int SidewaysCount();

// True while `window` has not yet answered since a send to it timed out.
BOOL IsAwaitingAnswer(HWND window);

BOOL IsPlatformNT();
