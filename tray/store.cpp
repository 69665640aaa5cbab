// Settings store: scroll count, window list with its lines, and the Run value, all under
// HKEY_CURRENT_USER, with the policies over them (policy.cpp); a machine
// install's logon step is read from HKEY_LOCAL_MACHINE. Every key opened here is closed before returning.
#include "store.h"
#include "appstate.h"
#include "policy.h"
#include "../common/wheelpane.h"

namespace {

const int kDefaultScrollCount = 3;
const DWORD kMaxScrollCount = 50;
const DWORD kEntryBuffer = kMaxClassNameLength + 1;

const int kEntryNameBuffer = 16;

// Entry i of the list is stored under the value name "i".
void EntryValueName(int index, char* name)
{
    wsprintfA(name, "%d", index);
}

LONG OpenProgramKey(const char* path, HKEY* key)
{
    return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, kProgramKeyAccess, key);
}

// Number of values the key holds; 0 when it cannot be told.
DWORD ValueCount(HKEY key)
{
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        return 0;
    return values;
}

int StoredEntryCount(HKEY key)
{
    DWORD stored = 0;
    if (!ReadDword(key, "Count", &stored))
        return 0;
    int count = static_cast<int>(stored);
    // A corrupt Count must not make us append billions of empty entries.
    const DWORD values = ValueCount(key);
    if (count > 0 && static_cast<DWORD>(count) > values)
        count = static_cast<int>(values);
    return count;
}

// Deletes the subkey `name` of the program key with all it holds.
void DeleteStoredKey(const char* name)
{
    HKEY program;
    if (OpenProgramKey(VELMORA_PROGRAM_KEY, &program) != ERROR_SUCCESS)
        return;
    if (IsPlatformNT())
        DeleteKeyTree(program, name);
    else
        RegDeleteKeyA(program, name); // removes the whole tree there
    RegCloseKey(program);
}

// Stored 0 is a page; anything beyond 50 or not a whole REG_DWORD is none.
int StoredLines(HKEY key, const char* className)
{
    DWORD stored = 0;
    if (!className[0] || !ReadDword(key, className, &stored) || stored > kMaxScrollCount)
        return kDefaultLines;
    return stored == 0 ? kPageScrollCount : static_cast<int>(stored);
}

void LoadWindowLines()
{
    HKEY key;
    if (OpenProgramKey(VELMORA_WINDOWCOUNT_KEY, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < WindowListCount(&AppState.windowList); ++i)
        WindowListSetLines(&AppState.windowList, i, StoredLines(key, WindowListAt(&AppState.windowList, i)));
    RegCloseKey(key);
}

// Rebuilt like the list, so that no class left out of it keeps a value.
void SaveWindowLines()
{
    DeleteStoredKey("WindowCount");
    HKEY key = NULL;
    for (int i = 0; i < WindowListCount(&AppState.windowList); ++i) {
        const char* name = WindowListAt(&AppState.windowList, i);
        const int lines = WindowListLinesAt(&AppState.windowList, i);
        if (!name[0] || lines == kDefaultLines)
            continue;
        if (!key) {
            OpenOrCreateKey(VELMORA_WINDOWCOUNT_KEY);
            if (OpenProgramKey(VELMORA_WINDOWCOUNT_KEY, &key) != ERROR_SUCCESS)
                return;
        }
        const DWORD stored = lines == kPageScrollCount ? 0 : static_cast<DWORD>(lines);
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
    }
    if (key)
        RegCloseKey(key);
}

void WriteRunValue(HKEY run, const char* name, const char* switches)
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(AppState.instance, path, MAX_PATH);
    // A cut path would start nothing, or something else, at logon.
    if (length == 0 || length >= MAX_PATH)
        return;
    char command[MAX_PATH + 32];
    wsprintfA(command, "\"%s\" %s", path, switches);
    RegSetValueExA(run, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>(lstrlenA(command) + 1));
}

// The NT line's Run value, made from the module's UTF-16 path in the same
// format: a folder that the ANSI code page cannot name (a Hangul user name
// under code page 1252) would come out of the narrow calls as question marks.
// Built by hand, so that no wide call beyond these two is imported.
void WriteRunValueWide(HKEY run, const char* name, const char* switches)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(AppState.instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    wchar_t command[MAX_PATH + 32];
    DWORD at = 0;
    command[at++] = L'"';
    for (DWORD i = 0; i < length; ++i)
        command[at++] = path[i];
    command[at++] = L'"';
    command[at++] = L' ';
    for (const char* rest = switches; *rest; ++rest) // ASCII only
        command[at++] = static_cast<wchar_t>(*rest);
    command[at] = 0;
    wchar_t wideName[32] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 32);
    RegSetValueExW(run, wideName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>((at + 1) * sizeof(wchar_t)));
}

void DeleteRunValue(HKEY run, const char* name)
{
    char data[kRunValueBuffer];
    DWORD size = sizeof data;
    const LONG result = RegQueryValueExA(run, name, NULL, NULL, reinterpret_cast<BYTE*>(data), &size);
    // A value too long for the buffer is still there and must go.
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)
        RegDeleteValueA(run, name);
}

// Writes (NT: from the UTF-16 path) or removes one of the Run values.
void PutRunValue(HKEY run, const char* name, const char* switches, bool enable)
{
    if (enable && IsPlatformNT())
        WriteRunValueWide(run, name, switches);
    else if (enable)
        WriteRunValue(run, name, switches); // Windows 9x: the wide calls are stubs there
    else
        DeleteRunValue(run, name);
}

// True when `command` starts this very file: its path, compared without case,
// right after a quote and before a quote or the backslash of an escaped one
// (a Run value: "PATH" /background; a logon step's reg.exe line: \"PATH\").
bool NamesThisCopy(const char* command)
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(AppState.instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    for (const char* at = command; *at; at = CharNextA(at)) {
        if (*at != '"' || lstrlenA(at + 1) < static_cast<int>(length))
            continue;
        const char after = at[1 + length];
        if ((after == '"' || after == '\\') &&
            CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, at + 1, length, path, length) == CSTR_EQUAL)
            return true;
    }
    return false;
}

// Reads a string value of `path` under `root` into `text`; empty when absent.
void ReadValueText(HKEY root, const char* path, const char* name, char* text, DWORD capacity)
{
    text[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    ReadString(key, name, text, capacity);
    RegCloseKey(key);
}

// Where Active Setup records a step as run for the user: 64-bit Windows
// keeps the records of 32-bit steps apart.
const char* const kLogonStepRecords[] = {
    VELMORA_LOGON_STEP_KEY,
    "Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components\\Velmora5",
};

// A step's or a record's version, empty when there is none.
void LogonStepVersion(HKEY root, const char* path, char* version, DWORD capacity)
{
    ReadValueText(root, path, "Version", version, capacity);
}

// The machine's step has not run for this user yet: no record of the user's
// carries its version.
bool LogonStepPending(char* machine, DWORD capacity)
{
    LogonStepVersion(HKEY_LOCAL_MACHINE, VELMORA_LOGON_STEP_KEY, machine, capacity);
    if (!machine[0])
        return false;
    for (const char* record : kLogonStepRecords) {
        char user[16];
        LogonStepVersion(HKEY_CURRENT_USER, record, user, sizeof user);
        if (lstrcmpA(machine, user) == 0)
            return false;
    }
    return true;
}

// Records the step as run for this user, as Active Setup would.
void SettleLogonStep()
{
    char machine[16];
    if (!LogonStepPending(machine, sizeof machine))
        return;
    for (const char* record : kLogonStepRecords) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, record, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE, NULL, &key, NULL) !=
            ERROR_SUCCESS)
            continue;
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(machine),
                       static_cast<DWORD>(lstrlenA(machine) + 1));
        RegCloseKey(key);
    }
}

// A REG_DWORD under the Option key, which is made when missing.
void WriteOption(const char* name, DWORD value)
{
    OpenOrCreateKey(VELMORA_OPTION_KEY);
    HKEY key;
    if (OpenProgramKey(VELMORA_OPTION_KEY, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

// An on/off choice: on only for a REG_DWORD 1, anything else is off.
int ReadOnOffOption(const char* name)
{
    HKEY key;
    if (OpenProgramKey(VELMORA_OPTION_KEY, &key) != ERROR_SUCCESS)
        return 0;
    DWORD stored = 0;
    const bool on = ReadDword(key, name, &stored) && stored == 1;
    RegCloseKey(key);
    return on ? 1 : 0;
}

} // namespace

int LoadScrollCount()
{
    int value = kDefaultScrollCount; // when even the system cannot tell
    if (ReadPolicy(kScrollCountPolicy, &value))
        return value;
    UINT systemLines = 0;
    if (SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &systemLines, 0))
        value = static_cast<int>(systemLines);

    HKEY key;
    if (OpenProgramKey(VELMORA_OPTION_KEY, &key) != ERROR_SUCCESS)
        return value;
    DWORD stored = 0;
    if (ReadDword(key, "ScrollCount", &stored))
        value = (stored == 0 || stored > kMaxScrollCount) ? kDefaultScrollCount : static_cast<int>(stored);
    RegCloseKey(key);
    return value;
}

void SaveScrollCount(int count)
{
    WriteOption("ScrollCount", static_cast<DWORD>(count));
}

int LoadShiftScroll()
{
    return PolicyOr(kShiftScrollPolicy, ReadOnOffOption("ShiftScroll"));
}

void SaveShiftScroll(int enable)
{
    WriteOption("ShiftScroll", enable ? 1 : 0);
}

int LoadScrollUnfocused()
{
    return PolicyOr(kScrollUnfocusedPolicy, ReadOnOffOption("ScrollUnfocused"));
}

void SaveScrollUnfocused(int enable)
{
    WriteOption("ScrollUnfocused", enable ? 1 : 0);
}

int LoadCtrlPage()
{
    return PolicyOr(kCtrlPagePolicy, ReadOnOffOption("CtrlPage"));
}

void SaveCtrlPage(int enable)
{
    WriteOption("CtrlPage", enable ? 1 : 0);
}

void LoadWindowList()
{
    LoadPolicyWindowList(&AppState.policyWindowList);
    WindowListClear(&AppState.windowList);
    HKEY key;
    if (OpenProgramKey(VELMORA_WINDOWLIST_KEY, &key) != ERROR_SUCCESS)
        return;
    const int count = StoredEntryCount(key);
    for (int i = 0; i < count; ++i) {
        char name[kEntryNameBuffer];
        EntryValueName(i, name);
        char text[kEntryBuffer] = {};
        ReadString(key, name, text, sizeof text);
        if (lstrcmpA(text, "VbaWindow") != 0)
            WindowListAppend(&AppState.windowList, text);
    }
    RegCloseKey(key);
    LoadWindowLines();
}

void SaveWindowList()
{
    SaveWindowLines();
    DeleteStoredKey("WindowList");
    OpenOrCreateKey(VELMORA_WINDOWLIST_KEY);
    HKEY key;
    if (OpenProgramKey(VELMORA_WINDOWLIST_KEY, &key) != ERROR_SUCCESS)
        return;
    const int count = WindowListCount(&AppState.windowList);
    const DWORD stored = static_cast<DWORD>(count);
    RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
    for (int i = 0; i < count; ++i) {
        char name[kEntryNameBuffer];
        EntryValueName(i, name);
        const char* text = WindowListAt(&AppState.windowList, i);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(lstrlenA(text) + 1));
    }
    RegCloseKey(key);
}

LONG SetRunAtStartup(bool enable)
{
    HKEY run;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, KEY_ALL_ACCESS, &run);
    if (opened != ERROR_SUCCESS)
        return opened;
    PutRunValue(run, AppState.appName, kBackgroundSwitch, enable);
    SettleLogonStep();
    return RegCloseKey(run);
}

void SetPolicyRunAtLogon(bool enable)
{
    HKEY run;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, KEY_ALL_ACCESS, &run) != ERROR_SUCCESS)
        return;
    PutRunValue(run, kPolicyRunValue, kPolicyStartSwitches, enable);
    RegCloseKey(run);
}

void ForgetOwnRunAtStartup()
{
    const char* const names[] = { AppState.appName, kPolicyRunValue };
    for (const char* name : names) {
        char command[kRunValueBuffer + 32];
        ReadValueText(HKEY_CURRENT_USER, VELMORA_RUN_KEY, name, command, sizeof command);
        HKEY run;
        if (NamesThisCopy(command) && RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, KEY_ALL_ACCESS, &run) == ERROR_SUCCESS) {
            RegDeleteValueA(run, name);
            RegCloseKey(run);
        }
    }
    char stub[2048];
    ReadValueText(HKEY_LOCAL_MACHINE, VELMORA_LOGON_STEP_KEY, "StubPath", stub, sizeof stub);
    if (NamesThisCopy(stub))
        SettleLogonStep();
}

int IsRunAtStartup()
{
    HKEY run;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, KEY_ALL_ACCESS, &run) != ERROR_SUCCESS)
        return 0;
    char data[kRunValueBuffer + 1];
    DWORD size = kRunValueBuffer;
    const LONG result = RegQueryValueExA(run, AppState.appName, NULL, NULL, reinterpret_cast<BYTE*>(data), &size);
    int present = 0;
    if (result == ERROR_SUCCESS) {
        data[size < kRunValueBuffer ? size : kRunValueBuffer] = 0;
        present = data[0] != 0;
    } else if (result == ERROR_MORE_DATA) {
        present = 1; // too long to read, but it starts the program all the same
    }
    RegCloseKey(run);
    char machine[16];
    return present || LogonStepPending(machine, sizeof machine);
}

bool ReadDword(HKEY key, const char* name, DWORD* value)
{
    DWORD type = 0;
    DWORD size = sizeof *value;
    const LONG result = RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(value), &size);
    return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof *value;
}

void ReadString(HKEY key, const char* name, char* text, DWORD capacity)
{
    DWORD type = 0;
    DWORD size = capacity;
    const LONG result = RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(text), &size);
    const bool isText = type == REG_SZ || type == REG_EXPAND_SZ;
    const bool terminated = size > 0 && size <= capacity && text[size - 1] == 0;
    if (result != ERROR_SUCCESS || !isText || !terminated)
        text[0] = 0;
}

void OpenOrCreateKey(const char* path)
{
    HKEY key;
    if (OpenProgramKey(path, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, REG_OPTION_NON_VOLATILE, kProgramKeyAccess, NULL, &key,
                        NULL) == ERROR_SUCCESS)
        RegCloseKey(key);
}

LONG DeleteKeyTree(HKEY parent, const char* name)
{
    HKEY key;
    const LONG opened = RegOpenKeyExA(parent, name, 0, kProgramKeyAccess, &key);
    if (opened != ERROR_SUCCESS)
        return opened;
    for (;;) {
        char subkey[256];
        DWORD size = sizeof subkey;
        if (RegEnumKeyExA(key, 0, subkey, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        const LONG deleted = DeleteKeyTree(key, subkey);
        if (deleted != ERROR_SUCCESS) {
            RegCloseKey(key);
            return deleted;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}
