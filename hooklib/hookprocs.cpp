// The two hook procedures. Anything but WM_MOUSEWHEEL leaves after two
// comparisons: every mouse event of the desktop passes through here.
#include "hookstate.h"
#include "kestro.h"
#include "../common/wheelpane.h"

// A timed-out or failed forward counts as "not handled".
static LRESULT ForwardToCommander(HWND commander, int direction, LPARAM packedPoint)
{
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutA(commander, WM_WHEELFORWARD, static_cast<WPARAM>(direction), packedPoint,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, kNotchBudgetMs, &reply))
        return 0;
    return static_cast<LRESULT>(reply);
}

static LRESULT HandleWheel(int code, WPARAM wParam, LPARAM lParam, int direction, int x, int y, LPARAM packedPoint)
{
    if (ScrollPaneAt(direction, x, y))
        return 0;
    HWND commander = sharedHookState.commanderWindow;
    if (commander && ForwardToCommander(commander, direction, packedPoint))
        return 0;
    return CallNextHookEx(hookHandle, code, wParam, lParam);
}

extern "C" LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0 || wParam != WM_MOUSEWHEEL)
        return CallNextHookEx(hookHandle, code, wParam, lParam);
    const MSLLHOOKSTRUCT* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const int direction = WheelDirection(static_cast<short>(HIWORD(event->mouseData)));
    const LPARAM packed = MAKELPARAM(event->pt.x & 0xFFFF, event->pt.y & 0xFFFF);
    return HandleWheel(code, wParam, lParam, direction, event->pt.x, event->pt.y, packed);
}

extern "C" LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code < 0 || message->message != WM_MOUSEWHEEL)
        return CallNextHookEx(hookHandle, code, wParam, lParam);
    const int direction = WheelDirection(static_cast<short>(HIWORD(message->wParam)));
    const int x = LOWORD(message->lParam);
    const int y = HIWORD(message->lParam);
    return HandleWheel(code, wParam, lParam, direction, x, y, message->lParam);
}
