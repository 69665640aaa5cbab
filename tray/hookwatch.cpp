#include "hookwatch.h"
#include "appstate.h"
#include "kestro.h"
#include "../common/wheelpane.h"

namespace {

const UINT_PTR kHookWatchTimer = 2;
const UINT kHookWatchMs = 2000;
// The generic desktop page's mouse.
const USHORT kUsagePageGeneric = 1;
const USHORT kUsageMouse = 2;

// What the last look saw. Mouse input moves the cursor only after the hook
// has been called, so a move with no call in between means no hook; so does
// raw input from the mouse that woke the watch. While the watch sleeps it
// keeps the look it fell asleep on.
struct HookWatch {
    POINT cursor;
    LONG calls;
    bool asleep;
    bool woken; // by mouse input since the last look
} watch;

void TakeLook()
{
    GetCursorPos(&watch.cursor);
    watch.calls = GetHookCallCount();
}

void ReinstallMouseHook()
{
    InstallMouseHook(0); // fails on the handle the system already dropped
    InstallMouseHook(1); // a failure is tried again at the next look
    SetScrollCount(AppState.scrollCount); // installing took the system's count
}

// Raw input reaches the window on the next mouse input even when the hook is
// gone; the sink flag lets it in while other programs have the foreground.
// Windows 2000 has no raw input: there the watch never sleeps.
bool ListenForMouse(HWND window, bool listen)
{
    typedef BOOL(WINAPI * Register)(PCRAWINPUTDEVICE, UINT, UINT);
    Register registerDevices = reinterpret_cast<Register>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "RegisterRawInputDevices")));
    const DWORD flags = listen ? RIDEV_INPUTSINK : RIDEV_REMOVE;
    RAWINPUTDEVICE mouse = { kUsagePageGeneric, kUsageMouse, flags, listen ? window : NULL };
    return registerDevices && registerDevices(&mouse, 1, sizeof mouse);
}

// Nothing moved and the hook saw nothing: no more looks until the mouse
// does something.
void FallAsleep(HWND window)
{
    if (!ListenForMouse(window, true))
        return;
    KillTimer(window, kHookWatchTimer);
    watch.asleep = true;
}

} // namespace

void StartHookWatch(HWND window)
{
    if (!IsPlatformNT())
        return;
    TakeLook();
    watch.asleep = false;
    watch.woken = false;
    SetTimer(window, kHookWatchTimer, kHookWatchMs, NULL);
}

void StopHookWatch(HWND window)
{
    KillTimer(window, kHookWatchTimer);
    if (watch.asleep)
        ListenForMouse(window, false);
    watch.asleep = false;
}

bool IsHookWatchTimer(WPARAM timer)
{
    return timer == kHookWatchTimer;
}

void CheckMouseHook(HWND window)
{
    const HookWatch last = watch;
    TakeLook();
    const bool moved = watch.cursor.x != last.cursor.x || watch.cursor.y != last.cursor.y;
    const bool called = watch.calls != last.calls;
    watch.woken = false;
    if ((moved || last.woken) && !called)
        ReinstallMouseHook();
    else if (!moved && !called)
        FallAsleep(window);
}

// Input queued before the removal may still arrive: only the first wakes.
// The next look compares with the one the watch fell asleep on.
void WakeHookWatch(HWND window)
{
    if (!watch.asleep)
        return;
    ListenForMouse(window, false);
    watch.asleep = false;
    watch.woken = true;
    SetTimer(window, kHookWatchTimer, kHookWatchMs, NULL);
}
