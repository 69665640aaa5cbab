// Built-in pane scrolling: VBA code windows only.
#include "hookstate.h"
#include "../common/wheelpane.h"

// The "VbaWindow" under (x, y) if it holds the focus itself, or without the
// focus when the notch says so; else null.
static HWND ServedCodeWindowAt(int notch, int x, int y)
{
    POINT point = { x, y };
    HWND window = WindowFromPoint(point);
    if (!window || ClassNameIs(window, "VbaWindow") != 0)
        return NULL;
    return ServesUnfocused(notch) || window == ForegroundFocusWindow() ? window : NULL;
}

// A probe notch tests as a notch would and sends nothing.
int ScrollPaneAt(int notch, int x, int y)
{
    HWND window = ServedCodeWindowAt(notch, x, y);
    if (!window)
        return 0;

    HWND target = PaneScrollBarUnderCursor(window);
    if (!target)
        return 0;

    SendLinePairs(window, WM_VSCROLL, NotchDirection(notch), target, NotchCount(notch, hookState->scrollCount));
    return 1;
}

// A pane's horizontal bar runs along its foot: the nearest one whose rows
// reach down to the cursor's height or below. Size boxes are no bars.
static HWND HorizontalBarBelowCursor(HWND window)
{
    POINT cursor;
    if (!GetCursorPos(&cursor))
        return NULL;
    HWND nearest = NULL;
    LONG nearestTop = 0;
    for (HWND bar = FindWindowExA(window, NULL, "ScrollBar", NULL); bar;
         bar = FindWindowExA(window, bar, "ScrollBar", NULL)) {
        RECT rect;
        if ((GetWindowLongA(bar, GWL_STYLE) & (SBS_VERT | SBS_SIZEBOX | SBS_SIZEGRIP)) ||
            !GetWindowRect(bar, &rect) || rect.bottom <= cursor.y)
            continue;
        if (!nearest || rect.top < nearestTop) {
            nearest = bar;
            nearestTop = rect.top;
        }
    }
    return nearest;
}

// Served where a vertical notch would be: over a pane of a served code window.
int ScrollSidewaysAt(int notch, int x, int y)
{
    HWND window = ServedCodeWindowAt(notch, x, y);
    if (!window || !PaneScrollBarUnderCursor(window))
        return 0;
    SendLinePairs(window, WM_HSCROLL, NotchDirection(notch), HorizontalBarBelowCursor(window),
                  NotchCount(notch, SidewaysCount()));
    return 1;
}
