// The harness's helper processes: starting and ending them, the stand-in
// tray, the hook hosts, injected input and the stamping code window
// (harness.h).
#include "harness.h"
#include <shellapi.h>
#include "codewin.h"
#include "hookhost.h"

std::string binDir;
TrayState tray;

namespace {

// Set by passhook.exe once its hook is installed.
HANDLE hookReady;

std::string ProgramDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/"));
}

} // namespace

bool StartHarness()
{
    binDir = ProgramDir();
    SetCurrentDirectoryA(binDir.c_str());
    StartClock();
    hookReady = CreateEventA(NULL, TRUE, FALSE, kHookReadyEvent);
    return CreateStandInTray();
}

bool Exists(const std::string& exe)
{
    return GetFileAttributesA((binDir + "\\" + exe).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- Child processes -----------------------------------------------------------

bool Launch(const std::string& exe, const std::string& arguments, Child* child)
{
    std::string commandLine = "\"" + binDir + "\\" + exe + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    child->window = NULL;
    child->quit = 0;
    if (!CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, binDir.c_str(), &startup, &child->info)) {
        Note("cannot start %s (error %lu)", exe.c_str(), GetLastError());
        child->info = PROCESS_INFORMATION();
        return false;
    }
    return true;
}

bool Running(const Child& child)
{
    return child.info.hProcess && WaitForSingleObject(child.info.hProcess, 0) == WAIT_TIMEOUT;
}

void End(Child* child)
{
    if (!child->info.hProcess)
        return;
    if (child->window)
        PostMessageA(child->window, child->quit, 0, 0);
    else
        PostThreadMessageA(child->info.dwThreadId, WM_QUIT, 0, 0);
    if (!PumpUntil([&] { return !Running(*child); }, 5000)) {
        Note("%s did not end; terminating it", child->label);
        TerminateProcess(child->info.hProcess, 9);
        WaitForSingleObject(child->info.hProcess, 5000);
    }
    CloseHandle(child->info.hProcess);
    CloseHandle(child->info.hThread);
    child->info = PROCESS_INFORMATION();
}

HWND FindChildWindow(const char* className, DWORD processId)
{
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, className, NULL))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return NULL;
}

// ---- The stand-in tray -----------------------------------------------------------

namespace {

LRESULT CALLBACK StandInTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const double now = NowUs();
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data && data->dwData == NIM_ADD && !tray.added) {
            tray.added = true;
            tray.addedAt = now;
            tray.iconOwner = reinterpret_cast<HWND>(wParam);
        }
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

bool CreateStandInTray()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = StandInTrayProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&windowClass);
    tray.window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", NULL, WS_POPUP, 0, 0, 1, 1, NULL,
                                  NULL, windowClass.hInstance, NULL);
    if (!tray.window || FindWindowExA(NULL, NULL, "Shell_TrayWnd", NULL) != tray.window) {
        Note("the stand-in tray window is not the one the shell finds");
        return false;
    }
    return true;
}

void ResetTray()
{
    tray.added = false;
    tray.addedAt = 0;
    tray.iconOwner = NULL;
}

// ---- Hook hosts --------------------------------------------------------------------

const char* HostLabel(HostKind kind)
{
    switch (kind) {
    case kPassThrough: return "pass-through hook";
    case kPassThroughWindow: return "pass-through hook + window";
    case kProduct: return Exists("Velmora.exe") ? "Velmora.exe" : "hookhost.exe";
    case kProduct98: return Exists("Velmora98.exe") ? "Velmora98.exe" : "hookhost98.exe";
    }
    return "?";
}

// The pass-through host says that its hook is in place through an event, the
// tray program by adding its icon (which it does after installing the hook),
// the test host when asked.
bool StartHost(HostKind kind, Child* host)
{
    host->label = HostLabel(kind);
    if (kind == kPassThrough || kind == kPassThroughWindow) {
        ResetEvent(hookReady);
        if (!Launch("passhook.exe", kind == kPassThroughWindow ? "/window" : "", host))
            return false;
        const bool ready = PumpUntil([] { return WaitForSingleObject(hookReady, 0) == WAIT_OBJECT_0; }, 15000);
        if (!ready)
            Note("the pass-through hook did not come up");
        return ready;
    }
    const std::string exe = host->label;
    if (exe.rfind("Velmora", 0) == 0) {
        ResetTray();
        if (!Launch(exe, "/background", host))
            return false;
        if (!PumpUntil([] { return tray.added; }, 15000)) {
            Note("%s added no tray icon", exe.c_str());
            return false;
        }
        host->window = tray.iconOwner;
        host->quit = RegisterWindowMessageA("Velmora5");
        return true;
    }
    if (!Launch(exe, "/count:3", host))
        return false;
    PumpUntil([&] { return (host->window = FindChildWindow("KestroHookHost", host->info.dwProcessId)) != NULL; },
              15000);
    host->quit = WM_CLOSE;
    return host->window && SendMessageA(host->window, HH_INSTALLED, 0, 0) == 1;
}

// ---- Input --------------------------------------------------------------------------

void MoveTo(int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void Wheel(int delta)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.mouseData = static_cast<DWORD>(delta);
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    SendInput(1, &input, sizeof input);
}

// ---- The stamping code window -----------------------------------------------------------

namespace {

bool CodeWindowFocused(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) && info.hwndFocus == window;
}

} // namespace

bool FocusCodeWindow(const CodeWindow& code)
{
    PumpFor(300);
    if (CodeWindowFocused(code.window))
        return true;
    PostMessageA(code.window, CW_FOCUS, 0, 0);
    const bool focused = PumpUntil([&] { return CodeWindowFocused(code.window); }, 3000);
    SetCursorPos(code.point.x, code.point.y);
    if (!focused)
        Note("the code window does not take the focus");
    return focused;
}

void ClearStamps(BenchStamps* stamps)
{
    stamps->vscrollCount = 0;
    stamps->wheelCount = 0;
    stamps->lastVScroll = 0;
    stamps->wheel = 0;
}

bool SetUpCodeWindow(CodeWindow* code)
{
    HANDLE mapping;
    code->stamps = MapBenchStamps(&mapping);
    code->wheelEvent = CreateEventA(NULL, FALSE, FALSE, kWheelEvent);
    code->process.label = "stampwin.exe";
    if (!code->stamps || !code->wheelEvent || !Launch("stampwin.exe", "/at:200,120,640,480", &code->process))
        return false;
    const DWORD processId = code->process.info.dwProcessId;
    PumpUntil([&] { return (code->window = FindChildWindow("VbaWindow", processId)) != NULL; }, 15000);
    if (!code->window)
        return false;
    code->process.window = code->window;
    code->process.quit = WM_CLOSE;
    code->lowerBar = reinterpret_cast<HWND>(SendMessageA(code->window, CW_GETBAR, 1, 0));
    RECT band;
    GetWindowRect(code->lowerBar, &band);
    RECT client;
    GetClientRect(code->window, &client);
    POINT origin = { 0, 0 };
    ClientToScreen(code->window, &origin);
    code->point.x = origin.x + client.right / 3;
    code->point.y = (band.top + band.bottom) / 2;
    SetCursorPos(code->point.x, code->point.y);
    PumpFor(300);
    return FocusCodeWindow(*code);
}
