// Shared helpers for the tests that run under Wine: child processes, real
// input through the xdotool agent, waiting while pumping messages, and a
// message recorder that dumps both sequences on a mismatch.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

// Tests that rewrite HKEY_CURRENT_USER or install programs refuse to run
// outside Wine, where that would be someone's real machine.
bool UnderWine();

// Directory of the running test program (the build's bin directory).
std::string BinDir();

// Runs xdotool with these arguments on the test display; true on exit code 0.
bool Xdo(const std::string& arguments);

// Puts the real pointer at `point` through X and waits until Windows sees it.
bool MoveCursor(POINT point);

// Pumps this thread's messages for `milliseconds`.
void PumpFor(DWORD milliseconds);

// Pumps messages until `done` holds or the time is up; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

struct ChildProcess {
    HANDLE process = NULL;
    DWORD processId = 0;
    DWORD threadId = 0;
};

// Starts BinDir()\exe with the arguments. The command line is "exe args".
ChildProcess StartChild(const std::string& exe, const std::string& arguments = "");
// Closes the child's windows, waits for it, and terminates it if it lingers.
// Returns its exit code (or ~0u when it had to be terminated).
DWORD EndChild(ChildProcess& child, DWORD waitMs = 5000);
// Waits for the child to end by itself; returns its exit code or ~0u.
DWORD WaitChild(ChildProcess& child, DWORD waitMs = 10000);

// Where a module is loaded in another process; null when it is not. With
// `size`, also how many bytes its image spans.
BYTE* ProcessModuleBase(DWORD processId, const char* moduleName, DWORD* size = nullptr);

// kestro.dll's export `ordinal` run on a new thread of `child`, its result or
// ~0u: on the NT line each process keeps its own library settings.
DWORD CallLibraryIn(const ChildProcess& child, int ordinal, DWORD argument = 0);

// The import-table slot of `module` (of this process) that holds `target`
// imported from `dll`, or null; Patch points such a slot elsewhere.
void** ImportSlot(HMODULE module, const char* dll, FARPROC target);
bool Patch(void** slot, void* value);

// A top-level window of this class owned by the process (0: any process).
HWND FindProcessWindow(const char* className, DWORD processId = 0);
HWND WaitForWindow(const char* className, DWORD processId = 0, DWORD timeoutMs = 10000);

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const RecordedMessage& other) const
    {
        return message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};
using MessageSequence = std::vector<RecordedMessage>;

std::string DumpSequence(const MessageSequence& sequence);
::testing::AssertionResult SequenceIs(const MessageSequence& expected, const MessageSequence& actual);

// `count` pairs of (direction, SB_ENDSCROLL) `message` naming `bar`.
MessageSequence LinePairs(int direction, HWND bar, int count, UINT message = WM_VSCROLL);

// The WM_VSCROLL and WM_HSCROLL record of a sample code window in any process.
MessageSequence CodeWindowRecord(HWND codeWindow);

// Screen point at the centre of the given fraction of a window's client area.
POINT ClientPoint(HWND window, double fx, double fy);
