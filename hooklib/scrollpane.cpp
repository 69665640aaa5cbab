// Built-in pane scrolling: VBA code windows only.
#include "hookstate.h"
#include "../common/wheelpane.h"

int ScrollPaneAt(int direction, int x, int y)
{
    POINT point = { x, y };
    HWND window = WindowFromPoint(point);
    if (!window || ClassNameIs(window, "VbaWindow") != 0)
        return 0;
    if (window != ForegroundFocusWindow())
        return 0;

    HWND target = PaneScrollBarUnderCursor(window);
    if (!target)
        return 0;

    SendLinePairs(window, direction, target, sharedHookState.scrollCount);
    return 1;
}
