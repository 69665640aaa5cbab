// Exports, shared state and the hook's lifetime.
#include "hookstate.h"
#include "kestro.h"
#include "../common/wheelpane.h"

SharedHookState sharedHookState __attribute__((section(".ASHARE"), shared)) = { 3, 0, 0, 0, 0 };
HHOOK volatile installedHook __attribute__((section(".ASHARE"), shared)) = 0;

HHOOK hookHandle = 0;
HINSTANCE moduleInstance = 0;
int wheelRemainder = 0;
int tiltRemainder = 0;
volatile LONG hookCallCount = 0;

// Thread notifications leave the handle alone: an install between two threads
// must never pass a null module to SetWindowsHookExA.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    else if (reason == DLL_PROCESS_DETACH)
        moduleInstance = 0;
    return TRUE;
}

extern "C" void WINAPI SetCommander(HWND window, int accessCode)
{
    if (accessCode == kCommanderAccessCode)
        sharedHookState.commanderWindow = window;
}

extern "C" int WINAPI SetScrollCount(int count)
{
    sharedHookState.scrollCount = count;
    return count;
}

extern "C" int WINAPI GetScrollCount()
{
    return sharedHookState.scrollCount;
}

// The on/off options: any non-zero value is stored as 1.
static int StoreOption(volatile LONG* option, int enable)
{
    *option = enable ? 1 : 0;
    return *option;
}

extern "C" int WINAPI SetShiftScroll(int enable)
{
    return StoreOption(&sharedHookState.shiftScroll, enable);
}

extern "C" int WINAPI GetShiftScroll()
{
    return sharedHookState.shiftScroll;
}

extern "C" int WINAPI SetScrollUnfocused(int enable)
{
    return StoreOption(&sharedHookState.scrollUnfocused, enable);
}

extern "C" int WINAPI GetScrollUnfocused()
{
    return sharedHookState.scrollUnfocused;
}

extern "C" int WINAPI SetCtrlPage(int enable)
{
    return StoreOption(&sharedHookState.ctrlPage, enable);
}

extern "C" int WINAPI GetCtrlPage()
{
    return sharedHookState.ctrlPage;
}

extern "C" LONG WINAPI GetHookCallCount()
{
    return hookCallCount;
}

static int InstallHook()
{
    if (IsPlatformNT())
        hookHandle = SetWindowsHookExA(WH_MOUSE_LL, LowLevelMouseProc, moduleInstance, 0);
    else
        hookHandle = SetWindowsHookExA(WH_GETMESSAGE, GetMsgProc, moduleInstance, 0);
    installedHook = hookHandle;
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
    return 1;
}

extern "C" int WINAPI InstallMouseHook(int install)
{
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, const_cast<LONG*>(&sharedHookState.scrollCount), 0);
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
