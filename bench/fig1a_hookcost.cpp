// Figure 1a: what the library's hook procedure costs for a mouse move, the
// event it sees most and must pass on at once.
//
// Measured: kestro.dll's LowLevelMouseProc (ordinal 2), called directly in
//   this process with HC_ACTION, WM_MOUSEMOVE and an MSLLHOOKSTRUCT; ns per
//   call over a batch of 2000 calls.
// Baseline: CallNextHookEx with the same arguments, which is what the
//   procedure ends in; under Wine it is a wineserver round trip.
// Paired: batch against batch, 40 pairs after two warm-up pairs, the order
//   alternating from pair to pair; the figure is the median of the ratios of
//   the pairs, so that drift in the price of the round trip cancels.
// Reports: hookcost_hook_ns, hookcost_bare_ns (medians), hookcost_ratio.
#include "harness.h"

bool BenchHookCost()
{
    HMODULE kestro = LoadLibraryA("kestro.dll");
    HOOKPROC hookProc = Ordinal<HOOKPROC>(kestro, 2);
    if (!hookProc) {
        Note("kestro.dll or its LowLevelMouseProc (ordinal 2) is missing");
        return false;
    }
    MSLLHOOKSTRUCT event = {};
    event.pt.x = 600;
    event.pt.y = 400;
    event.time = GetTickCount();
    const LPARAM lParam = reinterpret_cast<LPARAM>(&event);

    const int kCalls = 2000;
    const int kBatches = 40;
    std::vector<double> hookNs, bareNs, ratios;
    volatile LRESULT sink = 0;
    for (int batch = 0; batch < kBatches + 2; ++batch) {
        for (int pass = 0; pass < 2; ++pass) {
            const bool hook = InRound(pass, batch, 2) == 0;
            const LONGLONG start = BenchTicks();
            if (hook)
                for (int i = 0; i < kCalls; ++i)
                    sink = sink + hookProc(HC_ACTION, WM_MOUSEMOVE, lParam);
            else
                for (int i = 0; i < kCalls; ++i)
                    sink = sink + CallNextHookEx(NULL, HC_ACTION, WM_MOUSEMOVE, lParam);
            const double ns = TicksToUs(BenchTicks() - start) * 1000.0 / kCalls;
            if (batch >= 2) // the first two warm up
                (hook ? hookNs : bareNs).push_back(ns);
        }
        if (batch >= 2)
            ratios.push_back(hookNs.back() / bareNs.back());
    }
    const Stats hook = Summarise(hookNs);
    const Stats bare = Summarise(bareNs);
    Report("hookcost_hook_ns", hook.median);
    Report("hookcost_bare_ns", bare.median);
    Report("hookcost_ratio", Summarise(ratios).median);
    FreeLibrary(kestro);
    return true;
}
