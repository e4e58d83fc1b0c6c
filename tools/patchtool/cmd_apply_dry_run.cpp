// patchtool apply --dry-run: what the update would do to one installation,
// said without changing it, for the support desk. The prediction is the
// engine's (update/dry_run.h); this file only prints it.
#include <cstdio>
#include <string>

#include "cli_text.h"
#include "commands.h"
#include "size_text.h"
#include "update/dry_run.h"

namespace {

const char* state_word(const DryRunEntry& e)
{
    if (e.failure != UPDATE_OK)
        return "FAILS";
    switch (e.state) {
    case TARGET_NEW: return "new";
    case TARGET_CHANGED: return "changed";
    case TARGET_CURRENT: return "current";
    case TARGET_HASH_LIST: return "list";
    default: return "unknown";
    }
}

void print_hash_list(const DryRunReport& r)
{
    if (!r.hash_list_exists) {
        std::printf("KXQ.hvl:    missing\n");
        return;
    }
    if (!r.hash_list_loads) {
        std::printf("KXQ.hvl:    not a version 2 hash list\n");
        return;
    }
    std::printf("KXQ.hvl:    version 2, %u records, %s\n", r.installed_records,
                !r.hash_list_whole        ? "ends before its last record (would not be rewritten)"
                : !r.hash_list_replaceable ? "read-only (would not be rewritten)"
                                          : "readable and replaceable");
}

void print_entries(const DryRunReport& r)
{
    std::printf("entries:\n");
    for (const DryRunEntry& e : r.entries) {
        std::string detail = e.state == TARGET_HASH_LIST ? "rewritten into KXQ.hvl, not copied"
                             : size_text(e.size) + (e.verified ? ", checksum verified" : "");
        if (e.failure != UPDATE_OK)
            std::printf("  %-8s %s: %s [%s]\n", state_word(e), printable(e.target).c_str(),
                        printable(e.problem).c_str(), update_result_name(e.failure));
        else
            std::printf("  %-8s %s  (%s)\n", state_word(e), printable(e.target).c_str(), detail.c_str());
    }
}

void print_space(const DryRunReport& r)
{
    if (!r.space_known) {
        std::printf("space:      staging needs %s; the free space cannot be asked\n",
                    size_text(r.space_needed).c_str());
        return;
    }
    std::printf("space:      staging needs %s of %s free\n", size_text(r.space_needed).c_str(),
                size_text(r.space_free).c_str());
}

}  // namespace

int apply_dry_run(const std::string& file, const std::string& dir, const std::string& shown_file,
                  const std::string& shown_dir)
{
    DryRunReport r;
    const UpdateResult result = dry_run_update(file.c_str(), dir.c_str(), &r);
    std::printf("dry run of %s on %s: nothing is changed\n", shown_file.c_str(), shown_dir.c_str());
    print_hash_list(r);
    if (r.payload_read)
        print_entries(r);
    else
        std::printf("entries:    the payload cannot be read\n");
    std::printf("uninst.lst: %s\n", r.uninstall_list_mergeable ? "can be updated"
                                                                 : "missing, empty, unreadable or read-only");
    print_space(r);
    std::printf("the update would end with %s (0x%08X): %s\n", update_result_name(result),
                static_cast<unsigned>(result), result_meaning(result));
    if (result != UPDATE_OK)
        std::printf("because:    %s\n", printable(r.reason).c_str());
    return result_exit_code(result);
}
