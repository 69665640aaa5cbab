// What every figure of velbench.exe shares: one clock for all processes,
// the order of interleaved rounds, medians and quartiles, the "R key value"
// lines for bench/run.sh, and the helper processes (hook hosts, the stand-in
// tray, the stamping code window) with their starting and ending.
//   harness.cpp  clock, statistics, reporting, message pumping, rounds
//   helpers.cpp  helper processes, the stand-in tray, hook hosts, input
#pragma once
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "benchshared.h"

// Once, before any figure: the folder, the clock, the stand-in tray.
bool StartHarness();

// ---- Clock: QueryPerformanceCounter, the same in every process ------------

void StartClock();
double TicksToUs(LONGLONG ticks); // a difference of BenchTicks() values
double NowUs();

// ---- Rounds ------------------------------------------------------------------

// Which of `contestants` goes in `slot` of `round`: the order rotates from
// round to round, so that drift in the machine's load hits all of them alike.
// With two: 0 goes first in even rounds, 1 in odd ones.
inline int InRound(int slot, int round, int contestants)
{
    return (slot + round) % contestants;
}

// ---- Statistics ---------------------------------------------------------------

struct Stats {
    double median;
    double p95;
    size_t count;
};

// The median (the upper one of an even count) and the 95th percentile.
Stats Summarise(std::vector<double> values);
// The lower quartile: values[n / 4] of the sorted values.
double LowerQuartile(std::vector<double> values);

// ---- Output -----------------------------------------------------------------

// Progress and diagnostics, on stderr: "# ...".
void Note(const char* format, ...);
// One result, on stdout: "R key value", read by bench/run.sh.
void Report(const char* key, double value);
void ReportText(const char* key, const char* value);

// ---- Messages -----------------------------------------------------------------

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

void PumpFor(DWORD milliseconds);

// ---- Helper processes -----------------------------------------------------------

// The folder of velbench.exe and of everything it starts.
extern std::string binDir;
bool Exists(const std::string& exe);

struct Child {
    PROCESS_INFORMATION info;
    HWND window; // posted `quit` to end it; null: WM_QUIT to its thread
    UINT quit;
    const char* label;
};

bool Launch(const std::string& exe, const std::string& arguments, Child* child);
bool Running(const Child& child);
// Asks the child to end and waits, pumping: its clean-up may send to us.
void End(Child* child);
// The first top-level window of `className` that `processId` owns.
HWND FindChildWindow(const char* className, DWORD processId);

// ---- The stand-in tray ------------------------------------------------------------
// The shell sends every tray request to the first "Shell_TrayWnd" window as
// WM_COPYDATA. A hidden topmost one of velbench.exe comes first, so it sees
// the moment an icon is added, and hook hosts that add an icon once their hook
// is in place tell it that they are ready.

struct TrayState {
    HWND window;
    bool added;      // an NIM_ADD arrived since ResetTray()
    double addedAt;  // NowUs() on its arrival
    HWND iconOwner;
};
extern TrayState tray;

bool CreateStandInTray();
void ResetTray();

// ---- Hook hosts -----------------------------------------------------------------

// kPassThrough: passhook.exe, a WH_MOUSE_LL hook that only calls CallNextHookEx;
// kPassThroughWindow: the same on a thread that also owns a hidden window;
// kProduct: Velmora.exe /background (hookhost.exe when the tray is not built);
// kProduct98: the same, run by Wine as Windows 98 (the message hook).
enum HostKind { kPassThrough, kPassThroughWindow, kProduct, kProduct98 };

const char* HostLabel(HostKind kind);
// Starts a process that holds one global hook and returns once the hook is
// in place.
bool StartHost(HostKind kind, Child* host);

// ---- Input ------------------------------------------------------------------------

void MoveTo(int x, int y); // SendInput, absolute
void Wheel(int delta);     // SendInput, one wheel event

// A kestro.dll export by its ordinal, or null.
template <typename Function> Function Ordinal(HMODULE module, int ordinal)
{
    if (!module)
        return NULL;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

// ---- The stamping code window -------------------------------------------------------
// stampwin.exe: the sample code window in its own process, leaving time stamps
// of its WM_VSCROLL and WM_MOUSEWHEEL in shared memory (benchshared.h).

struct CodeWindow {
    Child process;
    HWND window;
    HWND lowerBar;     // the lower pane's scroll bar
    POINT point;       // over the lower pane, where the notches go
    BenchStamps* stamps;
    HANDLE wheelEvent; // set by the window after it stamped a WM_MOUSEWHEEL
};

// Starts it, puts the cursor over its lower pane and gives it the focus.
bool SetUpCodeWindow(CodeWindow* code);
// Hidden hook hosts may take the activation when they start: takes it back.
bool FocusCodeWindow(const CodeWindow& code);
void ClearStamps(BenchStamps* stamps);
