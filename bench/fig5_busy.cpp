// Figure 5: notches to a code window whose thread is blocked, as in a
// running macro: how long they hold the user's input.
//
// Measured: ten notches 100 ms apart over the lower pane of the focused
//   stampwin.exe while its thread is blocked for 2.5 s (CW_BUSY), with
//   Velmora.exe /background running: the sum of the ten SendInput calls,
//   each of which waits for the low-level hook's answer. 7 rounds; median
//   and maximum.
// Baseline: one notch budget (kNotchBudgetMs, 200 ms), the most one notch may
//   wait on other threads; the figure is the median sum over it.
// Paired: nothing to pair, the baseline is a constant. Each round is
//   preceded, for reference, by one notch to the same window while it
//   answers.
// Reports: busy_hold10_ms, busy_hold10_max_ms, busy_budget_ms, busy_ratio,
//   busy_responsive_notch_ms.
#include "harness.h"
#include "codewin.h"
#include "wheelpane.h"

namespace {

// How long one injected notch held the input: SendInput waits for the
// low-level hook's answer.
double HeldNotchUs(int index)
{
    const LONGLONG start = BenchTicks();
    Wheel(index % 2 ? WHEEL_DELTA : -WHEEL_DELTA);
    return TicksToUs(BenchTicks() - start);
}

} // namespace

bool BenchBusy()
{
    CodeWindow code = {};
    Child host = {};
    bool ok = SetUpCodeWindow(&code) && StartHost(kProduct, &host) && FocusCodeWindow(code);
    const int kRounds = 7;
    const int kNotches = 10;
    std::vector<double> holds, responsive;
    for (int round = 0; round < kRounds && ok; ++round) {
        responsive.push_back(HeldNotchUs(round));
        PumpFor(300);
        PostMessageA(code.window, CW_BUSY, 2500, 0);
        DWORD_PTR ignored;
        ok = PumpUntil([&] { return !SendMessageTimeoutA(code.window, WM_NULL, 0, 0, SMTO_NORMAL, 20, &ignored); },
                       3000);
        double hold = 0;
        for (int i = 0; i < kNotches && ok; ++i) {
            hold += HeldNotchUs(i);
            PumpFor(100);
        }
        holds.push_back(hold);
        // Until the window has answered again and the program has heard it.
        SendMessageA(code.window, WM_NULL, 0, 0);
        PumpFor(500);
        Note("busy round %d: ten notches held the input %.0f ms", round + 1, hold / 1000);
    }
    End(&host);
    End(&code.process);
    if (!ok) {
        Note("the busy-window figure could not be taken");
        return false;
    }
    const double budgetUs = kNotchBudgetMs * 1000.0;
    ReportText("busy_host", HostLabel(kProduct));
    Report("busy_hold10_ms", Summarise(holds).median / 1000);
    Report("busy_hold10_max_ms", *std::max_element(holds.begin(), holds.end()) / 1000);
    Report("busy_budget_ms", kNotchBudgetMs);
    Report("busy_ratio", Summarise(holds).median / budgetUs);
    Report("busy_responsive_notch_ms", Summarise(responsive).median / 1000);
    return true;
}
