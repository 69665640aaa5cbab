// The tray program's process-wide state.
#pragma once
#include <windows.h>
#include "../common/wheelpane.h"

// Ordered list of window class names (narrow strings of at most 254 characters),
// each with its own lines per notch.
struct WindowList {
    char** items;
    int count;
    int capacity;
    int* lines; // kDefaultLines, kPageScrollCount or 1 to 50
};

// An entry without lines of its own scrolls the global count.
const int kDefaultLines = 0;

struct AppStateRecord {
    int scrollCount;
    const char* appName;
    const char* scrollBarClass;
    int dragging;
    HWND highlightedWindow;
    HWND pickedWindow;
    HINSTANCE instance;
    HANDLE singleInstanceMutex;
    int backgroundMode;
    WindowList windowList;
    UINT quitMessage;
    int modalOpen;
    int english; // 1: English texts, where Windows does not speak Korean
    WindowList policyWindowList; // served besides windowList, never stored by the program
    int countByPolicy; // 1 while a policy sets the count: every window then scrolls it
};

extern AppStateRecord AppState;

const int kMaxClassNameLength = 254;

// Closes the single-instance mutex once; later calls do nothing.
void CloseInstanceMutex();

void WindowListClear(WindowList* list);
// Appends a copy of `text`, cut to kMaxClassNameLength, with kDefaultLines;
// false when out of memory.
bool WindowListAppend(WindowList* list, const char* text);
int WindowListCount(const WindowList* list);
const char* WindowListAt(const WindowList* list, int index);
// An entry's own lines per notch; kDefaultLines out of range.
int WindowListLinesAt(const WindowList* list, int index);
void WindowListSetLines(WindowList* list, int index, int lines);

// List variant: scrolls a window of a class in AppState.windowList under (x, y).
// `notch` is a direction code with the marks of wheelpane.h, kForwardSideways excepted.
int ScrollPaneAt(int notch, int x, int y);
// The same window sideways: SB_LINELEFT or SB_LINERIGHT as WM_HSCROLL, lParam 0.
int ScrollSidewaysAt(int notch, int x, int y);
