#include "testsupport.h"
#include "../../tools/codewin/codewin.h"
#include <tlhelp32.h>
#include <cstdio>
#include <cstdlib>
#include <sstream>

std::string BinDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/"));
}

static std::string XdoDirectory()
{
    const char* unixDir = getenv("VELMORA_XDO_DIR");
    if (!unixDir)
        return std::string();
    std::string dir = std::string("Z:") + unixDir;
    for (char& c : dir)
        if (c == '/')
            c = '\\';
    return dir;
}

bool Xdo(const std::string& arguments)
{
    static int sequence = 0;
    const std::string dir = XdoDirectory();
    if (dir.empty()) {
        ADD_FAILURE() << "VELMORA_XDO_DIR is not set: run the tests through tools/test.sh";
        return false;
    }
    char name[64];
    snprintf(name, sizeof name, "\\%lu-%d", GetCurrentProcessId(), ++sequence);
    const std::string base = dir + name;
    const std::string temp = base + ".part";
    FILE* file = fopen(temp.c_str(), "w");
    if (!file)
        return false;
    fprintf(file, "%s\n", arguments.c_str());
    fclose(file);
    MoveFileA(temp.c_str(), (base + ".req").c_str());
    const std::string done = base + ".done";
    bool finished = WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
    int code = -1;
    if (finished) {
        if (FILE* result = fopen(done.c_str(), "r")) {
            if (fscanf(result, "%d", &code) != 1)
                code = -1;
            fclose(result);
        }
        DeleteFileA(done.c_str());
    }
    return code == 0;
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return;
        MsgWaitForMultipleObjects(0, NULL, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return done();
        PumpFor(10);
    }
    return true;
}

ChildProcess StartChild(const std::string& exe, const std::string& arguments)
{
    ChildProcess child;
    const std::string path = BinDir() + "\\" + exe;
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(path.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        CloseHandle(info.hThread);
        child.process = info.hProcess;
        child.processId = info.dwProcessId;
        child.threadId = info.dwThreadId;
        WaitForInputIdle(info.hProcess, 5000);
    } else {
        ADD_FAILURE() << "cannot start " << path << " (error " << GetLastError() << ")";
    }
    return child;
}

static BOOL CALLBACK CloseWindowOfProcess(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

DWORD WaitChild(ChildProcess& child, DWORD waitMs)
{
    if (!child.process)
        return ~0u;
    bool ended = WaitUntil([&] { return WaitForSingleObject(child.process, 0) == WAIT_OBJECT_0; }, waitMs);
    DWORD code = ~0u;
    if (ended)
        GetExitCodeProcess(child.process, &code);
    return code;
}

DWORD EndChild(ChildProcess& child, DWORD waitMs)
{
    if (!child.process)
        return ~0u;
    EnumWindows(CloseWindowOfProcess, static_cast<LPARAM>(child.processId));
    DWORD code = WaitChild(child, waitMs);
    if (code == ~0u) {
        TerminateProcess(child.process, ~0u);
        WaitForSingleObject(child.process, 5000);
    }
    CloseHandle(child.process);
    child = ChildProcess();
    return code;
}

struct WindowSearch {
    const char* className;
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    char className[256] = {};
    GetClassNameA(window, className, sizeof className);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (lstrcmpA(className, search->className) == 0 && (!search->processId || owner == search->processId)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(const char* className, DWORD processId)
{
    WindowSearch search = { className, processId, NULL };
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const char* className, DWORD processId, DWORD timeoutMs)
{
    HWND window = NULL;
    WaitUntil([&] { return (window = FindProcessWindow(className, processId)) != NULL; }, timeoutMs);
    return window;
}

static const char* MessageName(UINT message)
{
    switch (message) {
    case WM_VSCROLL: return "WM_VSCROLL";
    case WM_MOUSEWHEEL: return "WM_MOUSEWHEEL";
    case 0x060A: return "WM_WHEELFORWARD";
    default: return "msg";
    }
}

std::string DumpSequence(const MessageSequence& sequence)
{
    std::ostringstream out;
    for (size_t i = 0; i < sequence.size(); ++i) {
        const RecordedMessage& m = sequence[i];
        out << "  " << i << ": " << MessageName(m.message) << "(0x" << std::hex << m.message << ") wParam 0x"
            << m.wParam << " lParam 0x" << m.lParam << std::dec << "\n";
    }
    if (sequence.empty())
        out << "  (nothing)\n";
    return out.str();
}

::testing::AssertionResult SequenceIs(const MessageSequence& expected, const MessageSequence& actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message sequence differs\nexpected:\n"
                                         << DumpSequence(expected) << "received:\n"
                                         << DumpSequence(actual);
}

MessageSequence LinePairs(int direction, HWND bar, int count, UINT message)
{
    MessageSequence sequence;
    for (int i = 0; i < count; ++i) {
        sequence.push_back({ message, static_cast<WPARAM>(direction), reinterpret_cast<LPARAM>(bar) });
        sequence.push_back({ message, SB_ENDSCROLL, reinterpret_cast<LPARAM>(bar) });
    }
    return sequence;
}

MessageSequence CodeWindowRecord(HWND codeWindow)
{
    MessageSequence sequence;
    const LRESULT count = SendMessageA(codeWindow, CW_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const WPARAM wParam = static_cast<WPARAM>(SendMessageA(codeWindow, CW_GETWPARAM, i, 0));
        const LPARAM lParam = SendMessageA(codeWindow, CW_GETLPARAM, i, 0);
        sequence.push_back({ static_cast<UINT>(SendMessageA(codeWindow, CW_GETMESSAGE, i, 0)), wParam, lParam });
    }
    return sequence;
}

POINT ClientPoint(HWND window, double fx, double fy)
{
    RECT client;
    GetClientRect(window, &client);
    POINT point = { static_cast<LONG>(client.right * fx), static_cast<LONG>(client.bottom * fy) };
    ClientToScreen(window, &point);
    return point;
}

BYTE* ProcessModuleBase(DWORD processId, const char* moduleName, DWORD* size)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return NULL;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    BYTE* base = NULL;
    for (BOOL more = Module32First(snapshot, &entry); more && !base; more = Module32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szModule, moduleName) == 0) {
            base = entry.modBaseAddr;
            if (size)
                *size = entry.modBaseSize;
        }
    }
    CloseHandle(snapshot);
    return base;
}

DWORD CallLibraryIn(const ChildProcess& child, int ordinal, DWORD argument)
{
    HMODULE local = GetModuleHandleA("kestro.dll") ? GetModuleHandleA("kestro.dll") : LoadLibraryA("kestro.dll");
    BYTE* remote = ProcessModuleBase(child.processId, "kestro.dll");
    BYTE* entry = reinterpret_cast<BYTE*>(GetProcAddress(local, MAKEINTRESOURCEA(ordinal)));
    if (!remote || !entry)
        return ~0u;
    // A getter takes no argument; the thread's start leaves the stack as it found it.
    auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(remote + (entry - reinterpret_cast<BYTE*>(local))));
    HANDLE thread = CreateRemoteThread(child.process, NULL, 0, start, reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(argument)), 0, NULL);
    DWORD result = ~0u;
    if (thread && WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0)
        GetExitCodeThread(thread, &result);
    return thread && CloseHandle(thread) ? result : ~0u;
}

void** ImportSlot(HMODULE module, const char* dll, FARPROC target)
{
    BYTE* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
            continue;
        for (auto* slot = reinterpret_cast<void**>(base + entry->FirstThunk); *slot; ++slot)
            if (*slot == reinterpret_cast<void*>(target))
                return slot;
    }
    return NULL;
}

bool Patch(void** slot, void* value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return false;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}

bool MoveCursor(POINT point)
{
    // X counts from the virtual screen's corner, Windows from the primary's.
    char arguments[64];
    wsprintfA(arguments, "mousemove -- %ld %ld", point.x - GetSystemMetrics(SM_XVIRTUALSCREEN),
              point.y - GetSystemMetrics(SM_YVIRTUALSCREEN));
    return Xdo(arguments) && WaitUntil([&] {
        POINT cursor;
        return GetCursorPos(&cursor) && cursor.x == point.x && cursor.y == point.y;
    });
}

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
}
