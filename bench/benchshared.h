// What the benchmark driver and its helper programs share: the names of the
// kernel objects they meet on and the time stamps the code window leaves in
// shared memory, so reading them costs the measured window nothing.
#pragma once
#include <windows.h>

// Set by the pass-through hook host once its hook is installed.
const char kHookReadyEvent[] = "VelmoraBenchHookReady";
// Set by the stamping code window after it stamped a WM_MOUSEWHEEL.
const char kWheelEvent[] = "VelmoraBenchWheel";
// Shared BenchStamps record.
const char kStampMapping[] = "VelmoraBenchStamps";

struct BenchStamps {
    volatile LONG vscrollCount;
    volatile LONG wheelCount;
    volatile LONGLONG lastVScroll; // QueryPerformanceCounter ticks
    volatile LONGLONG wheel;
};

inline LONGLONG BenchTicks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Opens the shared record, creating it when the driver has not.
inline BenchStamps* MapBenchStamps(HANDLE* mapping)
{
    *mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(BenchStamps), kStampMapping);
    if (!*mapping)
        return NULL;
    return static_cast<BenchStamps*>(MapViewOfFile(*mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(BenchStamps)));
}
