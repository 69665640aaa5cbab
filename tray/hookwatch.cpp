#include "hookwatch.h"
#include "appstate.h"
#include "kestro.h"
#include "../common/wheelpane.h"

namespace {

const UINT_PTR kHookWatchTimer = 2;
const UINT kHookWatchMs = 2000;

// What the last look saw. Mouse input moves the cursor only after the hook
// has been called, so a move with no call in between means no hook.
struct HookWatch {
    POINT cursor;
    LONG calls;
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

} // namespace

void StartHookWatch(HWND window)
{
    if (!IsPlatformNT())
        return;
    TakeLook();
    SetTimer(window, kHookWatchTimer, kHookWatchMs, NULL);
}

void StopHookWatch(HWND window)
{
    KillTimer(window, kHookWatchTimer);
}

bool IsHookWatchTimer(WPARAM timer)
{
    return timer == kHookWatchTimer;
}

void CheckMouseHook()
{
    const HookWatch last = watch;
    TakeLook();
    const bool moved = watch.cursor.x != last.cursor.x || watch.cursor.y != last.cursor.y;
    if (moved && watch.calls == last.calls)
        ReinstallMouseHook();
}
