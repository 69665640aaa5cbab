// A stand-in for a VBA code window: class "VbaWindow" (or another given with
// /class:NAME), two panes one above the other, each with its own vertical
// "ScrollBar" child, scrolling by lines on WM_VSCROLL messages that name the
// pane's bar. Options: /hbar adds a horizontal bar before the vertical ones,
// /hpanes a horizontal bar at the foot of each pane (scrolled on WM_HSCROLL),
// /third a third vertical bar, /child an edit child that takes the focus,
// /at:X,Y,W,H the window's rectangle, /wheel scrolls the pane under the
// pointer by itself on WM_MOUSEWHEEL, 3 lines a notch, and records it.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "codewin.h"

namespace {

const int kLineCount = 200;
const int kBarWidth = 16;
const int kMaxRecords = 8192;

struct Record {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct CodeWindowState {
    char className[256];
    RECT placement;
    bool horizontalBar;
    bool paneHorizontalBars;
    bool thirdBar;
    bool focusChild;
    bool scrollsOnWheel;
    int wheelSum;
    HWND paneBar[2];
    HWND extraBar;
    HWND horizontal;
    HWND paneHorizontal[2];
    int leftColumn[2];
    HWND child;
    int topLine[2];
    Record records[kMaxRecords];
    int recordCount;
} state;

void ParseOptions(const char* commandLine)
{
    lstrcpyA(state.className, "VbaWindow");
    SetRect(&state.placement, 40, 40, 40 + 520, 40 + 420);
    const char* option = strstr(commandLine, "/class:");
    if (option) {
        sscanf(option + 7, "%255s", state.className);
    }
    option = strstr(commandLine, "/at:");
    int x, y, w, h;
    if (option && sscanf(option + 4, "%d,%d,%d,%d", &x, &y, &w, &h) == 4)
        SetRect(&state.placement, x, y, x + w, y + h);
    state.horizontalBar = strstr(commandLine, "/hbar") != NULL;
    state.paneHorizontalBars = strstr(commandLine, "/hpanes") != NULL;
    state.thirdBar = strstr(commandLine, "/third") != NULL;
    state.focusChild = strstr(commandLine, "/child") != NULL;
    state.scrollsOnWheel = strstr(commandLine, "/wheel") != NULL;
}

int PaneOf(HWND bar)
{
    return bar == state.paneBar[1] || bar == state.paneHorizontal[1] ? 1 : 0;
}

void LayoutPanes(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const int middle = client.bottom / 2;
    const int barX = client.right - kBarWidth;
    MoveWindow(state.paneBar[0], barX, 0, kBarWidth, middle - 2, TRUE);
    MoveWindow(state.paneBar[1], barX, middle + 2, kBarWidth, client.bottom - middle - 2 - kBarWidth, TRUE);
    if (state.horizontal)
        MoveWindow(state.horizontal, 0, client.bottom - kBarWidth, barX, kBarWidth, TRUE);
    if (state.paneHorizontal[0]) {
        MoveWindow(state.paneHorizontal[0], 0, middle - 2 - kBarWidth, barX, kBarWidth, TRUE);
        MoveWindow(state.paneHorizontal[1], 0, client.bottom - kBarWidth, barX, kBarWidth, TRUE);
    }
    if (state.extraBar)
        MoveWindow(state.extraBar, barX - kBarWidth, 0, kBarWidth, client.bottom - kBarWidth, TRUE);
    if (state.child)
        MoveWindow(state.child, 4, client.bottom - kBarWidth - 24, 120, 20, TRUE);
}

HWND MakeBar(HWND window, DWORD style)
{
    return CreateWindowExA(0, "ScrollBar", NULL, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window, NULL,
                           GetModuleHandleA(NULL), NULL);
}

LRESULT OnCreate(HWND window)
{
    // Creation order is Z order: a horizontal bar made first is found first.
    if (state.horizontalBar)
        state.horizontal = MakeBar(window, SBS_HORZ);
    // The lower pane's first, so that the first one found is not the nearest.
    if (state.paneHorizontalBars) {
        state.paneHorizontal[1] = MakeBar(window, SBS_HORZ);
        state.paneHorizontal[0] = MakeBar(window, SBS_HORZ);
    }
    state.paneBar[0] = MakeBar(window, SBS_VERT);
    state.paneBar[1] = MakeBar(window, SBS_VERT);
    if (state.thirdBar)
        state.extraBar = MakeBar(window, SBS_VERT);
    if (state.focusChild)
        state.child = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "child", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window,
                                      NULL, GetModuleHandleA(NULL), NULL);
    for (int pane = 0; pane < 2; ++pane)
        SetScrollRange(state.paneBar[pane], SB_CTL, 0, kLineCount - 1, FALSE);
    LayoutPanes(window);
    return 0;
}

void RecordScroll(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (state.recordCount < kMaxRecords) {
        state.records[state.recordCount].message = message;
        state.records[state.recordCount].wParam = wParam;
        state.records[state.recordCount].lParam = lParam;
        ++state.recordCount;
    }
}

// Moves `pane` to `line`, kept within the text, and shows it.
void ShowPaneLine(HWND window, int pane, int line)
{
    if (line < 0) line = 0;
    if (line > kLineCount - 1) line = kLineCount - 1;
    state.topLine[pane] = line;
    SetScrollPos(state.paneBar[pane], SB_CTL, line, TRUE);
    InvalidateRect(window, NULL, TRUE);
}

LRESULT OnVScroll(HWND window, WPARAM wParam, LPARAM lParam)
{
    RecordScroll(WM_VSCROLL, wParam, lParam);
    const int pane = PaneOf(reinterpret_cast<HWND>(lParam));
    int line = state.topLine[pane];
    switch (LOWORD(wParam)) {
    case SB_LINEUP: line -= 1; break;
    case SB_LINEDOWN: line += 1; break;
    case SB_PAGEUP: line -= 10; break;
    case SB_PAGEDOWN: line += 10; break;
    case SB_THUMBTRACK: line = HIWORD(wParam); break;
    default: return 0;
    }
    ShowPaneLine(window, pane, line);
    return 0;
}

// As a program that handles the wheel: a line for every third of a notch.
LRESULT OnMouseWheel(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (!state.scrollsOnWheel)
        return DefWindowProcA(window, WM_MOUSEWHEEL, wParam, lParam);
    RecordScroll(WM_MOUSEWHEEL, wParam, lParam);
    POINT point = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
    ScreenToClient(window, &point);
    RECT client;
    GetClientRect(window, &client);
    const int pane = point.y >= client.bottom / 2 ? 1 : 0;
    state.wheelSum += static_cast<short>(HIWORD(wParam));
    const int lines = state.wheelSum / (WHEEL_DELTA / 3);
    state.wheelSum -= lines * (WHEEL_DELTA / 3);
    ShowPaneLine(window, pane, state.topLine[pane] - lines);
    return 0;
}

LRESULT OnHScroll(HWND window, WPARAM wParam, LPARAM lParam)
{
    RecordScroll(WM_HSCROLL, wParam, lParam);
    const int pane = PaneOf(reinterpret_cast<HWND>(lParam));
    int column = state.leftColumn[pane];
    switch (LOWORD(wParam)) {
    case SB_LINELEFT: column -= 1; break;
    case SB_LINERIGHT: column += 1; break;
    default: return 0;
    }
    state.leftColumn[pane] = column < 0 ? 0 : column;
    InvalidateRect(window, NULL, TRUE);
    return 0;
}

void PaintPane(HDC dc, int pane, int top, int bottom, int width)
{
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    const int lineHeight = metrics.tmHeight;
    char text[64];
    for (int y = top + 2, line = state.topLine[pane]; y + lineHeight <= bottom && line < kLineCount;
         y += lineHeight, ++line) {
        int length = wsprintfA(text, "%c  line %d: Debug.Print %d", pane ? 'B' : 'A', line + 1, line + 1);
        TextOutA(dc, 6 - state.leftColumn[pane] * metrics.tmAveCharWidth, y, text, length);
    }
    (void)width;
}

LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int middle = client.bottom / 2;
    SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
    PaintPane(dc, 0, 0, middle - 2, client.right - kBarWidth);
    RECT splitter = { 0, middle - 2, client.right, middle + 2 };
    FillRect(dc, &splitter, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    PaintPane(dc, 1, middle + 2, client.bottom - kBarWidth, client.right - kBarWidth);
    EndPaint(window, &paint);
    return 0;
}

LRESULT OnFocusRequest(HWND window)
{
    SetForegroundWindow(window);
    SetFocus(state.child ? state.child : window);
    return 0;
}

LRESULT OnBusy(WPARAM milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
    return 0;
}

LRESULT RecordedField(WPARAM index, UINT field)
{
    if (static_cast<int>(index) >= state.recordCount)
        return -1;
    const Record& record = state.records[index];
    if (field == CW_GETMESSAGE)
        return record.message;
    return field == CW_GETWPARAM ? static_cast<LRESULT>(record.wParam) : record.lParam;
}

LRESULT OnClear()
{
    state.recordCount = 0;
    return 0;
}

LRESULT CALLBACK CodeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: LayoutPanes(window); return 0;
    case WM_VSCROLL: return OnVScroll(window, wParam, lParam);
    case WM_HSCROLL: return OnHScroll(window, wParam, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case CW_GETCOUNT: return state.recordCount;
    case CW_GETWPARAM:
    case CW_GETLPARAM:
    case CW_GETMESSAGE: return RecordedField(wParam, message);
    case CW_CLEAR: return OnClear();
    case CW_BUSY: return OnBusy(wParam);
    case CW_GETBAR: return reinterpret_cast<LRESULT>(state.paneBar[wParam ? 1 : 0]);
    case CW_GETTOPLINE: return state.topLine[wParam ? 1 : 0];
    case CW_GETHBAR: return reinterpret_cast<LRESULT>(state.paneHorizontal[wParam ? 1 : 0]);
    case CW_FOCUS: return OnFocusRequest(window);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ParseOptions(GetCommandLineA());
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CodeWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, IDC_IBEAM);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = state.className;
    RegisterClassA(&windowClass);

    const RECT& at = state.placement;
    HWND window = CreateWindowExA(0, state.className, "Module1 (Code)", WS_OVERLAPPEDWINDOW | WS_VISIBLE, at.left,
                                  at.top, at.right - at.left, at.bottom - at.top, NULL, NULL, instance, NULL);
    if (!window)
        return 1;
    OnFocusRequest(window);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
