#include "hooktest.h"
#include "wheelpane.h"

namespace {

LRESULT CALLBACK CommanderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Commander* commander = reinterpret_cast<Commander*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (commander && message == WM_WHEELFORWARD) {
        commander->received.push_back({ message, wParam, lParam });
        return commander->reply;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    PaneWindow* pane = reinterpret_cast<PaneWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (pane && (message == WM_VSCROLL || message == WM_HSCROLL)) {
        pane->received.push_back({ message, wParam, lParam });
        if (pane->destroyOnScroll)
            DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterOnce(const char* className, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    if (GetClassInfoA(GetModuleHandleA(NULL), className, &windowClass))
        return;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

} // namespace

Commander::Commander()
{
    RegisterOnce("TestCommander", CommanderProc);
    window = CreateWindowExA(0, "TestCommander", NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, GetModuleHandleA(NULL),
                             NULL);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PaneWindow::PaneWindow(const char* className, const std::vector<DWORD>& barStyles, RECT at)
{
    RegisterOnce(className, PaneWindowProc);
    window = CreateWindowExA(0, className, "panes", WS_POPUP | WS_VISIBLE, at.left, at.top, at.right - at.left,
                             at.bottom - at.top, NULL, NULL, GetModuleHandleA(NULL), this);
    RECT client;
    GetClientRect(window, &client);
    for (size_t i = 0; i < barStyles.size(); ++i) {
        bars.push_back(CreateWindowExA(0, "ScrollBar", NULL, WS_CHILD | WS_VISIBLE | barStyles[i], client.right - 16,
                                       static_cast<int>(40 * i), 16, 38, window, NULL, GetModuleHandleA(NULL), NULL));
    }
    UpdateWindow(window);
}
