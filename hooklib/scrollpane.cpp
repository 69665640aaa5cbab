// Built-in pane scrolling: VBA code windows only.
#include "hookstate.h"
#include "../common/wheelpane.h"

// The "VbaWindow" under (x, y) if it holds the focus itself, else null.
static HWND FocusedCodeWindowAt(int x, int y)
{
    POINT point = { x, y };
    HWND window = WindowFromPoint(point);
    if (!window || ClassNameIs(window, "VbaWindow") != 0)
        return NULL;
    return window == ForegroundFocusWindow() ? window : NULL;
}

int ScrollPaneAt(int direction, int x, int y)
{
    HWND window = FocusedCodeWindowAt(x, y);
    if (!window)
        return 0;

    HWND target = PaneScrollBarUnderCursor(window);
    if (!target)
        return 0;

    SendLinePairs(window, WM_VSCROLL, direction, target, hookState->scrollCount);
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

// Served where a vertical notch would be: over a pane of the focused code window.
int ScrollSidewaysAt(int direction, int x, int y)
{
    HWND window = FocusedCodeWindowAt(x, y);
    if (!window || !PaneScrollBarUnderCursor(window))
        return 0;
    SendLinePairs(window, WM_HSCROLL, direction, HorizontalBarBelowCursor(window), SidewaysCount());
    return 1;
}
