// Helpers shared by the hook-library tests: the sample code window in its own
// process, the real cursor, a commander window that records what it gets, and
// a small in-process window with scroll-bar children of chosen styles.
#pragma once
#include "testsupport.h"
#include "../../tools/codewin/codewin.h"
#include <string>
#include <vector>

// GetProcAddress results as typed functions (through the generic function
// pointer type, which the compiler accepts without a cast warning).
template <class Function>
Function As(FARPROC procedure)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

inline HWND FocusWindow()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(0, &info);
    return info.hwndFocus;
}

// longbudget.cpp's; a test of what the shipped kNotchBudgetMs cuts short sets that.
const DWORD kLongNotchBudgetMs = 5000;

// The sample code window, started in its own process and given the focus.
struct CodeWindow {
    ChildProcess child;
    HWND window = NULL;

    explicit CodeWindow(const std::string& options = "", const char* className = "VbaWindow")
    {
        child = StartChild("codewin.exe", options);
        window = WaitForWindow(className, child.processId);
    }
    ~CodeWindow() { EndChild(child); }
    CodeWindow(const CodeWindow&) = delete;
    CodeWindow& operator=(const CodeWindow&) = delete;

    HWND Bar(int pane) const { return reinterpret_cast<HWND>(SendMessageA(window, CW_GETBAR, pane, 0)); }
    HWND HBar(int pane) const { return reinterpret_cast<HWND>(SendMessageA(window, CW_GETHBAR, pane, 0)); }
    int TopLine(int pane) const { return static_cast<int>(SendMessageA(window, CW_GETTOPLINE, pane, 0)); }
    MessageSequence Record() const { return CodeWindowRecord(window); }
    void Clear() const { SendMessageA(window, CW_CLEAR, 0, 0); }
    // Waits until the code window (or, with /child, its edit child) has the focus.
    bool TakeFocus() const
    {
        PostMessageA(window, CW_FOCUS, 0, 0);
        return WaitUntil([&] {
            HWND focus = FocusWindow();
            return focus && (focus == window || IsChild(window, focus));
        });
    }
    // Blocks the window's thread for `ms` and waits until it stops answering,
    // as a running macro would.
    bool Block(DWORD ms) const
    {
        PostMessageA(window, CW_BUSY, ms, 0);
        DWORD_PTR ignored = 0;
        return WaitUntil([&] { return !SendMessageTimeoutA(window, CW_GETCOUNT, 0, 0, SMTO_NORMAL, 50, &ignored); });
    }
    // Waits until the blocked thread answers again and its answer to any
    // pending probe has come back to this thread.
    void AwaitAnswer() const
    {
        SendMessageA(window, CW_GETCOUNT, 0, 0);
        PumpFor(300);
    }
    // Screen point at the given fraction of the client area.
    POINT At(double fx, double fy) const { return ClientPoint(window, fx, fy); }
    // A point in the upper (0) or lower (1) pane, left of the scroll bars.
    POINT InPane(int pane) const { return At(0.3, pane ? 0.75 : 0.25); }
    // The strip between the panes, covered by neither pane's bar.
    POINT InSplitter() const { return At(0.3, 0.5); }
    bool PointAt(POINT point) const { return MoveCursor(point); }
};

// A message-only window that records WM_WHEELFORWARD and answers `reply`.
struct Commander {
    HWND window = NULL;
    LRESULT reply = 1;
    MessageSequence received;

    Commander();
    ~Commander() { DestroyWindow(window); }
    Commander(const Commander&) = delete;
    Commander& operator=(const Commander&) = delete;
};

// A top-level window of this process with "ScrollBar" children of the given
// styles stacked from the top, each a band of 40 pixels, recording every
// WM_VSCROLL and WM_HSCROLL. With destroyOnScroll it destroys itself on the first one.
struct PaneWindow {
    HWND window = NULL;
    std::vector<HWND> bars;
    MessageSequence received;
    bool destroyOnScroll = false;

    PaneWindow(const char* className, const std::vector<DWORD>& barStyles, RECT at = { 700, 100, 1000, 400 });
    ~PaneWindow()
    {
        if (IsWindow(window))
            DestroyWindow(window);
    }
    PaneWindow(const PaneWindow&) = delete;
    PaneWindow& operator=(const PaneWindow&) = delete;

    bool TakeFocus() const
    {
        SetForegroundWindow(window);
        SetFocus(window);
        return WaitUntil([&] { return FocusWindow() == window; });
    }
    // A point in the band of bar `index`, over the window itself.
    POINT InBand(int index) const { return ClientPointAt(20, 40 * index + 20); }
    POINT ClientPointAt(int x, int y) const
    {
        POINT point = { x, y };
        ClientToScreen(window, &point);
        return point;
    }
};
