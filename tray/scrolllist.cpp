// List variant of pane scrolling: the window classes the user or a policy listed.
#include "appstate.h"
#include "../common/wheelpane.h"

// The first entry that names the window's class, or -1.
static int IndexInList(HWND window, const WindowList* list)
{
    const int count = WindowListCount(list);
    for (int i = 0; i < count; ++i) {
        if (ClassNameIs(window, WindowListAt(list, i)) == 0)
            return i;
    }
    return -1;
}

// The user's classes and the policies'.
static bool IsListedWindow(HWND window)
{
    return IndexInList(window, &AppState.windowList) >= 0 || IndexInList(window, &AppState.policyWindowList) >= 0;
}

// A class of the user's own may have its own lines; a class a policy lists,
// or a count a policy sets, leaves the global count in force.
static int LinesFor(HWND window)
{
    if (AppState.countByPolicy || IndexInList(window, &AppState.policyWindowList) >= 0)
        return AppState.scrollCount;
    const int lines = WindowListLinesAt(&AppState.windowList, IndexInList(window, &AppState.windowList));
    return lines == kDefaultLines ? AppState.scrollCount : lines;
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
    SendLinePairs(window, WM_VSCROLL, NotchDirection(notch), target, NotchCount(notch, LinesFor(window)));
    return 1;
}

// Sideways there is no pane bar to name: always the window's own bar.
int ScrollSidewaysAt(int notch, int x, int y)
{
    HWND window = ServedWindowAt(notch, x, y);
    if (!window)
        return 0;
    SendLinePairs(window, WM_HSCROLL, NotchDirection(notch), NULL, NotchCount(notch, SidewaysCount()));
    return 1;
}
