// Figure 7: a working day in a few minutes, and what it leaves behind.
//
// Done: with Velmora.exe /background running, the class of a listed window
//   in its list, one line a notch and the unfocused listed window served:
//   10,000 notches spread over the two panes of the sample code window and
//   the listed window; 1,000 code windows made and destroyed (soakwin.exe
//   makes a new one each time its window is closed, ten notches each); 50
//   openings of the settings dialog, each closed with OK; the hook dropped
//   the way the system drops it and put back by the program 20 times, each
//   within 10 s of the mouse moving again. The four are interleaved.
// Measured: Velmora.exe's handle count (the system's process list), its USER
//   and GDI objects (GetGuiResources; Wine answers neither, which the figure
//   reports as -1; it then reads the GDI objects from Wine's own table of the
//   process, and counts the program's windows for USER), and its private bytes
//   (the committed private pages of its address space, from VirtualQueryEx), after
//   one warm-up round of each activity and again at the end; and the notches
//   that did not reach their window: one SB_ENDSCROLL a notch, counted in
//   each window's own record. Notches whose SendInput was held past the
//   notch budget are counted too: on a loaded machine the hook rightly stops
//   sending when the budget runs out.
// Reports: soak_{handles,user,gdi,wine_gdi,windows,private_kib}_{before,after,
//   growth}, soak_notches, soak_notches_lost, soak_notches_over_budget,
//   soak_code_windows, soak_dialogs, soak_drops, soak_drops_missed,
//   soak_seconds.
#include "harness.h"
#include "codewin.h"
#include "wheelpane.h"
#include <stdlib.h>
#include <tlhelp32.h>
#include <winternl.h>

namespace {

const char kListedClass[] = "VelmoraSoakListed";
const char kProgramKey[] = "SOFTWARE\\Quor\\Velmora5";
const char kUnmanagedKey[] = "Software\\Wine\\AppDefaults\\soakwin.exe\\X11 Driver";
const int kRounds = 1000;       // one code window each; VELMORA_SOAK_ROUNDS for a shorter trial
const int kNotchesARound = 10;  // 10,000 in all
const int kDialogEvery = 20;    // 50 dialogs
const int kDropEvery = 50;      // 20 drops
const int kStoredCount = 1;     // one SB_ENDSCROLL a notch; the system's count is 3
const UINT kSettingsCommand = 32772;

struct Footprint {
    double handles, user, gdi, wineGdi, windows, privateKib;
};

struct Soak {
    Child program, code, listed;
    HWND codeWindow, listedWindow;
    POINT upper, lower, other;
    BYTE* remoteKestro;
    HMODULE kestro;
    int notches, lost, overBudget, windows, dialogs, drops, dropsMissed;
};

// ---- Settings of the run, in the prefix's registry -------------------------------

void PutDword(HKEY key, const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool StoreSettings()
{
    HKEY option, list;
    const std::string program = kProgramKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (program + "\\Option").c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &option,
                        NULL) != ERROR_SUCCESS)
        return false;
    PutDword(option, "ScrollCount", kStoredCount);
    PutDword(option, "ScrollUnfocused", 1);
    RegCloseKey(option);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (program + "\\WindowList").c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &list,
                        NULL) != ERROR_SUCCESS)
        return false;
    PutDword(list, "Count", 1);
    RegSetValueExA(list, "0", 0, REG_SZ, reinterpret_cast<const BYTE*>(kListedClass), sizeof kListedClass);
    RegCloseKey(list);
    // The virtual display has no window manager, and Wine waits up to 2 s for
    // one whenever a window it handed over goes: the code windows keep theirs.
    HKEY wine;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kUnmanagedKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &wine, NULL) == ERROR_SUCCESS) {
        RegSetValueExA(wine, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(wine);
    }
    return true;
}

// The other figures expect the defaults.
void ForgetSettings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kUnmanagedKey);
}

// ---- Velmora.exe from outside --------------------------------------------------------

struct WindowCount {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM lParam)
{
    WindowCount* windows = reinterpret_cast<WindowCount*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == windows->processId) {
        ++windows->count;
        EnumChildWindows(window, CountWindow, lParam);
    }
    return TRUE;
}

// Committed pages that belong to this process alone: what Windows calls its
// private bytes.
double PrivateKib(HANDLE process)
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (BYTE* at = NULL; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
         at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
    }
    return static_cast<double>(total) / 1024;
}

// -1 where the system does not answer.
double GuiObjects(HANDLE process, DWORD kind)
{
    const DWORD count = GetGuiResources(process, kind);
    return count ? static_cast<double>(count) : -1;
}

// Wine answers neither GetGuiResources nor GetProcessHandleCount, but it
// keeps each process's GDI objects in a table of its own that the process's
// PEB points to (GdiSharedHandleTable), entries of 24 bytes; a used entry has
// a type, and stock objects carry a flag.
double WineGdiObjects(HANDLE process)
{
    typedef LONG(NTAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    QueryProcess query = reinterpret_cast<QueryProcess>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    const size_t tableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;
    BYTE* table = NULL;
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, NULL) != 0 ||
        !ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + tableOffset, &table, sizeof table,
                           NULL) || !table)
        return -1;
    const size_t kEntries = 0x10000, kEntrySize = 24;
    std::vector<BYTE> entries(kEntries * kEntrySize);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size(), NULL))
        return -1;
    int used = 0;
    for (size_t i = 0; i < kEntries; ++i) {
        const BYTE* entry = &entries[i * kEntrySize];
        used += entry[14] != 0 && !(entry[12] & 0x80); // Type; StockFlag in Unique's low byte
    }
    return used;
}

// Handles from the system's process list, which Wine fills too.
double HandleCount(DWORD processId)
{
    typedef LONG(NTAPI * QuerySystem)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    QuerySystem query = reinterpret_cast<QuerySystem>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> list(4 << 20);
    if (!query || query(SystemProcessInformation, list.data(), static_cast<ULONG>(list.size()), NULL) != 0)
        return -1;
    for (size_t at = 0;;) {
        const SYSTEM_PROCESS_INFORMATION* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&list[at]);
        if (static_cast<DWORD>(reinterpret_cast<UINT_PTR>(entry->UniqueProcessId)) == processId)
            return entry->HandleCount;
        if (!entry->NextEntryOffset)
            return -1;
        at += entry->NextEntryOffset;
    }
}

Footprint Measure(const Soak& soak)
{
    PumpFor(1000); // let the last of the activity settle
    HANDLE process = soak.program.info.hProcess;
    Footprint footprint = {};
    footprint.handles = HandleCount(soak.program.info.dwProcessId);
    footprint.user = GuiObjects(process, GR_USEROBJECTS);
    footprint.gdi = GuiObjects(process, GR_GDIOBJECTS);
    footprint.wineGdi = footprint.gdi < 0 ? WineGdiObjects(process) : -1;
    WindowCount windows = { soak.program.info.dwProcessId, 0 };
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
    footprint.windows = windows.count;
    footprint.privateKib = PrivateKib(process);
    return footprint;
}

// Runs one of the library's exports, by ordinal, on a new thread of the
// program; its result.
DWORD CallProgramLibrary(const Soak& soak, int ordinal, DWORD argument)
{
    BYTE* local = reinterpret_cast<BYTE*>(soak.kestro);
    BYTE* entry = reinterpret_cast<BYTE*>(Ordinal<FARPROC>(soak.kestro, ordinal));
    if (!soak.remoteKestro || !entry)
        return ~0u;
    auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(soak.remoteKestro + (entry - local)));
    HANDLE thread = CreateRemoteThread(soak.program.info.hProcess, NULL, 0, start,
                                       reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(argument)), 0, NULL);
    DWORD result = ~0u;
    if (thread && WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0)
        GetExitCodeThread(thread, &result);
    if (thread)
        CloseHandle(thread);
    return result;
}

BYTE* RemoteModule(DWORD processId, const char* name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return NULL;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    BYTE* base = NULL;
    for (BOOL more = Module32First(snapshot, &module); more && !base; more = Module32Next(snapshot, &module))
        if (lstrcmpiA(module.szModule, name) == 0)
            base = module.modBaseAddr;
    CloseHandle(snapshot);
    return base;
}

// ---- The activities ---------------------------------------------------------------------

POINT PaneCentre(HWND bar, HWND window)
{
    RECT band;
    GetWindowRect(bar, &band);
    RECT client;
    GetWindowRect(window, &client);
    POINT point = { (client.left + band.left) / 2, (band.top + band.bottom) / 2 };
    return point;
}

bool FindCodeWindow(Soak* soak, HWND gone)
{
    const DWORD processId = soak->code.info.dwProcessId;
    PumpUntil([&] {
        soak->codeWindow = FindChildWindow("VbaWindow", processId);
        return soak->codeWindow && soak->codeWindow != gone && IsWindowVisible(soak->codeWindow);
    }, 10000);
    if (!soak->codeWindow || soak->codeWindow == gone)
        return false;
    soak->code.window = soak->codeWindow;
    soak->upper = PaneCentre(reinterpret_cast<HWND>(SendMessageA(soak->codeWindow, CW_GETBAR, 0, 0)), soak->codeWindow);
    soak->lower = PaneCentre(reinterpret_cast<HWND>(SendMessageA(soak->codeWindow, CW_GETBAR, 1, 0)), soak->codeWindow);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!PumpUntil([&] { return GetGUIThreadInfo(0, &info) && info.hwndFocus == soak->codeWindow; }, 3000)) {
        PostMessageA(soak->codeWindow, CW_FOCUS, 0, 0);
        PumpUntil([&] { return GetGUIThreadInfo(0, &info) && info.hwndFocus == soak->codeWindow; }, 3000);
    }
    return true;
}

// The code window's process makes a new one as soon as this one is gone.
bool RenewCodeWindow(Soak* soak)
{
    HWND old = soak->codeWindow;
    PostMessageA(old, WM_CLOSE, 0, 0);
    ++soak->windows;
    return FindCodeWindow(soak, old);
}

int EndScrolls(HWND window)
{
    const int count = static_cast<int>(SendMessageA(window, CW_GETCOUNT, 0, 0));
    int ends = 0;
    for (int i = 0; i < count; ++i)
        ends += LOWORD(SendMessageA(window, CW_GETWPARAM, i, 0)) == SB_ENDSCROLL;
    return ends;
}

// Ten notches: the upper pane, the lower pane and the listed window in turn,
// down and up alternately; then each window's record says what arrived.
void NotchRound(Soak* soak, int round)
{
    int toCode = 0, toListed = 0;
    for (int i = 0; i < kNotchesARound; ++i) {
        const int n = round * kNotchesARound + i;
        const POINT at = n % 3 == 0 ? soak->upper : n % 3 == 1 ? soak->lower : soak->other;
        (n % 3 == 2 ? toListed : toCode) += 1;
        MoveTo(at.x, at.y);
        // SendInput waits for the hook; one held past the notch budget was cut short by it.
        const double sent = NowUs();
        Wheel(n % 2 ? WHEEL_DELTA : -WHEEL_DELTA);
        soak->overBudget += NowUs() - sent >= kNotchBudgetMs * 1000.0;
    }
    int atCode = 0, atListed = 0;
    PumpUntil([&] {
        atCode = EndScrolls(soak->codeWindow);
        atListed = EndScrolls(soak->listedWindow);
        return atCode + atListed >= toCode + toListed;
    }, 2000);
    soak->notches += toCode + toListed;
    soak->lost += toCode + toListed - atCode - atListed;
    if (atCode + atListed < toCode + toListed)
        Note("soak: round %d: %d of %d notches reached the code window, %d of %d the listed one", round, atCode,
             toCode, atListed, toListed);
    SendMessageA(soak->codeWindow, CW_CLEAR, 0, 0);
    SendMessageA(soak->listedWindow, CW_CLEAR, 0, 0);
}

HWND ProgramDialog(const Soak& soak)
{
    HWND dialog = FindChildWindow("#32770", soak.program.info.dwProcessId);
    return dialog && IsWindowVisible(dialog) ? dialog : NULL;
}

bool SettingsDialogWithOk(Soak* soak)
{
    PostMessageA(soak->program.window, WM_COMMAND, kSettingsCommand, 0);
    HWND dialog = NULL;
    if (!PumpUntil([&] { return (dialog = ProgramDialog(*soak)) != NULL; }, 10000))
        return false;
    PumpFor(500); // open long enough to be drawn whole, as a user would see it
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    const bool closed = PumpUntil([&] { return !IsWindow(dialog); }, 10000);
    soak->dialogs += closed;
    return closed;
}

// As the system drops it: one thread of the program removes the hook, the
// next installs one that ends with that thread, leaving the library a stale
// handle and the system's count. The program's watch must put its own hook
// back, with the stored count, once the mouse moves.
void DropHook(Soak* soak)
{
    CallProgramLibrary(*soak, 4, 0);
    CallProgramLibrary(*soak, 4, 1);
    ++soak->drops;
    int step = 0;
    const bool back = PumpUntil([&] {
        const POINT at = ++step % 2 ? soak->upper : soak->lower;
        MoveTo(at.x + step % 40, at.y); // a hand never comes back to the same pixel
        return CallProgramLibrary(*soak, 6, 0) == static_cast<DWORD>(kStoredCount);
    }, 10000);
    soak->dropsMissed += !back;
}

void ReportFootprint(const char* name, double before, double after)
{
    char key[64];
    wsprintfA(key, "soak_%s_before", name);
    Report(key, before);
    wsprintfA(key, "soak_%s_after", name);
    Report(key, after);
    wsprintfA(key, "soak_%s_growth", name);
    Report(key, before < 0 || after < 0 ? -1 : after - before);
}

bool SetUp(Soak* soak)
{
    soak->kestro = LoadLibraryA("kestro.dll");
    soak->listed.label = "codewin.exe";
    soak->code.label = "soakwin.exe";
    if (!soak->kestro || !StoreSettings() || !Launch("codewin.exe", std::string("/class:") + kListedClass + " /at:760,120,400,480", &soak->listed) ||
        !Launch("soakwin.exe", "/at:120,120,600,480", &soak->code))
        return false;
    PumpUntil([&] { return (soak->listedWindow = FindChildWindow(kListedClass, soak->listed.info.dwProcessId)) != NULL; },
              15000);
    soak->listed.window = soak->listedWindow;
    soak->listed.quit = WM_CLOSE;
    if (!soak->listedWindow || !FindCodeWindow(soak, NULL))
        return false;
    soak->other = PaneCentre(reinterpret_cast<HWND>(SendMessageA(soak->listedWindow, CW_GETBAR, 1, 0)), soak->listedWindow);
    if (!StartHost(kProduct, &soak->program))
        return false;
    soak->remoteKestro = RemoteModule(soak->program.info.dwProcessId, "kestro.dll");
    // The program may have taken the activation as it started.
    PostMessageA(soak->codeWindow, CW_FOCUS, 0, 0);
    return soak->remoteKestro && CallProgramLibrary(*soak, 6, 0) == static_cast<DWORD>(kStoredCount) &&
           FindCodeWindow(soak, NULL);
}

void EndAll(Soak* soak)
{
    End(&soak->program);
    // Its process ends on a WM_QUIT that its window did not cause.
    soak->code.window = NULL;
    End(&soak->code);
    End(&soak->listed);
    if (soak->kestro)
        FreeLibrary(soak->kestro);
    ForgetSettings();
}

} // namespace

bool BenchSoak()
{
    const double start = NowUs();
    char trial[16] = {};
    const int rounds = GetEnvironmentVariableA("VELMORA_SOAK_ROUNDS", trial, sizeof trial) ? atoi(trial) : kRounds;
    Soak soak = {};
    if (!SetUp(&soak)) {
        Note("soak: the program, the code window or the listed window did not come up");
        EndAll(&soak);
        return false;
    }
    // One of each first, the dialog twice: what is made once (the dialog's
    // classes, the theme's bitmaps, the heap's first blocks) is not growth.
    NotchRound(&soak, 0);
    bool ok = SettingsDialogWithOk(&soak) && SettingsDialogWithOk(&soak) && RenewCodeWindow(&soak);
    DropHook(&soak);
    soak.notches = soak.lost = soak.overBudget = soak.windows = soak.dialogs = soak.drops = soak.dropsMissed = 0;
    const Footprint before = Measure(soak);
    double notchUs = 0, windowUs = 0;
    for (int round = 0; ok && round < rounds; ++round) {
        const double roundStart = NowUs();
        NotchRound(&soak, round);
        notchUs += NowUs() - roundStart;
        if (round % kDialogEvery == kDialogEvery - 1)
            ok = SettingsDialogWithOk(&soak);
        if (ok && round % kDropEvery == kDropEvery / 2)
            DropHook(&soak);
        const double windowStart = NowUs();
        ok = ok && RenewCodeWindow(&soak);
        windowUs += NowUs() - windowStart;
        if (round % 100 == 99 || round == 9)
            Note("soak: %d rounds, %d notches, %d lost; %.0f s in notches, %.0f s in new code windows", round + 1,
                 soak.notches, soak.lost, notchUs / 1e6, windowUs / 1e6);
    }
    const Footprint after = Measure(soak);
    if (!ok)
        Note("soak: stopped early (dialog or code window did not come back); %d windows, %d dialogs", soak.windows,
             soak.dialogs);
    ReportFootprint("handles", before.handles, after.handles);
    ReportFootprint("user", before.user, after.user);
    ReportFootprint("gdi", before.gdi, after.gdi);
    ReportFootprint("wine_gdi", before.wineGdi, after.wineGdi);
    ReportFootprint("windows", before.windows, after.windows);
    ReportFootprint("private_kib", before.privateKib, after.privateKib);
    Report("soak_notches", soak.notches);
    Report("soak_notches_lost", soak.lost);
    Report("soak_notches_over_budget", soak.overBudget);
    Report("soak_code_windows", soak.windows);
    Report("soak_dialogs", soak.dialogs);
    Report("soak_drops", soak.drops);
    Report("soak_drops_missed", soak.dropsMissed);
    EndAll(&soak);
    Report("soak_seconds", (NowUs() - start) / 1e6);
    return ok;
}
