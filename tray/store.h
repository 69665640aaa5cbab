// The tray program's settings in the current user's registry. Reads are
// lenient (anything unreadable falls back to a default); writes are unchecked.
#pragma once
#include <windows.h>

// Registry paths below HKEY_CURRENT_USER.
#define VELMORA_PROGRAM_KEY "SOFTWARE\\Quor\\Velmora5"
#define VELMORA_OPTION_KEY VELMORA_PROGRAM_KEY "\\Option"
#define VELMORA_WINDOWLIST_KEY VELMORA_PROGRAM_KEY "\\WindowList"
// Lines per notch of listed classes: a REG_DWORD named after each class that
// has its own, 0 for a page. Apart from the list, which older versions read.
#define VELMORA_WINDOWCOUNT_KEY VELMORA_PROGRAM_KEY "\\WindowCount"
#define VELMORA_RUN_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
// A machine install's Active Setup step (HKEY_LOCAL_MACHINE), which writes
// each user's Run value at that user's next logon, and its record per user.
#define VELMORA_LOGON_STEP_KEY "Software\\Microsoft\\Active Setup\\Installed Components\\Velmora5"

// The program's own keys are opened with these rights, also to read.
const REGSAM kProgramKeyAccess = KEY_READ | KEY_WRITE;
// Size of the Run value buffers: the path buffer of the program.
const DWORD kRunValueBuffer = MAX_PATH;

// Lines per wheel notch: a policy's, else the stored value (1 to 50; out of
// range gives 3), or the system's wheel setting when none is stored.
int LoadScrollCount();
void SaveScrollCount(int count);

// Shift+wheel sideways: a policy's, else 1 only for a stored REG_DWORD 1.
int LoadShiftScroll();
void SaveShiftScroll(int enable);
// Served windows scroll without the focus; the same rule.
int LoadScrollUnfocused();
void SaveScrollUnfocused(int enable);
// Ctrl+wheel scrolls a page a notch; the same rule.
int LoadCtrlPage();
void SaveCtrlPage(int enable);

// Replaces AppState.windowList with the stored list and its entries' lines,
// and AppState.policyWindowList with the policies' classes.
void LoadWindowList();
// Rebuilds the stored list and its lines from AppState.windowList.
void SaveWindowList();

// Writes or removes the Run value, and settles a pending logon step so that
// it does not undo the choice; the error of opening the Run key, else 0.
LONG SetRunAtStartup(bool enable);
// A policy's logon start: a Run value of its own beside the user's, which
// a policy never touches. Its start carries kPolicyStartSwitches.
const char* const kPolicyRunValue = "Velmora5.Policy";
const char* const kBackgroundSwitch = "/background";
const char* const kPolicyStartSwitches = "/background /policy";
// Writes or removes that value; registry failures are silent.
void SetPolicyRunAtLogon(bool enable);
// "/Uninstall": removes the Run values only where they start this very file,
// and settles a pending logon step only where that step starts it.
void ForgetOwnRunAtStartup();
// 1 when the Run value is present and not empty, or a pending logon step
// will write it at the next logon.
int IsRunAtStartup();

// A whole REG_DWORD only, a shorter value would leave bytes unset.
bool ReadDword(HKEY key, const char* name, DWORD* value);
// A NUL-terminated string value; anything else leaves `text` empty.
void ReadString(HKEY key, const char* name, char* text, DWORD capacity);

// Makes HKEY_CURRENT_USER\path exist, creating missing keys on the way.
void OpenOrCreateKey(const char* path);
// Deletes parent\name with all its subkeys; a Win32 error code.
LONG DeleteKeyTree(HKEY parent, const char* name);
