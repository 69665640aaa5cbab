// Linked into the test programs that scroll in their own process: a notch
// budget that a loaded machine cannot use up, so a sequence they expect whole
// arrives whole. A test of what the budget cuts short takes ShippedBudget.
#include "hooktest.h"
#include "wheelpane.h"

namespace {
struct LongBudget {
    LongBudget() { notchBudgetMs = kLongNotchBudgetMs; }
} longBudget;
} // namespace
