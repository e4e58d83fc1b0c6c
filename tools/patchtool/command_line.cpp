#include "command_line.h"

#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"

namespace {

// Help in the layout of the tool's other texts: the usage line as the
// command table writes it, the summary, then CLI11's list of operands and
// options.
class ToolFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string) const override
    {
        const CommandInfo* command = find_command(app->get_name().c_str());
        return "usage: patchtool " + app->get_name() + " " + (command ? command->usage : "") + "\n";
    }
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override
    {
        return make_usage(app, name) + "\n" + app->get_description() + "\n" + make_positionals(app) +
               make_groups(app, mode) + make_footer(app);
    }
};

}  // namespace

void command_app(CLI::App* app, const char* command)
{
    const CommandInfo* info = find_command(command);
    app->name(command);
    app->description(info ? info->summary : "");
    app->formatter(std::make_shared<ToolFormatter>());
}

int parse_command(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        return EXIT_OK;
    } catch (const CLI::ParseError& e) {
        return usage_error(app.get_name().c_str(), e.what());
    }
    return COMMAND_PARSED;
}
