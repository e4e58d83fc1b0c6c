// patchtool apply: runs the update transaction of an updater file on an
// installation folder, with progress on the terminal instead of the dialog.
#include <cstdio>
#include <string>

#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "named_file.h"
#include "terminal_progress.h"
#include "update/transaction.h"

namespace {

struct ResultMeaning {
    UpdateResult result;
    const char* meaning;
};

// What each outcome means for the installation, in the tool's words.
const ResultMeaning MEANINGS[] = {
    {UPDATE_OK, "The update completed: every file is installed and both lists are updated."},
    {UPDATE_E_DAMAGED, "The updater file is damaged or unreadable; nothing was installed."},
    {UPDATE_E_TOO_MANY_ENTRIES, "The updater holds more than 256 files; nothing was installed."},
    {UPDATE_E_RESERVED_3, "The updater file is damaged or unreadable; nothing was installed."},
    {UPDATE_E_FAILED, "A file could not be written or moved into place, or the installation's KXQ.hvl "
                      "is missing or unusable."},
    {UPDATE_E_UNINST_LIST, "The files and KXQ.hvl were updated, but uninst.lst could not be updated."},
    {UPDATE_E_CANCELLED, "The update was cancelled; nothing was installed."},
    {UPDATE_E_CLOSED, "The update was stopped; nothing was installed."},
};

}  // namespace

const char* result_meaning(UpdateResult result)
{
    for (const ResultMeaning& m : MEANINGS) {
        if (m.result == result)
            return m.meaning;
    }
    return "Unknown result.";
}

int result_exit_code(UpdateResult result)
{
    return result == UPDATE_OK ? EXIT_OK : static_cast<int>(result & 0xFF);
}

int cmd_apply(int argc, char** argv)
{
    std::string given_file, given_dir;
    bool dry_run = false;
    CLI::App app;
    command_app(&app, "apply");
    app.add_flag("--dry-run", dry_run, "say what the update would do, change nothing, exit as the update would");
    app.add_option("FILE", given_file, "the updater file")->required();
    app.add_option("INSTALL_DIR", given_dir, "the installation folder")->required();
    const int parsed = parse_command(app, argc, argv);
    if (parsed != COMMAND_PARSED)
        return parsed;
    std::string file, dir;
    if (!utf8_to_cp932(resolve_named_file(given_file), &file) || !utf8_to_cp932(given_dir, &dir)) {
        std::fprintf(stderr, "patchtool apply: a path cannot be written in code page 932\n");
        return EXIT_USAGE;
    }
    // The update reads its file as the updater reads its own; a pipe or a
    // device there would make it wait for ever. It ends as an unreadable
    // updater file does.
    FileHandle probe;
    if (os_get_attributes(file.c_str()) != OS_INVALID_ATTRIBUTES && !probe.open_read_regular(file.c_str())) {
        std::fprintf(stderr, "patchtool apply: %s: not a regular file\n", printable_utf8(given_file).c_str());
        return result_exit_code(UPDATE_E_DAMAGED);
    }
    probe.close();
    if (dry_run)
        return apply_dry_run(file, dir, printable_utf8(given_file), printable_utf8(given_dir));
    UpdateResult result;
    {
        TerminalProgress progress(stderr);
        terminal_catch_interrupt();
        result = run_update_from(file.c_str(), dir.c_str(), progress);
        terminal_release_interrupt();
    }
    std::printf("%s (0x%08X): %s\n", update_result_name(result), static_cast<unsigned>(result),
                result_meaning(result));
    return result_exit_code(result);
}
