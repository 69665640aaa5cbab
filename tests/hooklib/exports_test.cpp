// The library's exports as a client loads them, and the state it shares
// between processes.
#include "testsupport.h"
#include "../../tools/hookhost/hookhost.h"

namespace {

struct Library {
    HMODULE module = LoadLibraryA("kestro.dll");
    ~Library() { FreeLibrary(module); }
    FARPROC ByOrdinal(int ordinal) const { return GetProcAddress(module, MAKEINTRESOURCEA(ordinal)); }
    FARPROC ByName(const char* name) const { return GetProcAddress(module, name); }
};

using SetScrollCountFn = int(WINAPI*)(int);
using GetScrollCountFn = int(WINAPI*)();

TEST(Exports, EachOrdinalCarriesItsName)
{
    Library library;
    ASSERT_NE(library.module, nullptr);
    const char* names[] = { "GetMsgProc", "LowLevelMouseProc", "SetCommander", "InstallMouseHook",
                            "SetScrollCount", "GetScrollCount" };
    for (int ordinal = 1; ordinal <= 6; ++ordinal) {
        EXPECT_NE(library.ByOrdinal(ordinal), nullptr) << ordinal;
        EXPECT_EQ(library.ByOrdinal(ordinal), library.ByName(names[ordinal - 1])) << names[ordinal - 1];
    }
}

TEST(SharedState, CountSetInOneProcessIsSeenInAnother)
{
    Library library;
    auto setCount = reinterpret_cast<SetScrollCountFn>(library.ByOrdinal(5));
    auto getCount = reinterpret_cast<GetScrollCountFn>(library.ByOrdinal(6));
    ChildProcess host = StartChild("hookhost.exe", "/count:9");
    HWND hostWindow = WaitForWindow("KestroHookHost", host.processId);
    ASSERT_NE(hostWindow, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return getCount() == 9; })) << getCount();

    EXPECT_EQ(setCount(17), 17);
    EXPECT_EQ(SendMessageA(hostWindow, HH_SCROLLCOUNT, 0, 0), 17);
    EndChild(host);
}

} // namespace
