// The command line of each patchtool command, taken through CLI11. A command
// declares its options and operands on an app set up by command_app and then
// calls parse_command, so every command keeps the tool's conventions:
// "--help" or "-h" prints the command's usage, summary and options to stdout
// (exit 0); a usage error prints "patchtool COMMAND: message" and the usage
// line to stderr (exit 2); "--" ends the options.
#pragma once
#include <CLI/CLI.hpp>

// Names `app` after `command` (a name in the command table), gives it the
// command's summary and the tool's help layout.
void command_app(CLI::App* app, const char* command);
// parse_command's answer when the command is to run.
const int COMMAND_PARSED = -1;
// Parses argv (argv[0] = the command's name). COMMAND_PARSED to go on; else
// the exit code after the help or the usage error has been printed.
int parse_command(CLI::App& app, int argc, char** argv);
