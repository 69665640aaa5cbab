// List variant of pane scrolling: the window classes the user listed.
#include "appstate.h"
#include "../common/wheelpane.h"

static bool IsListedWindow(HWND window)
{
    const int count = WindowListCount(&AppState.windowList);
    for (int i = 0; i < count; ++i) {
        if (ClassNameIs(window, WindowListAt(&AppState.windowList, i)) == 0)
            return true;
    }
    return false;
}

static bool HoldsFocus(HWND window)
{
    HWND focus = ForegroundFocusWindow();
    return focus && (focus == window || IsChild(window, focus));
}

int ScrollPaneAt(int direction, int x, int y)
{
    POINT point = { x, y };
    HWND window = WindowFromPoint(point);
    if (!window || !IsListedWindow(window) || !HoldsFocus(window))
        return 0;

    HWND target = PaneScrollBarUnderCursor(window);
    // Without a pane bar the messages look like those of the window's own bar.
    SendLinePairs(window, direction, target, AppState.scrollCount);
    return 1;
}
