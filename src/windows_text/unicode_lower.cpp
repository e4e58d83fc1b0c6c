// The lower-case mapping of UTF-16 units as Wine's LCMapStringW applies it,
// unit by unit, from runs of one delta (scripts/gen-code-page-tables.sh).
#include "windows_text/code_page.h"

#include <cstddef>

namespace {
#include "windows_text/lower_case_table.inc"
}

uint16_t unicode_lower(uint16_t unit)
{
    size_t lo = 0;
    size_t hi = sizeof LOWER_RUNS / sizeof LOWER_RUNS[0];
    while (lo < hi) {  // the last run starting at or before unit
        size_t mid = (lo + hi) / 2;
        if (LOWER_RUNS[mid].first <= unit)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0)
        return unit;
    const LowerRun& run = LOWER_RUNS[lo - 1];
    const uint32_t offset = unit - run.first;
    if (offset % run.stride != 0 || offset / run.stride >= run.count)
        return unit;
    return static_cast<uint16_t>(unit + run.delta);
}
