// List variant of pane scrolling: the window classes the user or a policy listed.
#include "appstate.h"
#include "../common/wheelpane.h"

static bool IsInList(HWND window, const WindowList* list)
{
    const int count = WindowListCount(list);
    for (int i = 0; i < count; ++i) {
        if (ClassNameIs(window, WindowListAt(list, i)) == 0)
            return true;
    }
    return false;
}

// The user's classes and the policies'.
static bool IsListedWindow(HWND window)
{
    return IsInList(window, &AppState.windowList) || IsInList(window, &AppState.policyWindowList);
}

static bool HoldsFocus(HWND window)
{
    HWND focus = ForegroundFocusWindow();
    return focus && (focus == window || IsChild(window, focus));
}

// The listed window under (x, y) if it or a child of it holds the focus, or
// without the focus when the notch says so.
static HWND ServedWindowAt(int notch, int x, int y)
{
    POINT point = { x, y };
    HWND window = WindowFromPoint(point);
    if (!window || !IsListedWindow(window) || !(ServesUnfocused(notch) || HoldsFocus(window)))
        return NULL;
    return window;
}

int ScrollPaneAt(int notch, int x, int y)
{
    HWND window = ServedWindowAt(notch, x, y);
    if (!window)
        return 0;

    HWND target = PaneScrollBarUnderCursor(window);
    // Without a pane bar the messages look like those of the window's own bar.
    if (!IsProbe(notch))
        SendLinePairs(window, WM_VSCROLL, NotchDirection(notch), target, NotchCount(notch, AppState.scrollCount));
    return 1;
}

// Sideways there is no pane bar to name: always the window's own bar.
int ScrollSidewaysAt(int notch, int x, int y)
{
    HWND window = ServedWindowAt(notch, x, y);
    if (!window)
        return 0;
    if (!IsProbe(notch))
        SendLinePairs(window, WM_HSCROLL, NotchDirection(notch), NULL, NotchCount(notch, SidewaysCount()));
    return 1;
}
