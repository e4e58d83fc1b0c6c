// patchtool build: makes an updater from a stub image, a caption and a
// source folder laid out like the installation. Every file becomes one entry
// named by its bare file name; the shipped hash list (first entry) places it
// at its path relative to the folder and carries its checksum.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "publish/payload_builder.h"
#include "terminal_progress.h"

namespace {

namespace fs = std::filesystem;

struct BuildArguments {
    std::string stub, caption, out, source;   // UTF-8 as given
    std::string form = "128", hash_list = "v2";
    BuilderOptions options;
};

// Declares build's options on `app`; the values land in `a`.
void declare_options(CLI::App& app, BuildArguments* a)
{
    app.add_option("--stub", a->stub, "the updater image without payload (at most 0x28000 bytes)")
        ->type_name("EXE")
        ->required();
    app.add_option("--caption", a->caption, "title of the updater's windows, at most 1023 bytes in code page 932");
    app.add_option("--index-form", a->form, "index entry size: 128 (names up to 95 bytes) or 32 (15)")
        ->check(CLI::IsMember({"128", "32"}));
    app.add_option("--hash-list", a->hash_list, "shipped hash list records: v2 (paths up to 247 bytes) or v1 (55)")
        ->check(CLI::IsMember({"v2", "v1"}));
    app.add_option("--out", a->out, "the updater file to write")->type_name("FILE")->required();
    app.add_option("SOURCE_DIR", a->source, "the new files, laid out as in the installation")->required();
}

// Text the updater stores must be code page 932; false with a message.
bool to_cp932(const std::string& utf8, const char* what, std::string* out, std::string* message)
{
    if (utf8_to_cp932(utf8, out))
        return true;
    *message = std::string(what) + " cannot be written in code page 932: " + utf8;
    return false;
}

// Every regular file under `root`, sorted by relative path.
bool list_sources(const std::string& root, std::vector<BuilderFile>* files, std::string* message)
{
    std::error_code ec;
    const fs::path base = fs::u8path(root);
    if (!fs::is_directory(base, ec)) {
        *message = "not a folder: " + root;
        return false;
    }
    std::vector<fs::path> found;
    for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec))
            found.push_back(it->path());
    }
    if (ec) {
        *message = "cannot list " + root + ": " + ec.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    for (const fs::path& p : found) {
        std::string relative = p.lexically_relative(base).generic_u8string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        BuilderFile f;
        if (!to_cp932(p.filename().u8string(), "a file name", &f.name, message) ||
            !to_cp932(relative, "a path", &f.path, message) ||
            !to_cp932(p.u8string(), "a path", &f.source, message))
            return false;
        files->push_back(f);
    }
    return true;
}

void report_progress(void* context, uint64_t done, uint64_t total)
{
    static_cast<TerminalProgress*>(context)->show_bytes("building", done, total);
}

}  // namespace

int cmd_build(int argc, char** argv)
{
    BuildArguments a;
    CLI::App app;
    command_app(&app, "build");
    declare_options(app, &a);
    const int parsed = parse_command(app, argc, argv);
    if (parsed != COMMAND_PARSED)
        return parsed;
    a.options.form = a.form == "32" ? 32 : 128;
    a.options.hash_list_version = a.hash_list == "v1" ? 1 : 2;
    std::string message;
    std::vector<BuilderFile> files;
    if (!to_cp932(a.stub, "the stub path", &a.options.stub, &message) ||
        !to_cp932(a.caption, "the caption", &a.options.caption, &message) ||
        !to_cp932(a.out, "the output path", &a.options.out, &message) ||
        !list_sources(a.source, &files, &message)) {
        std::fprintf(stderr, "patchtool build: %s\n", message.c_str());
        return EXIT_USAGE;
    }
    TerminalProgress progress(stderr);
    BuildStatus built = build_updater(a.options, files, report_progress, &progress, &message);
    progress.finish();
    if (built != BUILD_OK) {
        std::fprintf(stderr, "patchtool build: %s\n", cp932_to_utf8(message).c_str());
        return built == BUILD_REFUSED ? EXIT_USAGE : EXIT_FAILED;
    }
    std::printf("wrote %s: %zu files and the shipped hash list (%s, index form %u)\n", a.out.c_str(),
                files.size(), a.options.hash_list_version == 2 ? "v2" : "v1", a.options.form);
    return EXIT_OK;
}
