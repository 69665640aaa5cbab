// Figure 1b: what the tray program's hook costs every mouse move of the
// desktop, end to end through Wine.
//
// Measured: SendInput mouse moves (absolute, one pixel back and forth near a
//   corner of the screen) with Velmora.exe /background running; us per move.
//   A session is 16 batches of 60 moves after 20 to warm up; its value is the
//   lower quartile of the batches, since load from elsewhere only ever slows
//   a batch down.
// Baseline: the same with passhook.exe running instead, a WH_MOUSE_LL hook
//   that only calls CallNextHookEx.
// Paired: 12 rounds; each has a session with no hook, then one each with the
//   pass-through hook, the pass-through hook on a thread that also owns a
//   hidden window (passhook.exe /window) and the product, in an order that
//   rotates from round to round. Each host is started for its session and
//   ended after it. The figure is the median of the ratios product / pass-
//   through taken within each round.
// Reports: moves_*_per_s and moves_*_us (medians of the sessions),
//   moves_ratio, and for reference moves_ratio_of_medians and
//   moves_window_ratio (product / pass-through with window).
#include "harness.h"

namespace {

// Microseconds per mouse move, over `count` moves between two points.
double MoveCostUs(int count)
{
    const int x = GetSystemMetrics(SM_CXSCREEN) - 80;
    const int y = GetSystemMetrics(SM_CYSCREEN) - 40;
    const LONGLONG start = BenchTicks();
    for (int i = 0; i < count; ++i)
        MoveTo(x + (i & 1), y);
    return TicksToUs(BenchTicks() - start) / count;
}

// One session: the lower quartile of many short batches.
double SessionMoveCostUs()
{
    const int kBatches = 16;
    const int kMoves = 60;
    MoveCostUs(20);
    std::vector<double> batches;
    for (int i = 0; i < kBatches; ++i)
        batches.push_back(MoveCostUs(kMoves));
    return LowerQuartile(batches);
}

} // namespace

bool BenchMoves()
{
    const int kRounds = 12;
    const HostKind kinds[3] = { kPassThrough, kPassThroughWindow, kProduct };
    std::vector<double> cost[3], none, ratios, windowRatios;
    for (int round = 0; round < kRounds; ++round) {
        none.push_back(SessionMoveCostUs());
        for (int i = 0; i < 3; ++i) {
            const int k = InRound(i, round, 3);
            Child host = {};
            if (!StartHost(kinds[k], &host)) {
                End(&host);
                return false;
            }
            PumpFor(200);
            cost[k].push_back(SessionMoveCostUs());
            End(&host);
        }
        ratios.push_back(cost[2].back() / cost[0].back());
        windowRatios.push_back(cost[2].back() / cost[1].back());
        Note("moves round %d: none %.1f us, pass-through %.1f us, with window %.1f us, %s %.1f us per move", round + 1,
             none.back(), cost[0].back(), cost[1].back(), HostLabel(kProduct), cost[2].back());
    }
    const Stats pass = Summarise(cost[0]);
    const Stats passWindow = Summarise(cost[1]);
    const Stats product = Summarise(cost[2]);
    const Stats bare = Summarise(none);
    ReportText("moves_host", HostLabel(kProduct));
    Report("moves_nohook_per_s", 1e6 / bare.median);
    Report("moves_pass_per_s", 1e6 / pass.median);
    Report("moves_passwindow_per_s", 1e6 / passWindow.median);
    Report("moves_product_per_s", 1e6 / product.median);
    Report("moves_pass_us", pass.median);
    Report("moves_passwindow_us", passWindow.median);
    Report("moves_product_us", product.median);
    Report("moves_ratio", Summarise(ratios).median);
    Report("moves_ratio_of_medians", product.median / pass.median);
    Report("moves_window_ratio", Summarise(windowRatios).median);
    return true;
}
