// The tray program's process-wide state.
#pragma once
#include <windows.h>

// Ordered list of window class names (narrow strings of at most 254 characters).
struct WindowList {
    char** items;
    int count;
    int capacity;
};

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
};

extern AppStateRecord AppState;

const int kMaxClassNameLength = 254;

// Closes the single-instance mutex once; later calls do nothing.
void CloseInstanceMutex();

void WindowListClear(WindowList* list);
// Appends a copy of `text`, cut to kMaxClassNameLength; false when out of memory.
bool WindowListAppend(WindowList* list, const char* text);
int WindowListCount(const WindowList* list);
const char* WindowListAt(const WindowList* list, int index);

// List variant: scrolls a window of a class in AppState.windowList under (x, y).
// `notch` is a direction code with the marks of wheelpane.h, kForwardSideways excepted.
int ScrollPaneAt(int notch, int x, int y);
// The same window sideways: SB_LINELEFT or SB_LINERIGHT as WM_HSCROLL, lParam 0.
int ScrollSidewaysAt(int notch, int x, int y);
