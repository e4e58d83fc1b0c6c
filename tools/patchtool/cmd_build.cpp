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
#include "folder_walk.h"
#include "installed_stub.h"
#include "named_file.h"
#include "platform/host_root.h"
#include "platform/platform.h"
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

// A path inside the folder ("/" between names, UTF-8) with "\\".
std::string windows_separators(std::string relative)
{
    std::replace(relative.begin(), relative.end(), '/', '\\');
    return relative;
}

// A release is files in folders: a link would ship (or compare) the bytes of
// whatever it points to, perhaps a file outside the release, and a pipe or a
// device has no bytes to ship. Either is a mistake or an attack, refused by
// its name.
bool refuse_non_file(const std::string& root, const FolderItem& item, std::string* message)
{
    if (item.kind == ITEM_LINK)
        *message = "a symbolic link in the folder: " + root + "/" + item.relative + " (a release is files)";
    else if (item.kind == ITEM_OTHER)
        *message = "neither a file nor a folder: " + root + "/" + item.relative;
    return message->empty();
}

// Every regular file under `root` (a host path, UTF-8; `seam` its seam
// path), sorted by relative path, its host path added to `inputs`, and (when
// `folders` is given) every folder below it. Only the paths inside `root`
// must have a code page 932 form.
bool list_sources(const std::string& root, const std::string& seam, std::vector<BuilderFile>* files,
                  std::vector<fs::path>* inputs,
                  std::string* message, std::vector<std::string>* folders = nullptr)
{
    // Asked through the seam, which reaches the folder however deep it lies.
    const uint32_t attributes = os_get_attributes(seam.c_str());
    if (attributes == OS_INVALID_ATTRIBUTES || !(attributes & OS_ATTRIBUTE_DIRECTORY)) {
        *message = "not a folder: " + root;
        return false;
    }
    std::vector<FolderItem> items;
    if (!walk_folder(root, &items, message))
        return false;
    std::vector<std::pair<fs::path, std::string>> found;  // sorted by the path's names, as a listing is
    for (const FolderItem& item : items) {
        if (!refuse_non_file(root, item, message))
            return false;
        if (item.kind == ITEM_FILE) {
            found.emplace_back(fs::u8path(item.relative), item.relative);
        } else if (folders) {
            std::string folder;
            if (!to_cp932(windows_separators(item.relative), "a folder", &folder, message))
                return false;
            folders->push_back(folder);
        }
    }
    std::sort(found.begin(), found.end());
    for (const auto& entry : found) {
        const std::string& relative = entry.second;
        BuilderFile f;
        const size_t slash = relative.rfind('/');
        if (!to_cp932(relative.substr(slash == std::string::npos ? 0 : slash + 1), "the file name", &f.name,
                      message) ||
            !to_cp932(windows_separators(relative), "the path", &f.path, message))
            return false;
        f.source = seam + "\\" + f.path;
        files->push_back(f);
        inputs->push_back(fs::u8path(root) / entry.first);
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

// Progress is drawn on a terminal only; elsewhere no step needs its total.
BuilderProgress progress_function()
{
    return terminal_is_tty(stderr) ? report_progress : nullptr;
}

// One --base as listed before anything is read: a release folder's files and
// folders, or a hash list file.
struct BaseListing {
    std::string shown;  // its seam path
    std::string path;   // a hash list's file, its link resolved, as a seam path
    bool is_folder = false;
    std::vector<BuilderFile> files;
    std::vector<std::string> folders;
};

// Lists each --base, adding every file it names to `inputs`. False with a
// message when one names nothing, cannot be listed or holds what a release
// cannot: refused input, all of it.
bool list_bases(const std::vector<std::string>& given, std::vector<BaseListing>* listings,
                std::vector<fs::path>* inputs, std::string* message)
{
    for (const std::string& shown : given) {
        BaseListing listing;
        if (!os_host_root(shown, &listing.shown)) {
            *message = "the base path cannot be used as a path: " + shown;
            return false;
        }
        const uint32_t attributes = os_get_attributes(listing.shown.c_str());
        if (attributes == OS_INVALID_ATTRIBUTES) {
            *message = "no such base file or folder: " + shown;
            return false;
        }
        listing.is_folder = (attributes & OS_ATTRIBUTE_DIRECTORY) != 0;
        if (listing.is_folder) {
            if (!list_sources(shown, listing.shown, &listing.files, inputs, message, &listing.folders))
                return false;
        } else {
            if (!os_host_root(resolve_named_file(shown), &listing.path)) {
                *message = "the base path cannot be used as a path: " + shown;
                return false;
            }
            // A pipe or a device would make the comparison wait for ever.
            const char* kind = operand_kind_problem(listing.path, false);
            if (*kind) {
                *message = "the base " + shown + ": " + kind;
                return false;
            }
            inputs->push_back(fs::u8path(shown));
        }
        listings->push_back(listing);
    }
    return true;
}

// Each base: a release folder (its files checksummed) or a hash list file.
// A file that opens but holds no hash list is refused input, as inspect
// refuses a file that is no updater; one that cannot be read fails.
BuildStatus load_bases(const std::vector<BaseListing>& listings, TerminalProgress& progress,
                       std::vector<ReleaseBase>* bases, std::string* message)
{
    for (const BaseListing& listing : listings) {
        ReleaseBase base;
        base.shown = listing.shown;
        Step step = {&progress, "checksumming " + printable_utf8(message_utf8(listing.shown))};
        if (listing.is_folder) {
            if (!load_base_folder(listing.files, listing.folders, progress_function(), &step, &base, message))
                return said_in_utf8(BUILD_FAILED, message);
        } else {
            FileHandle probe;
            const bool opens = probe.open_read_regular(listing.path.c_str());
            probe.close();
            if (!load_base_list(listing.path, &base, message))
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
                           const std::vector<BaseListing>& listings, std::vector<ReleaseBase>* bases, ShipPlan* plan,
                           std::string* message)
{
    // Names the updater refuses are refused before any file is read: the
    // posix layer, like Windows, cannot even open some of them.
    *message = check_source_paths(files);
    if (!message->empty())
        return said_in_utf8(BUILD_REFUSED, message);
    TerminalProgress progress(stderr);
    Step comparing = {&progress, "comparing with the bases"};
    BuildStatus built = load_bases(listings, progress, bases, message);
    if (built == BUILD_OK) {
        built = plan_shipment(files, *bases, progress_function(), &comparing, plan, message);
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
    // A dry run answers as the build would: every check but the writing.
    const BuildStatus checked = said_in_utf8(check_build(a.options, shipped, message), message);
    if (checked != BUILD_OK || a.dry_run)
        return checked;
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
    std::vector<BaseListing> listings;
    std::vector<fs::path> inputs = {fs::u8path(a.stub)};
    if (!host_operand("build", resolve_named_file(a.stub), &a.options.stub) ||
        !host_operand("build", a.out, &a.options.out) || !host_operand("build", a.source, &source))
        return EXIT_USAGE;
    const char* stub_kind = operand_kind_problem(a.options.stub, false);
    if (*stub_kind)
        return refuse_operand("build", a.stub, (std::string("the stub: ") + stub_kind).c_str());
    if (!to_cp932(a.caption, "the caption", &a.options.caption, &message) ||
        !list_sources(a.source, source, &files, &inputs, &message) ||
        !list_bases(a.bases, &listings, &inputs, &message) ||
        !(message = check_output(a.out, inputs)).empty()) {
        std::fprintf(stderr, "patchtool build: %s\n", printable_utf8(message).c_str());
        return EXIT_USAGE;
    }
    std::vector<ReleaseBase> bases;
    ShipPlan plan;
    const BuildStatus built = plan_and_build(a, files, listings, &bases, &plan, &message);
    if (built != BUILD_OK) {
        std::fprintf(stderr, "patchtool build: %s\n", printable_utf8(message).c_str());
        return built == BUILD_REFUSED ? EXIT_USAGE : EXIT_FAILED;
    }
    print_outcome(a, files, bases, plan);
    return EXIT_OK;
}
