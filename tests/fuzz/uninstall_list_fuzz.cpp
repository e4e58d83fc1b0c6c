// The uninstall-list parser over arbitrary text, then the whole merge over the
// same bytes as uninst.lst in the in-memory file tree. Every pass of the
// parser must end.
#include <string>

#include "fuzz_support.h"
#include "uninstall_list/uninstall_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    UninstallEntryList main_list, dollar_list;
    parse_uninstall_list(&main_list, &dollar_list, text.c_str(), text.size());
    for (std::string_view entry : dollar_list.entries)
        if (entry.empty() || entry[0] != '$')
            __builtin_trap();

    const char* dir = fuzz_memory_game("uninst.lst", data, size);
    const char* paths[] = {"KXQ.hvl", "Archive\\data01300.arc", "\x83\x41\x83\x43.arc", nullptr};
    (void)merge_uninstall_list(dir, paths);
    return 0;
}
