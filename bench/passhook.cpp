// The floor for any hook-based tool: a WH_MOUSE_LL hook that passes every
// event on at once. Sets the ready event once installed and pumps messages
// until WM_QUIT is posted to its thread. With /window its thread also owns a
// hidden window, as a tray program's does.
#include <windows.h>
#include <string.h>
#include "benchshared.h"

static HHOOK passHook;

static LRESULT CALLBACK PassThroughProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(passHook, code, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (strstr(commandLine, "/window")) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = "VelmoraBenchPassHook";
        RegisterClassA(&windowClass);
        CreateWindowExA(0, windowClass.lpszClassName, "passhook", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        300, 240, NULL, NULL, instance, NULL);
    }
    MSG message;
    // The thread needs a queue before the driver may post WM_QUIT to it.
    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE);
    passHook = SetWindowsHookExA(WH_MOUSE_LL, PassThroughProc, instance, 0);
    if (!passHook)
        return 2;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHookReadyEvent);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    UnhookWindowsHookEx(passHook);
    return 0;
}
