// The two hook procedures. Anything but a wheel or tilt event leaves after a
// few comparisons: every mouse event of the desktop passes through here.
#include "hookstate.h"
#include <windowsx.h>
#include "kestro.h"
#include "../common/wheelpane.h"

// A tilt of 0 moves nothing and goes on unlooked at.
const int kNoMove = -1;

// Touchpads and free-spinning wheels send deltas far below a notch; they add
// up to whole notches. A full-size (or zero) delta is a notch of its own and
// starts the sum afresh. Returns the direction of a completed notch, or, for
// a delta that only added to the sum, its direction marked kForwardProbe.
static int TakeNotch(int* remainder, short delta)
{
    if (delta == 0 || delta >= WHEEL_DELTA || delta <= -WHEEL_DELTA) {
        *remainder = 0;
        return WheelDirection(delta);
    }
    if ((*remainder < 0) != (delta < 0))
        *remainder = 0; // the user reversed: what was left no longer counts
    *remainder += delta;
    if (*remainder >= WHEEL_DELTA) {
        *remainder -= WHEEL_DELTA;
        return SB_LINEUP;
    }
    if (*remainder <= -WHEEL_DELTA) {
        *remainder += WHEEL_DELTA;
        return SB_LINEDOWN;
    }
    return WheelDirection(delta) | static_cast<int>(kForwardProbe);
}

// A wheel notch, made sideways by Shift and page-wise by Ctrl where the user
// chose so. Forward (SB_LINEUP) then scrolls left: SB_LINELEFT has the same number.
static int WheelNotch(short delta, BOOL sideways, BOOL paged)
{
    const int notch = TakeNotch(&wheelRemainder, delta);
    return notch | static_cast<int>((sideways ? kForwardSideways : 0) | (paged ? kForwardPage : 0));
}

// A tilt to the right (delta > 0) scrolls right; a tilt of 0 goes nowhere.
static int TiltNotch(short delta)
{
    if (delta == 0)
        return kNoMove;
    const int notch = TakeNotch(&tiltRemainder, delta);
    const int direction = NotchDirection(notch) == SB_LINEUP ? SB_LINERIGHT : SB_LINELEFT;
    return direction | (notch & static_cast<int>(kForwardProbe)) | static_cast<int>(kForwardSideways);
}

// A timed-out or failed forward counts as "not handled".
static LRESULT ForwardToCommander(HWND commander, int notch, LPARAM packedPoint)
{
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutA(commander, WM_WHEELFORWARD, static_cast<WPARAM>(notch), packedPoint,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, notchBudgetMs, &reply))
        return 0;
    return static_cast<LRESULT>(reply);
}

// True when the window under the point is served: scrolled here or by the
// commander, or for a probe, one that a whole notch would scroll. `notch` is
// a direction code with its marks (kForwardSideways and the others); the
// commander gets the same, so that listed windows follow the options as code
// windows do.
static bool Served(int notch, int x, int y, LPARAM packedPoint)
{
    if (hookState->scrollUnfocused)
        notch |= static_cast<int>(kForwardUnfocused);
    const int marked = notch & ~static_cast<int>(kForwardSideways);
    if (notch & kForwardSideways ? ScrollSidewaysAt(marked, x, y) : ScrollPaneAt(marked, x, y))
        return true;
    HWND commander = hookState->commanderWindow;
    return commander && ForwardToCommander(commander, notch, packedPoint);
}

extern "C" LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    ++hookCallCount;
    if (code < 0 || (wParam != WM_MOUSEWHEEL && wParam != WM_MOUSEHWHEEL))
        return CallNextHookEx(installedHook, code, wParam, lParam);
    const MSLLHOOKSTRUCT* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const short delta = static_cast<short>(HIWORD(event->mouseData));
    const LPARAM packed = MAKELPARAM(event->pt.x & 0xFFFF, event->pt.y & 0xFFFF);
    const int notch = wParam == WM_MOUSEHWHEEL
                          ? TiltNotch(delta)
                          : WheelNotch(delta, hookState->shiftScroll && GetAsyncKeyState(VK_SHIFT) < 0,
                                       hookState->ctrlPage && GetAsyncKeyState(VK_CONTROL) < 0);
    // A served event is taken whole: a window that also scrolls on the wheel
    // would otherwise move twice.
    if (notch != kNoMove && Served(notch, event->pt.x, event->pt.y, packed))
        return 1;
    return CallNextHookEx(installedHook, code, wParam, lParam);
}

extern "C" LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* message = reinterpret_cast<MSG*>(lParam);
    // A wheel message that is only peeked at passes like any other: many
    // programs peek before they remove, and one notch scrolls once. Windows
    // 98 and Me pass the caller's own flags (PM_NOYIELD, PM_QS_*) along.
    if (code < 0 || message->message != WM_MOUSEWHEEL || !(wParam & PM_REMOVE))
        return CallNextHookEx(installedHook, code, wParam, lParam);
    const short delta = static_cast<short>(HIWORD(message->wParam));
    // Signed: monitors left of or above the primary have negative coordinates.
    const int x = GET_X_LPARAM(message->lParam);
    const int y = GET_Y_LPARAM(message->lParam);
    const BOOL shifted = hookState->shiftScroll && (LOWORD(message->wParam) & MK_SHIFT);
    const BOOL paged = hookState->ctrlPage && (LOWORD(message->wParam) & MK_CONTROL);
    if (!Served(WheelNotch(delta, shifted, paged), x, y, message->lParam))
        return CallNextHookEx(installedHook, code, wParam, lParam);
    // Taken whole, as on the NT line: the thread dispatches nothing.
    message->message = WM_NULL;
    return 0;
}
