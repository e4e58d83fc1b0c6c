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
    if (!host_operand("apply", resolve_named_file(given_file), &file) || !host_operand("apply", given_dir, &dir))
        return EXIT_USAGE;
    // The update reads its file as the updater reads its own; a pipe or a
    // device there would make it wait for ever: refused input, at once.
    FileHandle probe;
    if (os_get_attributes(file.c_str()) != OS_INVALID_ATTRIBUTES && !probe.open_read_regular(file.c_str()))
        return refuse_operand("apply", given_file, "not a regular file (a pipe or a device?)");
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
