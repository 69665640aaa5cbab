// For the tests that scroll in-process: load must not cut short what they expect whole.
#include "hooktest.h"
#include "wheelpane.h"
static const struct LongBudget { LongBudget() { notchBudgetMs = kLongNotchBudgetMs; } } longBudget;
