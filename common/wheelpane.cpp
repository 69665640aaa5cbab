#include "wheelpane.h"

static HWND NextVerticalScrollBar(HWND window, HWND after)
{
    HWND bar = FindWindowExA(window, after, "ScrollBar", NULL);
    while (bar && !(GetWindowLongA(bar, GWL_STYLE) & SBS_VERT))
        bar = FindWindowExA(window, bar, "ScrollBar", NULL);
    return bar;
}

PaneScrollBars FindPaneScrollBars(HWND window)
{
    PaneScrollBars bars;
    bars.first = NextVerticalScrollBar(window, NULL);
    bars.second = bars.first ? NextVerticalScrollBar(window, bars.first) : NULL;
    return bars;
}

HWND PaneScrollBarUnderCursor(HWND window)
{
    PaneScrollBars bars = FindPaneScrollBars(window);
    HWND target = NULL;
    if (IsWindow(bars.second) && IsCursorInPaneBand(window, bars.second))
        target = bars.second;
    if (IsWindow(bars.first) && IsCursorInPaneBand(window, bars.first))
        target = bars.first;
    return target;
}

void ClientRectToScreen(HWND window, RECT* rect)
{
    POINT topLeft = { rect->left, rect->top };
    POINT bottomRight = { rect->right, rect->bottom };
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    rect->left = topLeft.x;
    rect->top = topLeft.y;
    rect->right = bottomRight.x;
    rect->bottom = bottomRight.y;
}

int IsCursorInPaneBand(HWND window, HWND scrollBar)
{
    RECT client;
    RECT band;
    POINT cursor;
    if (!GetClientRect(window, &client) || !GetWindowRect(scrollBar, &band) || !GetCursorPos(&cursor))
        return 0;
    ClientRectToScreen(window, &client);
    band.left = client.left;
    band.right = client.right;
    return PtInRect(&band, cursor) ? 1 : 0;
}

int ClassNameIs(HWND window, const char* name)
{
    char className[256];
    className[0] = 0;
    className[255] = 0;
    if (GetClassNameA(window, className, 255) <= 0 || !name)
        return -1;
    return lstrcmpA(className, name);
}

// No C runtime in the hook library, so no memset.
static void ZeroRecord(void* record, unsigned size)
{
    BYTE* bytes = static_cast<BYTE*>(record);
    for (unsigned i = 0; i < size; ++i)
        bytes[i] = 0;
}

HWND ForegroundFocusWindow()
{
    GUITHREADINFO info;
    ZeroRecord(&info, sizeof info);
    info.cbSize = sizeof info;
    GetGUIThreadInfo(0, &info);
    return info.hwndFocus;
}

// The window whose thread last let a send time out, and that thread. Until
// the window answers the probe sent to it then, notches to it are dropped at
// once: a macro that runs for minutes must not cost every notch its budget.
struct UnansweredWindow {
    HWND window;
    DWORD threadId;
};
static UnansweredWindow unanswered;
DWORD notchBudgetMs = kNotchBudgetMs;

void TakeTestNotchBudget()
{
    char text[8];
    const DWORD length = GetEnvironmentVariableA("VELMORA_TEST_NOTCH_BUDGET_MS", text, sizeof text);
    if (!length || length >= sizeof text)
        return;
    DWORD ms = 0;
    for (DWORD i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return;
        ms = ms * 10 + static_cast<DWORD>(text[i] - '0');
    }
    if (ms > kNotchBudgetMs)
        notchBudgetMs = ms;
}

static void CALLBACK OnProbeAnswered(HWND window, UINT, ULONG_PTR, LRESULT)
{
    if (window == unanswered.window)
        unanswered.window = NULL;
}

// The answer arrives with this thread's next message retrieval, once the
// window's thread has got through what was queued before the probe.
static void MarkUnanswered(HWND window)
{
    const DWORD threadId = GetWindowThreadProcessId(window, NULL);
    if (!threadId)
        return; // gone: nothing to wait for
    unanswered.window = window;
    unanswered.threadId = threadId;
    if (!SendMessageCallbackA(window, WM_NULL, 0, 0, OnProbeAnswered, 0))
        unanswered.window = NULL;
}

BOOL IsAwaitingAnswer(HWND window)
{
    // A destroyed window, or a later one that got its handle value, is not
    // the one that is waited for.
    if (unanswered.window && GetWindowThreadProcessId(unanswered.window, NULL) != unanswered.threadId)
        unanswered.window = NULL;
    return window && window == unanswered.window;
}

static BOOL SendWithin(HWND window, UINT message, WPARAM wParam, HWND scrollBar, DWORD start)
{
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= notchBudgetMs)
        return FALSE;
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutA(window, message, wParam, reinterpret_cast<LPARAM>(scrollBar),
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, notchBudgetMs - elapsed, &reply))
        return TRUE;
    MarkUnanswered(window);
    return FALSE;
}

void SendLinePairs(HWND window, UINT message, int direction, HWND scrollBar, int count)
{
    if (IsAwaitingAnswer(window))
        return;
    const DWORD start = GetTickCount();
    WPARAM step = static_cast<WPARAM>(direction & 0xFFFF);
    if (count == kPageScrollCount) {
        // SB_LINELEFT and SB_PAGELEFT share the numbers of the vertical codes.
        step = direction == SB_LINEUP ? SB_PAGEUP : SB_PAGEDOWN;
        count = 1;
    }
    for (int i = 0; i < count; ++i) {
        if (!SendWithin(window, message, step, scrollBar, start) ||
            !SendWithin(window, message, SB_ENDSCROLL, scrollBar, start))
            return;
    }
}

int SidewaysCount()
{
    UINT chars = 0;
    if (!SystemParametersInfoA(SPI_GETWHEELSCROLLCHARS, 0, &chars, 0))
        return 3;
    return static_cast<int>(chars);
}

BOOL IsPlatformNT()
{
    OSVERSIONINFOA version;
    ZeroRecord(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
