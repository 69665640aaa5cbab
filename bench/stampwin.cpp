// The sample code window, unchanged, with a time stamp taken on entry to its
// window procedure for every WM_VSCROLL and WM_MOUSEWHEEL. The stamps go to
// shared memory, so the driver learns when the last SB_ENDSCROLL arrived
// without sending the window anything.
#include <windows.h>
#include "benchshared.h"

namespace stamping {

BenchStamps* stamps;
HANDLE wheelEvent;
WNDPROC codeWindowProc;

LRESULT CALLBACK StampingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VSCROLL && stamps) {
        stamps->lastVScroll = BenchTicks();
        InterlockedIncrement(&stamps->vscrollCount);
    } else if (message == WM_MOUSEWHEEL && stamps) {
        stamps->wheel = BenchTicks();
        InterlockedIncrement(&stamps->wheelCount);
        SetEvent(wheelEvent);
    }
    return codeWindowProc(window, message, wParam, lParam);
}

ATOM RegisterStampedClass(const WNDCLASSA* windowClass)
{
    HANDLE mapping;
    stamps = MapBenchStamps(&mapping);
    wheelEvent = CreateEventA(NULL, FALSE, FALSE, kWheelEvent);
    WNDCLASSA stamped = *windowClass;
    codeWindowProc = stamped.lpfnWndProc;
    stamped.lpfnWndProc = StampingProc;
    return RegisterClassA(&stamped);
}

} // namespace stamping

// The sample window registers its class once, in WinMain.
#define RegisterClassA stamping::RegisterStampedClass
#include "../tools/codewin/codewin.cpp"
#undef RegisterClassA
