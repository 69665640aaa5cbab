// Start-up of the tray program: switches, single instance, uninstall, the
// message loop.
#pragma once
#include <windows.h>

// Exit codes besides the quit message's 0.
const int kExitAlreadyRunning = 1;
const int kExitNoMainWindow = 2;
// "/Stop": a running copy had not ended when the wait was over.
const int kExitStillRunning = 3;

// True when `word` occurs in `commandLine` (case-sensitive), looked for at
// character boundaries only, so a double-byte character is never split.
bool CommandLineHas(const char* commandLine, const char* word);

// Runs the program with this full command line; returns the exit code.
int RunVelmora(HINSTANCE instance, const char* commandLine);
