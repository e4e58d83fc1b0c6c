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

#include "build_output.h"
#include "build_summary.h"
#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "installed_stub.h"
#include "named_file.h"
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
    app.add_option("--caption", a->caption, "title of the updater's windows, at most 1023 bytes in code page 932")
        ->required();
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

// A release is files in folders: a link would ship (or compare) the bytes of
// whatever it points to, perhaps a file outside the release, and a pipe or a
// device has no bytes to ship. Either is a mistake or an attack, refused by
// its name.
bool refuse_non_file(const fs::directory_entry& entry, std::string* message)
{
    std::error_code ec;
    const fs::file_status status = entry.symlink_status(ec);
    if (ec)
        *message = "cannot tell what " + entry.path().u8string() + " is: " + ec.message();
    else if (fs::is_symlink(status))
        *message = "a symbolic link in the folder: " + entry.path().u8string() + " (a release is files)";
    else if (!fs::is_regular_file(status) && !fs::is_directory(status))
        *message = "neither a file nor a folder: " + entry.path().u8string();
    return message->empty();
}

// Every regular file under `root`, sorted by relative path, its host path
// added to `inputs`, and (when `folders` is given) every folder below it.
bool list_sources(const std::string& root, std::vector<BuilderFile>* files, std::vector<fs::path>* inputs,
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
        if (!refuse_non_file(*it, message))
            return false;
        if (it->is_regular_file(ec))
            found.push_back(it->path());
        else if (folders && !add_folder(base, it->path(), folders, message))
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
        if (!to_cp932(p.filename().u8string(), "a file name", &f.name, message) ||
            !to_cp932(relative, "a path", &f.path, message) ||
            !to_cp932(p.u8string(), "a path", &f.source, message))
            return false;
        files->push_back(f);
        inputs->push_back(p);
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

// Progress is drawn on a terminal only; elsewhere no step needs its total.
BuilderProgress progress_function()
{
    return terminal_is_tty(stderr) ? report_progress : nullptr;
}

// One --base as listed before anything is read: a release folder's files and
// folders, or a hash list file.
struct BaseListing {
    std::string shown;  // code page 932
    std::string path;   // a hash list's file, its link resolved, code page 932
    bool is_folder = false;
    std::vector<BuilderFile> files;
    std::vector<std::string> folders;
};

// Lists each --base, adding every file it names to `inputs`. False with a
// message when one cannot be listed or holds what a release cannot.
bool list_bases(const std::vector<std::string>& given, std::vector<BaseListing>* listings,
                std::vector<fs::path>* inputs, std::string* message)
{
    for (const std::string& shown : given) {
        BaseListing listing;
        if (!to_cp932(shown, "the base path", &listing.shown, message))
            return false;
        std::error_code ec;
        listing.is_folder = fs::is_directory(fs::u8path(shown), ec);
        if (listing.is_folder) {
            if (!list_sources(shown, &listing.files, inputs, message, &listing.folders))
                return false;
        } else {
            if (!to_cp932(resolve_named_file(shown), "the base path", &listing.path, message))
                return false;
            inputs->push_back(fs::u8path(shown));
        }
        listings->push_back(listing);
    }
    return true;
}

// Each base: a release folder (its files checksummed) or a hash list file.
bool load_bases(const std::vector<BaseListing>& listings, TerminalProgress& progress,
                std::vector<ReleaseBase>* bases, std::string* message)
{
    for (const BaseListing& listing : listings) {
        ReleaseBase base;
        base.shown = listing.shown;
        Step step = {&progress, "checksumming " + printable(listing.shown)};
        if (listing.is_folder ? !load_base_folder(listing.files, listing.folders, progress_function(), &step, &base, message)
                              : !load_base_list(listing.path, &base, message))
            return false;
        progress.finish();
        bases->push_back(base);
    }
    return true;
}

// Loads the bases, decides what ships and, unless this is a dry run, writes
// the updater of the shipped files.
BuildStatus plan_and_build(const BuildArguments& a, const std::vector<BuilderFile>& files,
                           const std::vector<BaseListing>& listings, std::vector<ReleaseBase>* bases, ShipPlan* plan,
                           std::string* message)
{
    // Names the updater refuses are refused before any file is read: the
    // posix layer, like Windows, cannot even open some of them.
    *message = check_source_paths(files);
    if (!message->empty())
        return BUILD_REFUSED;
    TerminalProgress progress(stderr);
    Step comparing = {&progress, "comparing with the bases"};
    BuildStatus built = load_bases(listings, progress, bases, message) ? BUILD_OK : BUILD_FAILED;
    if (built == BUILD_OK)
        built = plan_shipment(files, *bases, progress_function(), &comparing, plan, message);
    progress.finish();
    if (built != BUILD_OK)
        return built;
    const std::vector<BuilderFile> shipped = shipped_files(files, *plan);
    if (!bases->empty() && shipped.empty()) {
        *message = "nothing to ship: every file is unchanged from every base";
        return BUILD_REFUSED;
    }
    // A dry run answers as the build would: every check but the writing.
    const BuildStatus checked = check_build(a.options, shipped, message);
    if (checked != BUILD_OK || a.dry_run)
        return checked;
    Step building = {&progress, "building"};
    return build_updater(a.options, shipped, report_progress, &building, message);
}

void print_outcome(const BuildArguments& a, const std::vector<BuilderFile>& files,
                   const std::vector<ReleaseBase>& bases, const ShipPlan& plan)
{
    for (const std::string& warning : plan.warnings)
        std::fprintf(stderr, "patchtool build: warning: %s\n", printable(warning).c_str());
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
    std::string message;
    std::vector<BuilderFile> files;
    std::vector<BaseListing> listings;
    std::vector<fs::path> inputs = {fs::u8path(a.stub)};
    if (!to_cp932(resolve_named_file(a.stub), "the stub path", &a.options.stub, &message) ||
        !to_cp932(a.caption, "the caption", &a.options.caption, &message) ||
        !to_cp932(a.out, "the output path", &a.options.out, &message) ||
        !list_sources(a.source, &files, &inputs, &message) || !list_bases(a.bases, &listings, &inputs, &message) ||
        !(message = check_output(a.out, inputs)).empty()) {
        std::fprintf(stderr, "patchtool build: %s\n", printable_utf8(message).c_str());
        return EXIT_USAGE;
    }
    std::vector<ReleaseBase> bases;
    ShipPlan plan;
    const BuildStatus built = plan_and_build(a, files, listings, &bases, &plan, &message);
    if (built != BUILD_OK) {
        std::fprintf(stderr, "patchtool build: %s\n", printable(message).c_str());
        return built == BUILD_REFUSED ? EXIT_USAGE : EXIT_FAILED;
    }
    print_outcome(a, files, bases, plan);
    return EXIT_OK;
}
