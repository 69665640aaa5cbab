// Figure 2: one wheel notch, end to end, against what its parts cost.
//
// Measured: a wheel notch over the lower pane of the focused stampwin.exe
//   (the sample code window in its own process, scroll count 3), with
//   Velmora.exe /background running: from just before SendInput to the
//   window's last WM_VSCROLL (SB_ENDSCROLL), read from the window's time
//   stamps. 5 rounds of 60 notches after 10 to warm up; median and p95.
// Baseline: the composition of the notch's parts, both medians:
//   - the wheel event's delivery through a pass-through hook (passhook.exe):
//     SendInput to the window's WM_MOUSEWHEEL;
//   - six cross-process SendMessage round trips of the messages the hook
//     sends (3 x SB_LINEDOWN/SB_LINEUP + SB_ENDSCROLL, naming the pane's bar)
//     from this process.
// Paired: every notch, product or pass-through, is followed by one group of
//   six round trips (WM_VSCROLL after a product notch, WM_NULL after a
//   pass-through one), so that notches and round trips meet the window in the
//   same state; each round runs the pass-through host, then the product.
//   The figure is the product's median over the composition.
// For reference: six WM_NULL round trips (the bare cost of crossing), the
//   notch over the splitter between the panes (the hook's lookups, nothing
//   served, so the wheel message is delivered), and the 9x line: Velmora98.exe, which Wine runs as
//   Windows 98, so that the message hook runs in the window's own thread;
//   180 notches, reported with the no-hook delivery beside them.
// Reports: notch_*, notch98_*.
#include "harness.h"
#include "codewin.h"

namespace {

struct NotchSample {
    bool ok;
    double toWheelUs;
    double toLastScrollUs;
    LONG scrolls;
    LONG wheels;
};

// What ends a notch: its wheel message reaching the window (no hook, or the
// pass-through one), the window's sixth WM_VSCROLL (the product takes a
// notch it served whole, so no wheel message follows).
enum class NotchEnd { Wheel, Scrolls };
const LONG kNotchScrolls = 6;

bool WaitForScrolls(const CodeWindow& code)
{
    const DWORD start = GetTickCount();
    while (code.stamps->vscrollCount < kNotchScrolls) {
        if (GetTickCount() - start > 3000)
            return false;
        Sleep(1);
    }
    return true;
}

// One notch: inject a wheel event, wait for its end, and read when the window
// received its wheel message and its last WM_VSCROLL.
NotchSample Notch(const CodeWindow& code, int index, NotchEnd end)
{
    NotchSample sample = {};
    ClearStamps(code.stamps);
    ResetEvent(code.wheelEvent);
    const LONGLONG start = BenchTicks();
    Wheel(index % 2 ? WHEEL_DELTA : -WHEEL_DELTA);
    if (end == NotchEnd::Wheel)
        sample.ok = WaitForSingleObject(code.wheelEvent, 3000) == WAIT_OBJECT_0;
    else
        sample.ok = WaitForScrolls(code);
    sample.toWheelUs = TicksToUs(code.stamps->wheel - start);
    sample.toLastScrollUs = code.stamps->vscrollCount ? TicksToUs(code.stamps->lastVScroll - start) : 0;
    // Let the window repaint before the next notch; a wheel message that
    // was to come has come by then.
    PumpFor(8);
    sample.scrolls = code.stamps->vscrollCount;
    sample.wheels = code.stamps->wheelCount;
    return sample;
}

// Six cross-process round trips: the messages the hook sends for one notch,
// or, for reference, six WM_NULL that cost the window nothing.
double RoundTripGroupUs(const CodeWindow& code, int index, bool scroll)
{
    const WPARAM direction = index % 2 ? SB_LINEUP : SB_LINEDOWN;
    const LPARAM bar = reinterpret_cast<LPARAM>(code.lowerBar);
    const LONGLONG start = BenchTicks();
    for (int line = 0; line < 3; ++line) {
        if (scroll) {
            SendMessageA(code.window, WM_VSCROLL, direction, bar);
            SendMessageA(code.window, WM_VSCROLL, SB_ENDSCROLL, bar);
        } else {
            SendMessageA(code.window, WM_NULL, 0, 0);
            SendMessageA(code.window, WM_NULL, 0, 0);
        }
    }
    const double us = TicksToUs(BenchTicks() - start);
    PumpFor(8);
    return us;
}

// `count` notches, each followed by a group of six direct round trips (scroll
// messages or WM_NULL). A notch yields the time to its end. A served notch
// whose wheel message reached the window as well is bad too. Returns the
// number of bad notches.
int Notches(const CodeWindow& code, int count, NotchEnd end, std::vector<double>* samples, bool scroll,
            std::vector<double>* roundTrips)
{
    const LONG scrollsWanted = end == NotchEnd::Scrolls ? kNotchScrolls : 0;
    const LONG wheelsWanted = end == NotchEnd::Wheel ? 1 : 0;
    int bad = 0;
    for (int i = 0; i < count + 10; ++i) {
        const NotchSample sample = Notch(code, i, end);
        const double trips = RoundTripGroupUs(code, i, scroll);
        if (i < 10) // warm-up
            continue;
        if (roundTrips)
            roundTrips->push_back(trips);
        if (!sample.ok || sample.scrolls != scrollsWanted || sample.wheels != wheelsWanted) {
            Note("notch %d: %s, %ld scroll messages, %ld wheel messages", i, sample.ok ? "ended" : "timed out",
                 sample.scrolls, sample.wheels);
            ++bad;
            continue;
        }
        samples->push_back(end == NotchEnd::Scrolls ? sample.toLastScrollUs : sample.toWheelUs);
    }
    return bad;
}

} // namespace

bool BenchNotch()
{
    CodeWindow code = {};
    if (!SetUpCodeWindow(&code)) {
        Note("the stamping code window did not come up");
        End(&code.process);
        return false;
    }
    // Loaded here too, to check the scroll count.
    HMODULE kestro = LoadLibraryA("kestro.dll");
    typedef int(WINAPI * CountFunction)();
    CountFunction getScrollCount = Ordinal<CountFunction>(kestro, 6);

    const int kRounds = 5;
    const int kPerRound = 60;
    std::vector<double> delivery, roundTrips, nullTrips, product, lookupsOnly, product98, noHook;
    int bad = 0;
    int bad98 = 0;
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        Child host = {};
        ok = StartHost(kPassThrough, &host) && FocusCodeWindow(code);
        if (ok)
            bad += Notches(code, kPerRound, NotchEnd::Wheel, &delivery, false, &nullTrips);
        End(&host);
        if (!ok)
            break;

        ok = StartHost(kProduct, &host) && FocusCodeWindow(code);
        if (ok && getScrollCount && getScrollCount() != 3) {
            Note("scroll count is %d, not 3", getScrollCount());
            ok = false;
        }
        if (ok)
            bad += Notches(code, kPerRound, NotchEnd::Scrolls, &product, true, &roundTrips);
        if (ok) {
            // Over the splitter no pane is served: the hook does its lookups
            // and lets the wheel through. (The scroll count cannot be set to 0
            // from here: on the NT line it is the tray program's own.)
            POINT splitter = { 0, 0 };
            RECT client;
            GetClientRect(code.window, &client);
            splitter.x = client.right * 3 / 10;
            splitter.y = client.bottom / 2;
            ClientToScreen(code.window, &splitter);
            SetCursorPos(splitter.x, splitter.y);
            bad += Notches(code, kPerRound / 2, NotchEnd::Wheel, &lookupsOnly, false, NULL);
            SetCursorPos(code.point.x, code.point.y);
        }
        End(&host);
        Note("notch round %d: delivery %.0f us, 6 round trips %.0f us, %s %.0f us (medians so far)", round + 1,
             Summarise(delivery).median, Summarise(roundTrips).median, HostLabel(kProduct),
             Summarise(product).median);
    }
    if (ok) {
        // The 9x line on its own: the message hook runs in the code window's
        // thread, so its sends are direct calls.
        Child host = {};
        ok = StartHost(kProduct98, &host) && FocusCodeWindow(code);
        if (ok)
            bad98 = Notches(code, kPerRound * 3, NotchEnd::Scrolls, &product98, false, NULL);
        End(&host);
        if (ok)
            Notches(code, kPerRound, NotchEnd::Wheel, &noHook, false, NULL);
    }
    End(&code.process);
    if (kestro)
        FreeLibrary(kestro);
    if (!ok)
        return false;

    const Stats pass = Summarise(delivery);
    const Stats trips = Summarise(roundTrips);
    const Stats nt = Summarise(product);
    const Stats nine = Summarise(product98);
    const double composition = pass.median + trips.median;
    ReportText("notch_host", HostLabel(kProduct));
    ReportText("notch_host98", HostLabel(kProduct98));
    Report("notch_count", static_cast<double>(nt.count));
    Report("notch_bad", bad);
    Report("notch_pass_delivery_us", pass.median);
    Report("notch_roundtrips6_us", trips.median);
    Report("notch_composition_us", composition);
    Report("notch_median_us", nt.median);
    Report("notch_p95_us", nt.p95);
    Report("notch_ratio", nt.median / composition);
    Report("notch_roundtrips6_null_us", Summarise(nullTrips).median);
    Report("notch_lookups_us", Summarise(lookupsOnly).median);
    Report("notch_lookups_ratio", Summarise(lookupsOnly).median / pass.median);
    Report("notch98_count", static_cast<double>(nine.count));
    Report("notch98_bad", bad98);
    Report("notch98_median_us", nine.median);
    Report("notch98_p95_us", nine.p95);
    Report("notch98_nohook_delivery_us", Summarise(noHook).median);
    return true;
}
