// Exports, shared state and the hook's lifetime.
#include "hookstate.h"
#include "kestro.h"
#include "../common/wheelpane.h"

#define INITIAL_HOOK_STATE { 3, 0, 0, 0, 0 }
SharedHookState sharedHookState __attribute__((section(".ASHARE"), shared)) = INITIAL_HOOK_STATE;
static SharedHookState processHookState = INITIAL_HOOK_STATE;
SharedHookState* hookState = &sharedHookState;
HHOOK volatile installedHook __attribute__((section(".ASHARE"), shared)) = 0;
volatile LONG installedHookKind __attribute__((section(".ASHARE"), shared)) = 0;

HHOOK hookHandle = 0;
HINSTANCE moduleInstance = 0;
int wheelRemainder = 0;
int tiltRemainder = 0;
volatile LONG hookCallCount = 0;

// The hook this process would put in place.
static LONG OwnHookKind()
{
    return IsPlatformNT() ? WH_MOUSE_LL : WH_GETMESSAGE;
}

// The message hook runs in every process the system maps the library into,
// whatever version that process reports, and reads what its installer wrote:
// the shared record. The low-level hook runs only in its installer, which
// keeps a record of its own.
static SharedHookState* PickHookRecord()
{
    const bool messageHook = installedHookKind == WH_GETMESSAGE || OwnHookKind() == WH_GETMESSAGE;
    return messageHook ? &sharedHookState : &processHookState;
}

// Thread notifications leave the handle alone: an install between two threads
// must never pass a null module to SetWindowsHookExA.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        hookState = PickHookRecord();
        TakeTestNotchBudget();
    } else if (reason == DLL_PROCESS_DETACH) {
        moduleInstance = 0;
    }
    return TRUE;
}

extern "C" void WINAPI SetCommander(HWND window, int accessCode)
{
    if (accessCode == kCommanderAccessCode)
        hookState->commanderWindow = window;
}

extern "C" int WINAPI SetScrollCount(int count)
{
    hookState->scrollCount = count;
    return count;
}

extern "C" int WINAPI GetScrollCount()
{
    return hookState->scrollCount;
}

// The on/off options: any non-zero value is stored as 1.
static int StoreOption(volatile LONG* option, int enable)
{
    *option = enable ? 1 : 0;
    return *option;
}

extern "C" int WINAPI SetShiftScroll(int enable)
{
    return StoreOption(&hookState->shiftScroll, enable);
}

extern "C" int WINAPI GetShiftScroll()
{
    return hookState->shiftScroll;
}

extern "C" int WINAPI SetScrollUnfocused(int enable)
{
    return StoreOption(&hookState->scrollUnfocused, enable);
}

extern "C" int WINAPI GetScrollUnfocused()
{
    return hookState->scrollUnfocused;
}

extern "C" int WINAPI SetCtrlPage(int enable)
{
    return StoreOption(&hookState->ctrlPage, enable);
}

extern "C" int WINAPI GetCtrlPage()
{
    return hookState->ctrlPage;
}

extern "C" LONG WINAPI GetHookCallCount()
{
    return hookCallCount;
}

static int InstallHook()
{
    // Known before the hook exists: the system may map the library into
    // another process as soon as it does.
    installedHookKind = OwnHookKind();
    if (installedHookKind == WH_MOUSE_LL)
        hookHandle = SetWindowsHookExA(WH_MOUSE_LL, LowLevelMouseProc, moduleInstance, 0);
    else
        hookHandle = SetWindowsHookExA(WH_GETMESSAGE, GetMsgProc, moduleInstance, 0);
    installedHook = hookHandle;
    if (!hookHandle)
        installedHookKind = 0;
    return hookHandle ? 1 : 0;
}

static int RemoveHook()
{
    if (!hookHandle)
        return 1;
    if (!UnhookWindowsHookEx(hookHandle))
        return 0;
    hookHandle = 0;
    installedHook = 0;
    installedHookKind = 0;
    return 1;
}

extern "C" int WINAPI InstallMouseHook(int install)
{
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, const_cast<LONG*>(&hookState->scrollCount), 0);
    return install ? InstallHook() : RemoveHook();
}

// The compiler may turn record clearing into calls to these; there is no C
// runtime to provide them.
extern "C" void* memset(void* destination, int value, size_t size)
{
    unsigned char* bytes = static_cast<unsigned char*>(destination);
    while (size--)
        *bytes++ = static_cast<unsigned char>(value);
    return destination;
}
