// Benchmark driver. Each figure is measured against its baseline in the same
// run, interleaved round by round so that a noisy machine slows both alike.
// Prints "R key value" lines for bench/run.sh and progress on stderr.
// Usage: velbench [hookcost] [moves] [notch] [busy] [startup]   (none: all)
#include <windows.h>
#include <shellapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "benchshared.h"
#include "codewin.h"
#include "hookhost.h"
#include "wheelpane.h"

namespace {

std::string binDir;
double ticksPerUs;

double TicksToUs(LONGLONG ticks)
{
    return static_cast<double>(ticks) / ticksPerUs;
}

double NowUs()
{
    return TicksToUs(BenchTicks());
}

void Note(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    fputs("# ", stderr);
    vfprintf(stderr, format, arguments);
    fputc('\n', stderr);
    fflush(stderr);
    va_end(arguments);
}

void Report(const char* key, double value)
{
    printf("R %s %.3f\n", key, value);
    fflush(stdout);
}

void ReportText(const char* key, const char* value)
{
    printf("R %s %s\n", key, value);
    fflush(stdout);
}

struct Stats {
    double median;
    double p95;
    size_t count;
};

Stats Summarise(std::vector<double> values)
{
    Stats stats = { 0, 0, values.size() };
    if (values.empty())
        return stats;
    std::sort(values.begin(), values.end());
    stats.median = values[values.size() / 2];
    stats.p95 = values[std::min(values.size() - 1, (values.size() * 95 + 99) / 100 - 1)];
    return stats;
}

bool Exists(const std::string& exe)
{
    return GetFileAttributesA((binDir + "\\" + exe).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs this thread's messages until `done` holds or the time is up. Waiting
// in MsgWaitForMultipleObjects wakes on a sent message at once.
template <typename Done> bool PumpUntil(Done done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, std::min<DWORD>(timeoutMs - elapsed, 50), QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

// ---- Stand-in tray -------------------------------------------------------
// The shell sends every tray request to the first "Shell_TrayWnd" window as
// WM_COPYDATA. This hidden topmost one comes first, so the driver sees the
// moment an icon is added, and hook hosts that add an icon once their hook is
// in place tell it that they are ready.

struct TrayState {
    HWND window;
    bool added;
    double addedAt;
    HWND iconOwner;
} tray;

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

// ---- Child processes -----------------------------------------------------

struct Child {
    PROCESS_INFORMATION info;
    HWND window;  // posted `quit` to end it; null: WM_QUIT to its thread
    UINT quit;
    const char* label;
};

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

// Asks the child to end and waits, pumping: its clean-up may send to us.
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

// ---- Hook hosts ----------------------------------------------------------

enum HostKind { kPassThrough, kPassThroughWindow, kProduct, kProduct98 };

HANDLE hookReady;

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

// Starts a process that holds one global hook and returns once the hook is in
// place: the pass-through host says so through an event, the tray program by
// adding its icon (which it does after installing the hook), the test host
// when asked.
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

// ---- Input -----------------------------------------------------------------

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

// ---- 1a: the hook procedure for a mouse move --------------------------------

// A kestro.dll export by its ordinal, or null.
template <typename Function> Function Ordinal(HMODULE module, int ordinal)
{
    if (!module)
        return NULL;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

bool BenchHookCost()
{
    HMODULE kestro = LoadLibraryA("kestro.dll");
    HOOKPROC hookProc = Ordinal<HOOKPROC>(kestro, 2);
    if (!hookProc) {
        Note("kestro.dll or its LowLevelMouseProc (ordinal 2) is missing");
        return false;
    }
    MSLLHOOKSTRUCT event = {};
    event.pt.x = 600;
    event.pt.y = 400;
    event.time = GetTickCount();
    const LPARAM lParam = reinterpret_cast<LPARAM>(&event);

    const int kCalls = 2000;
    const int kBatches = 40;
    std::vector<double> hookNs, bareNs, ratios;
    volatile LRESULT sink = 0;
    for (int batch = 0; batch < kBatches + 2; ++batch) {
        for (int pass = 0; pass < 2; ++pass) {
            // Alternate which goes first, so drift hits both alike.
            const bool hook = (pass == 0) == (batch % 2 == 0);
            const LONGLONG start = BenchTicks();
            if (hook)
                for (int i = 0; i < kCalls; ++i)
                    sink = sink + hookProc(HC_ACTION, WM_MOUSEMOVE, lParam);
            else
                for (int i = 0; i < kCalls; ++i)
                    sink = sink + CallNextHookEx(NULL, HC_ACTION, WM_MOUSEMOVE, lParam);
            const double ns = TicksToUs(BenchTicks() - start) * 1000.0 / kCalls;
            if (batch >= 2)  // the first two warm up
                (hook ? hookNs : bareNs).push_back(ns);
        }
        if (batch >= 2)
            ratios.push_back(hookNs.back() / bareNs.back());
    }
    const Stats hook = Summarise(hookNs);
    const Stats bare = Summarise(bareNs);
    Report("hookcost_hook_ns", hook.median);
    Report("hookcost_bare_ns", bare.median);
    // Paired batch by batch: the two calls cost the same wineserver round
    // trip, whose price drifts with the load on the machine.
    Report("hookcost_ratio", Summarise(ratios).median);
    FreeLibrary(kestro);
    return true;
}

// ---- 1b: mouse moves through SendInput --------------------------------------

// Microseconds per mouse move, over `count` moves between two points.
double MoveCostUs(int count)
{
    const int x = GetSystemMetrics(SM_CXSCREEN) - 80;
    const int y = GetSystemMetrics(SM_CYSCREEN) - 40;
    const LONGLONG start = BenchTicks();
    for (int i = 0; i < count; ++i)
        MoveTo(x + (i & 1), y);
    return TicksToUs(BenchTicks() - start) / count;
}

// One session: the lower quartile of many short batches. Load from elsewhere
// only ever slows a batch down, so the quicker batches show the cost itself.
double SessionMoveCostUs()
{
    const int kBatches = 16;
    const int kMoves = 60;
    MoveCostUs(20);
    std::vector<double> batches;
    for (int i = 0; i < kBatches; ++i)
        batches.push_back(MoveCostUs(kMoves));
    std::sort(batches.begin(), batches.end());
    return batches[kBatches / 4];
}

// Each round measures no hook, the pass-through hook alone, the pass-through
// hook on a thread that also owns a hidden window, and the product, in a
// rotating order; ratios are taken within each round and their median
// reported.
bool BenchMoves()
{
    const int kRounds = 12;
    const HostKind kinds[3] = { kPassThrough, kPassThroughWindow, kProduct };
    std::vector<double> cost[3], none, ratios, windowRatios;
    for (int round = 0; round < kRounds; ++round) {
        none.push_back(SessionMoveCostUs());
        for (int i = 0; i < 3; ++i) {
            const int k = (i + round) % 3;
            Child host = {};
            if (!StartHost(kinds[k], &host)) {
                End(&host);
                return false;
            }
            PumpFor(200);
            cost[k].push_back(SessionMoveCostUs());
            End(&host);
        }
        ratios.push_back(cost[2].back() / cost[0].back());
        windowRatios.push_back(cost[2].back() / cost[1].back());
        Note("moves round %d: none %.1f us, pass-through %.1f us, with window %.1f us, %s %.1f us per move", round + 1,
             none.back(), cost[0].back(), cost[1].back(), HostLabel(kProduct), cost[2].back());
    }
    const Stats pass = Summarise(cost[0]);
    const Stats passWindow = Summarise(cost[1]);
    const Stats product = Summarise(cost[2]);
    const Stats bare = Summarise(none);
    ReportText("moves_host", HostLabel(kProduct));
    Report("moves_nohook_per_s", 1e6 / bare.median);
    Report("moves_pass_per_s", 1e6 / pass.median);
    Report("moves_passwindow_per_s", 1e6 / passWindow.median);
    Report("moves_product_per_s", 1e6 / product.median);
    Report("moves_pass_us", pass.median);
    Report("moves_passwindow_us", passWindow.median);
    Report("moves_product_us", product.median);
    Report("moves_ratio", Summarise(ratios).median);
    Report("moves_ratio_of_medians", product.median / pass.median);
    Report("moves_window_ratio", Summarise(windowRatios).median);
    return true;
}

// ---- 2: a wheel notch, end to end -------------------------------------------

struct NotchSetup {
    Child codeWindowProcess;
    HWND codeWindow;
    HWND lowerBar;
    POINT point;
    BenchStamps* stamps;
    HANDLE wheelEvent;
};

bool CodeWindowFocused(HWND codeWindow)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) && info.hwndFocus == codeWindow;
}

// Hidden hook hosts may take the activation when they start.
bool FocusCodeWindow(const NotchSetup& setup)
{
    PumpFor(300);
    if (CodeWindowFocused(setup.codeWindow))
        return true;
    PostMessageA(setup.codeWindow, CW_FOCUS, 0, 0);
    const bool focused = PumpUntil([&] { return CodeWindowFocused(setup.codeWindow); }, 3000);
    SetCursorPos(setup.point.x, setup.point.y);
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

struct NotchSample {
    bool ok;
    double toWheelUs;
    double toLastScrollUs;
    LONG scrolls;
};

// One notch: inject a wheel event, wait for the window to receive it, and read
// when the window received its wheel message and its last WM_VSCROLL.
NotchSample Notch(const NotchSetup& setup, int index)
{
    NotchSample sample = {};
    ClearStamps(setup.stamps);
    ResetEvent(setup.wheelEvent);
    const LONGLONG start = BenchTicks();
    Wheel(index % 2 ? WHEEL_DELTA : -WHEEL_DELTA);
    sample.ok = WaitForSingleObject(setup.wheelEvent, 3000) == WAIT_OBJECT_0;
    sample.scrolls = setup.stamps->vscrollCount;
    sample.toWheelUs = TicksToUs(setup.stamps->wheel - start);
    sample.toLastScrollUs = sample.scrolls ? TicksToUs(setup.stamps->lastVScroll - start) : 0;
    // Let the window repaint before the next notch.
    PumpFor(8);
    return sample;
}

// Six cross-process round trips: the messages the hook sends for one notch,
// or, for reference, six WM_NULL that cost the window nothing.
double RoundTripGroupUs(const NotchSetup& setup, int index, bool scroll)
{
    const WPARAM direction = index % 2 ? SB_LINEUP : SB_LINEDOWN;
    const LPARAM bar = reinterpret_cast<LPARAM>(setup.lowerBar);
    const LONGLONG start = BenchTicks();
    for (int line = 0; line < 3; ++line) {
        if (scroll) {
            SendMessageA(setup.codeWindow, WM_VSCROLL, direction, bar);
            SendMessageA(setup.codeWindow, WM_VSCROLL, SB_ENDSCROLL, bar);
        } else {
            SendMessageA(setup.codeWindow, WM_NULL, 0, 0);
            SendMessageA(setup.codeWindow, WM_NULL, 0, 0);
        }
    }
    const double us = TicksToUs(BenchTicks() - start);
    PumpFor(8);
    return us;
}

// `count` notches, each followed by a group of six direct round trips (scroll
// messages or WM_NULL), so that both meet the window in the same state. A
// notch yields the delivery time when `scrollsWanted` is 0, else the time to
// the last WM_VSCROLL. Returns the number of bad notches.
int Notches(const NotchSetup& setup, int count, LONG scrollsWanted, std::vector<double>* samples, bool scroll,
            std::vector<double>* roundTrips)
{
    int bad = 0;
    for (int i = 0; i < count + 10; ++i) {
        const NotchSample sample = Notch(setup, i);
        const double trips = RoundTripGroupUs(setup, i, scroll);
        if (i < 10)  // warm-up
            continue;
        if (roundTrips)
            roundTrips->push_back(trips);
        if (!sample.ok || sample.scrolls != scrollsWanted) {
            Note("notch %d: %s, %ld scroll messages", i, sample.ok ? "delivered" : "no wheel message", sample.scrolls);
            ++bad;
            continue;
        }
        samples->push_back(scrollsWanted ? sample.toLastScrollUs : sample.toWheelUs);
    }
    return bad;
}

bool SetUpCodeWindow(NotchSetup* setup)
{
    HANDLE mapping;
    setup->stamps = MapBenchStamps(&mapping);
    setup->wheelEvent = CreateEventA(NULL, FALSE, FALSE, kWheelEvent);
    setup->codeWindowProcess.label = "stampwin.exe";
    if (!setup->stamps || !setup->wheelEvent || !Launch("stampwin.exe", "/at:200,120,640,480", &setup->codeWindowProcess))
        return false;
    const DWORD processId = setup->codeWindowProcess.info.dwProcessId;
    PumpUntil([&] { return (setup->codeWindow = FindChildWindow("VbaWindow", processId)) != NULL; }, 15000);
    if (!setup->codeWindow)
        return false;
    setup->codeWindowProcess.window = setup->codeWindow;
    setup->codeWindowProcess.quit = WM_CLOSE;
    setup->lowerBar = reinterpret_cast<HWND>(SendMessageA(setup->codeWindow, CW_GETBAR, 1, 0));
    RECT band;
    GetWindowRect(setup->lowerBar, &band);
    RECT client;
    GetClientRect(setup->codeWindow, &client);
    POINT origin = { 0, 0 };
    ClientToScreen(setup->codeWindow, &origin);
    setup->point.x = origin.x + client.right / 3;
    setup->point.y = (band.top + band.bottom) / 2;
    SetCursorPos(setup->point.x, setup->point.y);
    PumpFor(300);
    return FocusCodeWindow(*setup);
}

// Each round runs the pass-through hook's delivery, then the product's notches
// alternating with the direct round trips.
bool BenchNotch()
{
    NotchSetup setup = {};
    if (!SetUpCodeWindow(&setup)) {
        Note("the stamping code window did not come up");
        End(&setup.codeWindowProcess);
        return false;
    }
    HMODULE kestro = LoadLibraryA("kestro.dll");
    typedef int(WINAPI * CountFunction)();
    CountFunction getScrollCount = Ordinal<CountFunction>(kestro, 6);
    typedef int(WINAPI * SetCountFunction)(int);
    SetCountFunction setScrollCount = Ordinal<SetCountFunction>(kestro, 5);

    const int kRounds = 5;
    const int kPerRound = 60;
    std::vector<double> delivery, roundTrips, nullTrips, product, lookupsOnly, product98, noHook;
    int bad = 0;
    int bad98 = 0;
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        Child host = {};
        ok = StartHost(kPassThrough, &host) && FocusCodeWindow(setup);
        if (ok)
            bad += Notches(setup, kPerRound, 0, &delivery, false, &nullTrips);
        End(&host);
        if (!ok)
            break;

        ok = StartHost(kProduct, &host) && FocusCodeWindow(setup);
        if (ok && getScrollCount && getScrollCount() != 3) {
            Note("scroll count is %d, not 3", getScrollCount());
            ok = false;
        }
        if (ok)
            bad += Notches(setup, kPerRound, 6, &product, true, &roundTrips);
        if (ok && setScrollCount) {
            // With no lines to send, what is left is the hook's own lookups on
            // top of the wheel's delivery.
            setScrollCount(0);
            bad += Notches(setup, kPerRound / 2, 0, &lookupsOnly, false, NULL);
            setScrollCount(3);
        }
        End(&host);
        Note("notch round %d: delivery %.0f us, 6 round trips %.0f us, %s %.0f us (medians so far)", round + 1,
             Summarise(delivery).median, Summarise(roundTrips).median, HostLabel(kProduct),
             Summarise(product).median);
    }
    if (ok) {
        // The 9x line on its own: the message hook runs in the code window's
        // thread, so its sends are direct calls.
        Child host = {};
        ok = StartHost(kProduct98, &host) && FocusCodeWindow(setup);
        if (ok)
            bad98 = Notches(setup, kPerRound * 3, 6, &product98, false, NULL);
        End(&host);
        if (ok)
            Notches(setup, kPerRound, 0, &noHook, false, NULL);
    }
    End(&setup.codeWindowProcess);
    if (kestro)
        FreeLibrary(kestro);
    if (!ok)
        return false;

    const Stats pass = Summarise(delivery);
    const Stats trips = Summarise(roundTrips);
    const Stats nt = Summarise(product);
    const Stats nine = Summarise(product98);
    const double composition = pass.median + trips.median;
    ReportText("notch_host", HostLabel(kProduct));
    ReportText("notch_host98", HostLabel(kProduct98));
    Report("notch_count", static_cast<double>(nt.count));
    Report("notch_bad", bad);
    Report("notch_pass_delivery_us", pass.median);
    Report("notch_roundtrips6_us", trips.median);
    Report("notch_composition_us", composition);
    Report("notch_median_us", nt.median);
    Report("notch_p95_us", nt.p95);
    Report("notch_ratio", nt.median / composition);
    Report("notch_roundtrips6_null_us", Summarise(nullTrips).median);
    Report("notch_lookups_delivery_us", Summarise(lookupsOnly).median);
    Report("notch_lookups_ratio", Summarise(lookupsOnly).median / pass.median);
    Report("notch98_count", static_cast<double>(nine.count));
    Report("notch98_bad", bad98);
    Report("notch98_median_us", nine.median);
    Report("notch98_p95_us", nine.p95);
    Report("notch98_nohook_delivery_us", Summarise(noHook).median);
    return true;
}

// ---- 5: notches to a busy code window ----------------------------------------

// How long one injected notch held the input: SendInput waits for the
// low-level hook's answer.
double HeldNotchUs(int index)
{
    const LONGLONG start = BenchTicks();
    Wheel(index % 2 ? WHEEL_DELTA : -WHEEL_DELTA);
    return TicksToUs(BenchTicks() - start);
}

// The code window's thread blocks, as in a running macro; ten notches 100 ms
// apart go to it. Each round is preceded by a notch to the same window while
// it answers, for reference.
bool BenchBusy()
{
    NotchSetup setup = {};
    Child host = {};
    bool ok = SetUpCodeWindow(&setup) && StartHost(kProduct, &host) && FocusCodeWindow(setup);
    const int kRounds = 7;
    const int kNotches = 10;
    std::vector<double> holds, responsive;
    for (int round = 0; round < kRounds && ok; ++round) {
        responsive.push_back(HeldNotchUs(round));
        PumpFor(300);
        PostMessageA(setup.codeWindow, CW_BUSY, 2500, 0);
        DWORD_PTR ignored;
        ok = PumpUntil([&] { return !SendMessageTimeoutA(setup.codeWindow, WM_NULL, 0, 0, SMTO_NORMAL, 20, &ignored); },
                       3000);
        double hold = 0;
        for (int i = 0; i < kNotches && ok; ++i) {
            hold += HeldNotchUs(i);
            PumpFor(100);
        }
        holds.push_back(hold);
        // Until the window has answered again and the program has heard it.
        SendMessageA(setup.codeWindow, WM_NULL, 0, 0);
        PumpFor(500);
        Note("busy round %d: ten notches held the input %.0f ms", round + 1, hold / 1000);
    }
    End(&host);
    End(&setup.codeWindowProcess);
    if (!ok) {
        Note("the busy-window figure could not be taken");
        return false;
    }
    const double budgetUs = kNotchBudgetMs * 1000.0;
    ReportText("busy_host", HostLabel(kProduct));
    Report("busy_hold10_ms", Summarise(holds).median / 1000);
    Report("busy_hold10_max_ms", *std::max_element(holds.begin(), holds.end()) / 1000);
    Report("busy_budget_ms", kNotchBudgetMs);
    Report("busy_ratio", Summarise(holds).median / budgetUs);
    Report("busy_responsive_notch_ms", Summarise(responsive).median / 1000);
    return true;
}

// ---- 4: start-up -------------------------------------------------------------

// Microseconds from CreateProcess to the program's NIM_ADD reaching the tray.
double StartUntilIcon(const char* exe, const char* arguments, bool product)
{
    Child child = {};
    child.label = exe;
    ResetTray();
    const double start = NowUs();
    if (!Launch(exe, arguments, &child))
        return -1;
    const bool added = PumpUntil([] { return tray.added; }, 20000);
    const double us = added ? tray.addedAt - start : -1;
    child.window = tray.iconOwner;
    child.quit = product ? RegisterWindowMessageA("Velmora5") : WM_CLOSE;
    End(&child);
    // Let Wine's process teardown finish before the next start.
    PumpFor(300);
    return us;
}

bool BenchStartup()
{
    if (!Exists("Velmora.exe")) {
        Note("Velmora.exe is not built; no start-up figures");
        return false;
    }
    const int kRounds = 16;
    std::vector<double> product, minimal, ratios;
    StartUntilIcon("traymin.exe", "", false);
    StartUntilIcon("Velmora.exe", "/background", true);
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < 2; ++i) {
            const bool isProduct = (i == 0) == (round % 2 == 0);
            const double us = isProduct ? StartUntilIcon("Velmora.exe", "/background", true)
                                        : StartUntilIcon("traymin.exe", "", false);
            if (us < 0) {
                Note("a start added no tray icon");
                return false;
            }
            (isProduct ? product : minimal).push_back(us);
        }
        ratios.push_back(product.back() / minimal.back());
        Note("start-up round %d: Velmora.exe %.1f ms, minimal %.1f ms", round + 1, product.back() / 1000,
             minimal.back() / 1000);
    }
    const Stats velmora = Summarise(product);
    const Stats baseline = Summarise(minimal);
    Report("startup_product_ms", velmora.median / 1000);
    Report("startup_minimal_ms", baseline.median / 1000);
    Report("startup_product_p95_ms", velmora.p95 / 1000);
    Report("startup_minimal_p95_ms", baseline.p95 / 1000);
    // Paired within each round: a burst of load elsewhere slows both starts.
    Report("startup_ratio", Summarise(ratios).median);
    return true;
}

std::string ProgramDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/"));
}

bool Wanted(int argc, char** argv, const char* name)
{
    if (argc < 2)
        return true;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    binDir = ProgramDir();
    SetCurrentDirectoryA(binDir.c_str());
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerUs = static_cast<double>(frequency.QuadPart) / 1e6;
    hookReady = CreateEventA(NULL, TRUE, FALSE, kHookReadyEvent);
    if (!CreateStandInTray())
        return 2;

    int failures = 0;
    if (Wanted(argc, argv, "hookcost") && !BenchHookCost())
        ++failures;
    if (Wanted(argc, argv, "moves") && !BenchMoves())
        ++failures;
    if (Wanted(argc, argv, "notch") && !BenchNotch())
        ++failures;
    if (Wanted(argc, argv, "busy") && !BenchBusy())
        ++failures;
    if (Wanted(argc, argv, "startup") && !BenchStartup())
        ++failures;
    return failures ? 1 : 0;
}
