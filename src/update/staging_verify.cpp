// Verifying what was staged against the shipped list.
#include <cstring>

#include "update/transaction_steps.h"

bool verify_entry(UpdateSession& s, uint32_t j, const ContentChecksum& sum)
{
    StagedEntry& e = s.entries[j];
    // Entries the shipped list does not know are installed unverified and
    // left out of the installed list.
    if (!e.has_expected)
        return true;
    ContentChecksum expected;
    std::memcpy(expected.bytes, e.expected, sizeof expected.bytes);
    if (!checksum_equal(sum, expected))
        return false;
    upsert(&s.installed, e.installed_index, e.path, sum.bytes);
    return true;
}
