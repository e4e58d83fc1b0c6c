#include "platform/hidden_system.h"

#include "platform/platform.h"

bool take_over_hidden_system(uint32_t target_attributes, const char* sibling)
{
    if (target_attributes == OS_INVALID_ATTRIBUTES)
        return true;
    const uint32_t kept = target_attributes & (OS_ATTRIBUTE_HIDDEN | OS_ATTRIBUTE_SYSTEM);
    if (kept == 0)
        return true;
    return os_set_attributes(sibling, kept | OS_ATTRIBUTE_ARCHIVE);
}
