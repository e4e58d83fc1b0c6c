// The entry list: entry bytes in blocks that never move, an ordered list of
// views onto them, and an open-addressing hash table over the views, so that
// each candidate costs one hash and, on average, about one comparison.
#include <cstring>
#include <functional>

#include "uninstall_list/uninstall_list.h"

namespace {

// Blocks double from the first size to the largest: a short list, as most
// installations have, costs one small allocation, a long one few large ones.
const size_t FIRST_BLOCK_SIZE = 4 * 1024;
const size_t BLOCK_SIZE = 256 * 1024;
const size_t FIRST_TABLE_SIZE = 1024;

size_t next_block_size(const UninstallEntryList* list)
{
    size_t size = FIRST_BLOCK_SIZE;
    for (size_t i = 0; i < list->blocks.size() && size < BLOCK_SIZE; ++i)
        size *= 2;
    return size;
}

// Copies `entry` into the list's blocks; a longer entry gets a block of its own.
std::string_view store(UninstallEntryList* list, std::string_view entry)
{
    if (entry.empty())
        return std::string_view();
    if (entry.size() > list->block_size - list->block_used) {
        const size_t next = next_block_size(list);
        size_t size = entry.size() > next ? entry.size() : next;
        list->blocks.emplace_back(new char[size]);
        list->block_size = size;
        list->block_used = 0;
    }
    char* at = list->blocks.back().get() + list->block_used;
    std::memcpy(at, entry.data(), entry.size());
    list->block_used += entry.size();
    return std::string_view(at, entry.size());
}

void grow_table(UninstallEntryList* list)
{
    size_t size = list->slots.empty() ? FIRST_TABLE_SIZE : list->slots.size() * 2;
    list->slots.assign(size, 0);
    size_t mask = size - 1;
    for (size_t index = 0; index < list->hashes.size(); ++index) {
        size_t slot = list->hashes[index] & mask;
        while (list->slots[slot] != 0)
            slot = (slot + 1) & mask;
        list->slots[slot] = static_cast<uint32_t>(index + 1);
    }
}

}  // namespace

bool append_if_absent(UninstallEntryList* list, std::string_view entry)
{
    // Kept at most half full, so that every probe sequence is short and ends.
    if ((list->entries.size() + 1) * 2 > list->slots.size())
        grow_table(list);
    size_t hash = std::hash<std::string_view>()(entry);
    size_t mask = list->slots.size() - 1;
    size_t slot = hash & mask;
    for (; list->slots[slot] != 0; slot = (slot + 1) & mask) {
        size_t index = list->slots[slot] - 1;
        if (list->hashes[index] == hash && list->entries[index] == entry)
            return false;
    }
    list->entries.push_back(store(list, entry));
    list->hashes.push_back(hash);
    list->slots[slot] = static_cast<uint32_t>(list->entries.size());
    return true;
}

std::string render_uninstall_list(const UninstallEntryList* const* lists, size_t list_count)
{
    size_t total = 1;
    for (size_t i = 0; i < list_count; ++i) {
        for (std::string_view entry : lists[i]->entries)
            total += entry.size() + 1;
    }
    std::string out(total, '\0');
    char* at = &out[0];
    for (size_t i = 0; i < list_count; ++i) {
        for (std::string_view entry : lists[i]->entries) {
            if (!entry.empty())
                std::memcpy(at, entry.data(), entry.size());
            at += entry.size();
            *at++ = '\n';
        }
    }
    return out;  // the last byte is the NUL that ends the file
}
