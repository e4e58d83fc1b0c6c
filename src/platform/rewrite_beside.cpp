#include "platform/rewrite_beside.h"

#include "platform/hidden_system.h"

bool refuses_replacing(uint32_t attributes)
{
    return attributes != OS_INVALID_ATTRIBUTES && (attributes & (OS_ATTRIBUTE_READONLY | OS_ATTRIBUTE_DIRECTORY));
}

bool rewrite_beside(FileHandle& file, const char* target, const char* sibling, const void* first,
                    uint32_t first_size, const void* second, uint32_t second_size)
{
    const uint32_t attributes = os_get_attributes(target);
    if (refuses_replacing(attributes))
        return false;
    if (!file.create_fresh(sibling))
        return false;
    bool written = first_size == 0 || file.write(first, first_size) == first_size;
    written = written && (second_size == 0 || file.write(second, second_size) == second_size);
    // The list must be on disk before the move makes it the only copy.
    written = written && file.flush();
    file.close();
    written = written && take_over_hidden_system(attributes, sibling);
    // MoveFileExA with MOVEFILE_REPLACE_EXISTING replaces the old list only
    // once the new one is complete.
    if (written && os_move_replace(sibling, target))
        return true;
    os_delete_file(sibling);
    return false;
}
