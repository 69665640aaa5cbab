// A small host for kestro.dll: installs the wheel hook, optionally sets the
// scroll count and acts as the commander window, and pumps messages until
// its window is closed. Used by the demo and by the end-to-end tests.
// Options: /count:N, /commander, /reply:N, /replydelay:MS, /thread (runs and
// ends a worker thread before installing, as a busy host process would).
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "kestro.h"
#include "hookhost.h"
#include "../../common/wheelpane.h"

namespace {

struct HostState {
    int installed;
    int reply;
    DWORD replyDelay;
    LONG forwardCount;
    WPARAM lastWParam;
    LPARAM lastLParam;
} host;

int OptionValue(const char* commandLine, const char* name, int fallback)
{
    const char* option = strstr(commandLine, name);
    int value = fallback;
    if (option)
        sscanf(option + strlen(name), "%d", &value);
    return value;
}

LRESULT OnWheelForward(WPARAM wParam, LPARAM lParam)
{
    ++host.forwardCount;
    host.lastWParam = wParam;
    host.lastLParam = lParam;
    if (host.replyDelay)
        Sleep(host.replyDelay);
    return host.reply;
}

LRESULT OnSetCommander(HWND window, WPARAM enable)
{
    SetCommander(enable ? window : NULL, kCommanderAccessCode);
    return 0;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_WHEELFORWARD: return OnWheelForward(wParam, lParam);
    case HH_INSTALLED: return host.installed;
    case HH_FORWARDCOUNT: return host.forwardCount;
    case HH_LASTWPARAM: return static_cast<LRESULT>(host.lastWParam);
    case HH_LASTLPARAM: return host.lastLParam;
    case HH_SETREPLY: host.reply = static_cast<int>(wParam); return 0;
    case HH_SETCOMMANDER: return OnSetCommander(window, wParam);
    case HH_SCROLLCOUNT: return GetScrollCount();
    case HH_SETSCROLLCOUNT: return SetScrollCount(static_cast<int>(wParam));
    case HH_SETREPLYDELAY: host.replyDelay = static_cast<DWORD>(wParam); return 0;
    case HH_UNHOOK: return UnhookWindowsHookEx(reinterpret_cast<HHOOK>(wParam));
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI ShortThread(LPVOID)
{
    return 0;
}

void RunShortThread()
{
    HANDLE thread = CreateThread(NULL, 0, ShortThread, NULL, 0, NULL);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* commandLine = GetCommandLineA();
    host.reply = OptionValue(commandLine, "/reply:", 1);
    host.replyDelay = static_cast<DWORD>(OptionValue(commandLine, "/replydelay:", 0));

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "KestroHookHost";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "KestroHookHost", "kestro host", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL,
                                  instance, NULL);
    if (!window)
        return 2;

    if (strstr(commandLine, "/thread"))
        RunShortThread();
    if (strstr(commandLine, "/commander"))
        SetCommander(window, kCommanderAccessCode);
    host.installed = InstallMouseHook(1);
    const int count = OptionValue(commandLine, "/count:", 0);
    if (count)
        SetScrollCount(count);
    if (!host.installed)
        return 3;

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    SetCommander(NULL, kCommanderAccessCode);
    InstallMouseHook(0);
    return 0;
}
