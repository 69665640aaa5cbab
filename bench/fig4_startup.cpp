// Figure 4: how long the tray program takes to start, to its icon.
//
// Measured: Velmora.exe /background, from CreateProcess to its NIM_ADD
//   arriving at the stand-in tray (harness.h); 16 rounds after one warm-up
//   start of each program. Each program is ended after its start and given
//   300 ms for Wine's process teardown.
// Baseline: traymin.exe, the least a tray program does before its icon
//   shows: registers a class, creates a hidden window, adds a tray icon.
// Paired: one start of each per round, the order alternating from round to
//   round; the figure is the median of the ratios taken within each round,
//   since a burst of load elsewhere slows both starts.
// Reports: startup_product_ms, startup_minimal_ms and their p95,
//   startup_ratio.
#include "harness.h"

namespace {

// Microseconds from CreateProcess to the program's NIM_ADD reaching the tray.
double StartUntilIcon(const char* exe, const char* arguments, bool product)
{
    Child child = {};
    child.label = exe;
    ResetTray();
    const double start = NowUs();
    if (!Launch(exe, arguments, &child))
        return -1;
    const bool added = PumpUntil([] { return tray.added; }, 20000);
    const double us = added ? tray.addedAt - start : -1;
    child.window = tray.iconOwner;
    child.quit = product ? RegisterWindowMessageA("Velmora5") : WM_CLOSE;
    End(&child);
    // Let Wine's process teardown finish before the next start.
    PumpFor(300);
    return us;
}

} // namespace

bool BenchStartup()
{
    if (!Exists("Velmora.exe")) {
        Note("Velmora.exe is not built; no start-up figures");
        return false;
    }
    const int kRounds = 16;
    std::vector<double> product, minimal, ratios;
    StartUntilIcon("traymin.exe", "", false);
    StartUntilIcon("Velmora.exe", "/background", true);
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < 2; ++i) {
            const bool isProduct = InRound(i, round, 2) == 0;
            const double us = isProduct ? StartUntilIcon("Velmora.exe", "/background", true)
                                        : StartUntilIcon("traymin.exe", "", false);
            if (us < 0) {
                Note("a start added no tray icon");
                return false;
            }
            (isProduct ? product : minimal).push_back(us);
        }
        ratios.push_back(product.back() / minimal.back());
        Note("start-up round %d: Velmora.exe %.1f ms, minimal %.1f ms", round + 1, product.back() / 1000,
             minimal.back() / 1000);
    }
    const Stats velmora = Summarise(product);
    const Stats baseline = Summarise(minimal);
    Report("startup_product_ms", velmora.median / 1000);
    Report("startup_minimal_ms", baseline.median / 1000);
    Report("startup_product_p95_ms", velmora.p95 / 1000);
    Report("startup_minimal_p95_ms", baseline.p95 / 1000);
    Report("startup_ratio", Summarise(ratios).median);
    return true;
}
