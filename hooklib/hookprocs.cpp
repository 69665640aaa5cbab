// The two hook procedures. Anything but WM_MOUSEWHEEL leaves after two
// comparisons: every mouse event of the desktop passes through here.
#include "hookstate.h"
#include <windowsx.h>
#include "kestro.h"
#include "../common/wheelpane.h"

const int kNoNotch = -1;

// Touchpads and free-spinning wheels send deltas far below a notch; they add
// up to whole notches. A full-size (or zero) delta is a notch of its own and
// starts the sum afresh. Returns the direction of a completed notch.
static int TakeNotch(short delta)
{
    if (delta == 0 || delta >= WHEEL_DELTA || delta <= -WHEEL_DELTA) {
        wheelRemainder = 0;
        return WheelDirection(delta);
    }
    if ((wheelRemainder < 0) != (delta < 0))
        wheelRemainder = 0; // the user reversed: what was left no longer counts
    wheelRemainder += delta;
    if (wheelRemainder >= WHEEL_DELTA) {
        wheelRemainder -= WHEEL_DELTA;
        return SB_LINEUP;
    }
    if (wheelRemainder <= -WHEEL_DELTA) {
        wheelRemainder += WHEEL_DELTA;
        return SB_LINEDOWN;
    }
    return kNoNotch;
}

// A timed-out or failed forward counts as "not handled".
static LRESULT ForwardToCommander(HWND commander, int direction, LPARAM packedPoint)
{
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutA(commander, WM_WHEELFORWARD, static_cast<WPARAM>(direction), packedPoint,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, kNotchBudgetMs, &reply))
        return 0;
    return static_cast<LRESULT>(reply);
}

static LRESULT HandleWheel(int code, WPARAM wParam, LPARAM lParam, short delta, int x, int y, LPARAM packedPoint)
{
    const int direction = TakeNotch(delta);
    if (direction == kNoNotch)
        return CallNextHookEx(installedHook, code, wParam, lParam);
    if (ScrollPaneAt(direction, x, y))
        return 0;
    HWND commander = sharedHookState.commanderWindow;
    if (commander && ForwardToCommander(commander, direction, packedPoint))
        return 0;
    return CallNextHookEx(installedHook, code, wParam, lParam);
}

extern "C" LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    ++hookCallCount;
    if (code < 0 || wParam != WM_MOUSEWHEEL)
        return CallNextHookEx(installedHook, code, wParam, lParam);
    const MSLLHOOKSTRUCT* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const short delta = static_cast<short>(HIWORD(event->mouseData));
    const LPARAM packed = MAKELPARAM(event->pt.x & 0xFFFF, event->pt.y & 0xFFFF);
    return HandleWheel(code, wParam, lParam, delta, event->pt.x, event->pt.y, packed);
}

extern "C" LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    // A wheel message that is only peeked at passes like any other: many
    // programs peek before they remove, and one notch scrolls once. Windows
    // 98 and Me pass the caller's own flags (PM_NOYIELD, PM_QS_*) along.
    if (code < 0 || message->message != WM_MOUSEWHEEL || !(wParam & PM_REMOVE))
        return CallNextHookEx(installedHook, code, wParam, lParam);
    const short delta = static_cast<short>(HIWORD(message->wParam));
    // Signed: monitors left of or above the primary have negative coordinates.
    const int x = GET_X_LPARAM(message->lParam);
    const int y = GET_Y_LPARAM(message->lParam);
    return HandleWheel(code, wParam, lParam, delta, x, y, message->lParam);
}
