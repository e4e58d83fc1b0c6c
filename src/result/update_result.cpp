#include "result/update_result.h"

namespace {

struct ResultEntry {
    UpdateResult result;
    const char* name;
    const char* meaning;  // what the outcome means for the installation, in the tools' words
};

// Every result code once: its name and its meaning side by side, so that no
// outcome can have one without the other.
const ResultEntry RESULTS[] = {
    {UPDATE_OK, "UPDATE_OK", "The update completed: every file is installed and both lists are updated."},
    {UPDATE_E_DAMAGED, "UPDATE_E_DAMAGED", "The updater file is damaged or unreadable; nothing was installed."},
    {UPDATE_E_TOO_MANY_ENTRIES, "UPDATE_E_TOO_MANY_ENTRIES",
     "The updater holds more than 256 files; nothing was installed."},
    {UPDATE_E_RESERVED_3, "UPDATE_E_RESERVED_3", "The updater file is damaged or unreadable; nothing was installed."},
    {UPDATE_E_FAILED, "UPDATE_E_FAILED",
     "A file could not be written or moved into place, or the installation's KXQ.hvl is missing or unusable."},
    {UPDATE_E_UNINST_LIST, "UPDATE_E_UNINST_LIST",
     "The files and KXQ.hvl were updated, but uninst.lst could not be updated."},
    {UPDATE_E_CANCELLED, "UPDATE_E_CANCELLED", "The update was cancelled; nothing was installed."},
    {UPDATE_E_CLOSED, "UPDATE_E_CLOSED", "The update was stopped; nothing was installed."},
};

const ResultEntry* find_result(UpdateResult result)
{
    for (const ResultEntry& entry : RESULTS) {
        if (entry.result == result)
            return &entry;
    }
    return nullptr;
}

}  // namespace

const char* update_result_name(UpdateResult result)
{
    const ResultEntry* entry = find_result(result);
    return entry ? entry->name : "UPDATE_E_UNKNOWN";
}

const char* result_meaning(UpdateResult result)
{
    const ResultEntry* entry = find_result(result);
    return entry ? entry->meaning : "Unknown result.";
}

int result_exit_code(UpdateResult result)
{
    return result == UPDATE_OK ? 0 : static_cast<int>(result & 0xFF);
}
