// patchtool build: makes an updater from a stub image (the installed one
// when --stub is left out), a caption and a source folder laid out like the
// installation. Every file becomes one entry
// named by its bare file name; the shipped hash list (first entry) places it
// at its path relative to the folder and carries its checksum.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "build_summary.h"
#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "installed_stub.h"
#include "platform/host_root.h"
#include "publish/payload_builder.h"
#include "publish/release_base.h"
#include "terminal_progress.h"

namespace {

namespace fs = std::filesystem;

struct BuildArguments {
    std::string stub, caption, out, source;   // UTF-8 as given
    std::string form = "128", hash_list = "v2";
    std::vector<std::string> bases;           // UTF-8 as given
    bool dry_run = false, json = false;
    BuilderOptions options;
};

// Declares build's options on `app`; the values land in `a`.
void declare_options(CLI::App& app, BuildArguments* a)
{
    app.add_option("--stub", a->stub,
                   "the updater image without payload (at most 0x28000 bytes); by default the installed one")
        ->type_name("EXE");
    app.add_option("--caption", a->caption, "title of the updater's windows, at most 1023 bytes in code page 932");
    app.add_option("--index-form", a->form, "index entry size: 128 (names up to 95 bytes) or 32 (15)")
        ->check(CLI::IsMember({"128", "32"}));
    app.add_option("--hash-list", a->hash_list, "shipped hash list records: v2 (paths up to 247 bytes) or v1 (55)")
        ->check(CLI::IsMember({"v2", "v1"}));
    app.add_option("--out", a->out, "the updater file to write")->type_name("FILE")->required();
    app.add_option("--base", a->bases,
                   "an earlier release's KXQ.hvl or folder; only files new to or changed from one ship "
                   "(repeatable)")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app.add_flag("--dry-run", a->dry_run, "say what would ship and write nothing");
    app.add_flag("--json", a->json, "give the summary of what ships as JSON");
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

// A folder's path relative to `base`, with "\", in code page 932.
std::string relative_path(const fs::path& base, const fs::path& p)
{
    std::string relative = p.lexically_relative(base).generic_u8string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    return relative;
}

bool add_folder(const fs::path& base, const fs::path& p, std::vector<std::string>* folders, std::string* message)
{
    std::string folder;
    if (!to_cp932(relative_path(base, p), "a folder", &folder, message))
        return false;
    folders->push_back(folder);
    return true;
}

// Every regular file under `root` (a host path, UTF-8; `seam` its seam
// path), sorted by relative path, and (when `folders` is given) every folder
// below it. Only the paths inside `root` must have a code page 932 form.
bool list_sources(const std::string& root, const std::string& seam, std::vector<BuilderFile>* files,
                  std::string* message, std::vector<std::string>* folders = nullptr)
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
        else if (folders && it->is_directory(ec) && !add_folder(base, it->path(), folders, message))
            return false;
    }
    if (ec) {
        *message = "cannot list " + root + ": " + ec.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    for (const fs::path& p : found) {
        const std::string relative = relative_path(base, p);
        BuilderFile f;
        if (!to_cp932(p.filename().u8string(), "the file name", &f.name, message) ||
            !to_cp932(relative, "the path", &f.path, message))
            return false;
        f.source = seam + "\\" + f.path;
        files->push_back(f);
    }
    return true;
}

// What the progress line says while one step of the build runs.
struct Step {
    TerminalProgress* progress;
    std::string what;
};

void report_progress(void* context, uint64_t done, uint64_t total)
{
    const Step* step = static_cast<const Step*>(context);
    step->progress->show_bytes(step->what.c_str(), done, total);
}

// The builder's message (code page 932, files named by seam paths) as UTF-8,
// like every other message of the command.
template <typename Outcome>
Outcome said_in_utf8(Outcome outcome, std::string* message)
{
    *message = message_utf8(*message);
    return outcome;
}

// Each --base: a release folder (its files checksummed) or a hash list file.
// A base that names nothing is refused; one that cannot be read fails.
BuildStatus load_bases(const std::vector<std::string>& given, TerminalProgress& progress,
                       std::vector<ReleaseBase>* bases, std::string* message)
{
    for (const std::string& shown : given) {
        ReleaseBase base;
        if (!os_host_root(shown, &base.shown)) {
            *message = "the base path cannot be used as a path: " + shown;
            return BUILD_REFUSED;
        }
        std::error_code ec;
        const fs::file_status status = fs::status(fs::u8path(shown), ec);
        if (!fs::exists(status)) {
            *message = "no such base file or folder: " + shown;
            return BUILD_REFUSED;
        }
        if (fs::is_directory(status)) {
            std::vector<BuilderFile> files;
            std::vector<std::string> folders;
            Step step = {&progress, "checksumming " + printable_utf8(shown)};
            if (!list_sources(shown, base.shown, &files, message, &folders))
                return BUILD_REFUSED;
            if (!load_base_folder(files, folders, report_progress, &step, &base, message))
                return said_in_utf8(BUILD_FAILED, message);
        } else {
            // A file that opens but holds no hash list is refused input, as
            // inspect refuses a file that is no updater.
            FileHandle probe;
            const bool opens = probe.open_read(base.shown.c_str());
            probe.close();
            if (!load_base_list(base.shown, &base, message))
                return said_in_utf8(opens ? BUILD_REFUSED : BUILD_FAILED, message);
        }
        progress.finish();
        bases->push_back(base);
    }
    return BUILD_OK;
}

// Loads the bases, decides what ships and, unless this is a dry run, writes
// the updater of the shipped files.
BuildStatus plan_and_build(const BuildArguments& a, const std::vector<BuilderFile>& files,
                           std::vector<ReleaseBase>* bases, ShipPlan* plan, std::string* message)
{
    // Names the updater refuses are refused before any file is read: the
    // posix layer, like Windows, cannot even open some of them.
    *message = check_source_paths(files);
    if (!message->empty())
        return said_in_utf8(BUILD_REFUSED, message);
    TerminalProgress progress(stderr);
    Step comparing = {&progress, "comparing with the bases"};
    BuildStatus built = load_bases(a.bases, progress, bases, message);
    if (built == BUILD_OK) {
        built = plan_shipment(files, *bases, report_progress, &comparing, plan, message);
        if (built != BUILD_OK)
            said_in_utf8(built, message);
    }
    progress.finish();
    if (built != BUILD_OK)
        return built;
    const std::vector<BuilderFile> shipped = shipped_files(files, *plan);
    if (!bases->empty() && shipped.empty()) {
        *message = "nothing to ship: every file is unchanged from every base";
        return BUILD_REFUSED;
    }
    // A dry run refuses what the build would refuse without reading a file.
    *message = check_builder_input(a.options, shipped);
    if (!message->empty())
        return said_in_utf8(BUILD_REFUSED, message);
    if (a.dry_run)
        return BUILD_OK;
    Step building = {&progress, "building"};
    return said_in_utf8(build_updater(a.options, shipped, report_progress, &building, message), message);
}

void print_outcome(const BuildArguments& a, const std::vector<BuilderFile>& files,
                   const std::vector<ReleaseBase>& bases, const ShipPlan& plan)
{
    for (const std::string& warning : plan.warnings)
        std::fprintf(stderr, "patchtool build: warning: %s\n", printable_utf8(message_utf8(warning)).c_str());
    const BuildSummary summary = {&files, &plan, &bases, a.dry_run, a.out};
    if (a.json) {
        print_build_summary_json(summary);
        return;
    }
    print_build_summary(summary);
    if (a.dry_run)
        std::printf("dry run: nothing written\n");
    else
        std::printf("wrote %s: %zu files and the shipped hash list (%s, index form %u)\n", printable_utf8(a.out).c_str(),
                    plan.shipped_count, a.options.hash_list_version == 2 ? "v2" : "v1", a.options.form);
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
    if (a.stub.empty())
        a.stub = find_installed_stub();
    if (a.stub.empty()) {
        std::string looked;
        for (const std::string& candidate : stub_candidates())
            looked += "\n  " + candidate;
        return usage_error("build", ("no --stub given and no installed updater.exe found; looked for:" +
                                     (looked.empty() ? std::string(" (own path unavailable)") : looked) +
                                     "\ngive the bare updater with --stub EXE").c_str());
    }
    a.options.form = a.form == "32" ? 32 : 128;
    a.options.hash_list_version = a.hash_list == "v1" ? 1 : 2;
    std::string message, source;
    std::vector<BuilderFile> files;
    if (!host_operand("build", a.stub, &a.options.stub) || !host_operand("build", a.out, &a.options.out) ||
        !host_operand("build", a.source, &source))
        return EXIT_USAGE;
    const char* stub_kind = operand_kind_problem(a.options.stub, false);
    if (*stub_kind)
        return refuse_operand("build", a.stub, (std::string("the stub: ") + stub_kind).c_str());
    if (!to_cp932(a.caption, "the caption", &a.options.caption, &message) ||
        !list_sources(a.source, source, &files, &message)) {
        std::fprintf(stderr, "patchtool build: %s\n", printable_utf8(message).c_str());
        return EXIT_USAGE;
    }
    std::vector<ReleaseBase> bases;
    ShipPlan plan;
    const BuildStatus built = plan_and_build(a, files, &bases, &plan, &message);
    if (built != BUILD_OK) {
        std::fprintf(stderr, "patchtool build: %s\n", printable_utf8(message).c_str());
        return built == BUILD_REFUSED ? EXIT_USAGE : EXIT_FAILED;
    }
    print_outcome(a, files, bases, plan);
    return EXIT_OK;
}
