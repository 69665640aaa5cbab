// The benchmark driver, run by bench/run.sh under Wine. Runs the figures
// named on the command line (none: all) in the order below and prints one
// "R key value" line per result on stdout, progress on stderr; run.sh turns
// them into the table and the BENCH {json} line. What each figure measures,
// against what and how the two are paired is at the top of its own file;
// what they share is in harness.h.
// Usage: velbench [hookcost] [moves] [notch] [busy] [startup] [soak]
#include <string.h>
#include "harness.h"

bool BenchHookCost(); // fig1a_hookcost.cpp
bool BenchMoves();    // fig1b_moves.cpp
bool BenchNotch();    // fig2_notch.cpp
bool BenchBusy();     // fig5_busy.cpp
bool BenchStartup();  // fig4_startup.cpp
bool BenchSoak();     // fig7_soak.cpp
// Figure 3, the sizes and imports of the deliverables, needs no Wine:
// bench/fig3_footprint.sh.

namespace {

struct Figure {
    const char* name;
    bool (*run)();
};

const Figure kFigures[] = {
    { "hookcost", BenchHookCost },
    { "moves", BenchMoves },
    { "notch", BenchNotch },
    { "busy", BenchBusy },
    { "startup", BenchStartup },
    { "soak", BenchSoak },
};

bool Named(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        bool known = false;
        for (const Figure& figure : kFigures)
            known = known || strcmp(argv[i], figure.name) == 0;
        if (!known) {
            Note("no figure is called %s", argv[i]);
            ++failures;
        }
    }
    if (!StartHarness())
        return 2;
    for (const Figure& figure : kFigures)
        if ((argc < 2 || Named(argc, argv, figure.name)) && !figure.run())
            ++failures;
    return failures ? 1 : 0;
}
