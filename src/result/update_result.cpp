#include "result/update_result.h"

namespace {

struct ResultName {
    UpdateResult result;
    const char* name;
};

const ResultName RESULT_NAMES[] = {
    {UPDATE_OK, "UPDATE_OK"},
    {UPDATE_E_DAMAGED, "UPDATE_E_DAMAGED"},
    {UPDATE_E_TOO_MANY_ENTRIES, "UPDATE_E_TOO_MANY_ENTRIES"},
    {UPDATE_E_RESERVED_3, "UPDATE_E_RESERVED_3"},
    {UPDATE_E_FAILED, "UPDATE_E_FAILED"},
    {UPDATE_E_UNINST_LIST, "UPDATE_E_UNINST_LIST"},
    {UPDATE_E_CANCELLED, "UPDATE_E_CANCELLED"},
    {UPDATE_E_CLOSED, "UPDATE_E_CLOSED"},
};

}  // namespace

const char* update_result_name(UpdateResult result)
{
    for (const ResultName& entry : RESULT_NAMES) {
        if (entry.result == result)
            return entry.name;
    }
    return "UPDATE_E_UNKNOWN";
}
