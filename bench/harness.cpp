// The harness's clock, statistics, output and message pumping (harness.h).
#include "harness.h"
#include <stdarg.h>
#include <stdio.h>

namespace {

double ticksPerUs;

} // namespace

void StartClock()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerUs = static_cast<double>(frequency.QuadPart) / 1e6;
}

double TicksToUs(LONGLONG ticks)
{
    return static_cast<double>(ticks) / ticksPerUs;
}

double NowUs()
{
    return TicksToUs(BenchTicks());
}

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

double LowerQuartile(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 4];
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

void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}
