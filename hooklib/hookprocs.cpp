// The two hook procedures. Anything but a wheel or tilt event leaves after a
// few comparisons: every mouse event of the desktop passes through here.
#include "hookstate.h"
#include <windowsx.h>
#include "kestro.h"
#include "../common/wheelpane.h"

const int kNoNotch = -1;

// Touchpads and free-spinning wheels send deltas far below a notch; they add
// up to whole notches. A full-size (or zero) delta is a notch of its own and
// starts the sum afresh. Returns the direction of a completed notch.
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
    return kNoNotch;
}

// A wheel notch, made sideways by Shift and page-wise by Ctrl where the user
// chose so. Forward (SB_LINEUP) then scrolls left: SB_LINELEFT has the same number.
static int WheelNotch(short delta, BOOL sideways, BOOL paged)
{
    const int direction = TakeNotch(&wheelRemainder, delta);
    if (direction == kNoNotch)
        return direction;
    return direction | static_cast<int>((sideways ? kForwardSideways : 0) | (paged ? kForwardPage : 0));
}

// A tilt to the right (delta > 0) scrolls right; a tilt of 0 goes nowhere.
static int TiltNotch(short delta)
{
    if (delta == 0)
        return kNoNotch;
    const int direction = TakeNotch(&tiltRemainder, delta);
    if (direction == kNoNotch)
        return kNoNotch;
    return (direction == SB_LINEUP ? SB_LINERIGHT : SB_LINELEFT) | static_cast<int>(kForwardSideways);
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

// `notch` is a direction code with its marks (kForwardSideways and the
// others); the commander gets the same, so that listed windows follow the
// options as code windows do.
static LRESULT HandleNotch(int code, WPARAM wParam, LPARAM lParam, int notch, int x, int y, LPARAM packedPoint)
{
    if (notch == kNoNotch)
        return CallNextHookEx(installedHook, code, wParam, lParam);
    if (hookState->scrollUnfocused)
        notch |= static_cast<int>(kForwardUnfocused);
    const int marked = notch & ~static_cast<int>(kForwardSideways);
    if (notch & kForwardSideways ? ScrollSidewaysAt(marked, x, y) : ScrollPaneAt(marked, x, y))
        return 0;
    HWND commander = hookState->commanderWindow;
    if (commander && ForwardToCommander(commander, notch, packedPoint))
        return 0;
    return CallNextHookEx(installedHook, code, wParam, lParam);
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
    return HandleNotch(code, wParam, lParam, notch, event->pt.x, event->pt.y, packed);
}

extern "C" LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    // A wheel message that is only peeked at passes like any other: many
    // programs peek before they remove, and one notch scrolls once. Windows
    // 98 and Me pass the caller's own flags (PM_NOYIELD, PM_QS_*) along.
    if (code < 0 || message->message != WM_MOUSEWHEEL || !(wParam & PM_REMOVE))
        return CallNextHookEx(installedHook, code, wParam, lParam);
    // The message hook is the 9x line's, whose settings every process shares,
    // whatever version this process itself reports.
    hookState = &sharedHookState;
    const short delta = static_cast<short>(HIWORD(message->wParam));
    // Signed: monitors left of or above the primary have negative coordinates.
    const int x = GET_X_LPARAM(message->lParam);
    const int y = GET_Y_LPARAM(message->lParam);
    const BOOL shifted = hookState->shiftScroll && (LOWORD(message->wParam) & MK_SHIFT);
    const BOOL paged = hookState->ctrlPage && (LOWORD(message->wParam) & MK_CONTROL);
    return HandleNotch(code, wParam, lParam, WheelNotch(delta, shifted, paged), x, y, message->lParam);
}
