// patchtool build: makes an updater from a stub image (the installed one
// when --stub is left out), a caption and a source folder laid out like the
// installation. Every file becomes one entry
// named by its bare file name; the shipped hash list (first entry) places it
// at its path relative to the folder and carries its checksum.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli_text.h"
#include "commands.h"
#include "installed_stub.h"
#include "publish/payload_builder.h"
#include "terminal_progress.h"

namespace {

namespace fs = std::filesystem;

struct BuildArguments {
    std::string stub, caption, out, source;   // UTF-8 as given
    BuilderOptions options;
};

int parse_value(const char* option, const char* value, BuildArguments* a)
{
    const std::string o = option;
    if (o == "--stub")
        a->stub = value;
    else if (o == "--caption")
        a->caption = value;
    else if (o == "--out")
        a->out = value;
    else if (o == "--index-form" && (std::strcmp(value, "128") == 0 || std::strcmp(value, "32") == 0))
        a->options.form = std::strcmp(value, "128") == 0 ? 128 : 32;
    else if (o == "--hash-list" && (std::strcmp(value, "v2") == 0 || std::strcmp(value, "v1") == 0))
        a->options.hash_list_version = value[1] == '2' ? 2 : 1;
    else
        return usage_error("build", ("bad option or value: " + o + " " + value).c_str());
    return EXIT_OK;
}

int parse_arguments(int argc, char** argv, BuildArguments* a)
{
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; i += 2) {
        if (std::strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (i + 1 >= argc)
            return usage_error("build", (std::string(argv[i]) + " needs a value").c_str());
        if (parse_value(argv[i], argv[i + 1], a) != EXIT_OK)
            return EXIT_USAGE;
    }
    if (i + 1 != argc)
        return usage_error("build", "give exactly one SOURCE_DIR");
    a->source = argv[i];
    if (a->out.empty())
        return usage_error("build", "--out is required");
    if (a->stub.empty())
        a->stub = find_installed_stub();
    if (a->stub.empty()) {
        std::string looked;
        for (const std::string& candidate : stub_candidates())
            looked += "\n  " + candidate;
        return usage_error("build", ("no --stub given and no installed updater.exe found; looked for:" +
                                     (looked.empty() ? std::string(" (own path unavailable)") : looked) +
                                     "\ngive the bare updater with --stub EXE").c_str());
    }
    return EXIT_OK;
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
    if (parse_arguments(argc, argv, &a) != EXIT_OK)
        return EXIT_USAGE;
    std::string message;
    std::vector<BuilderFile> files;
    if (!to_cp932(a.stub, "the stub path", &a.options.stub, &message) ||
        !to_cp932(a.caption, "the caption", &a.options.caption, &message) ||
        !to_cp932(a.out, "the output path", &a.options.out, &message) ||
        !list_sources(a.source, &files, &message)) {
        std::fprintf(stderr, "patchtool build: %s\n", printable_utf8(message).c_str());
        return EXIT_USAGE;
    }
    TerminalProgress progress(stderr);
    BuildStatus built = build_updater(a.options, files, report_progress, &progress, &message);
    progress.finish();
    if (built != BUILD_OK) {
        std::fprintf(stderr, "patchtool build: %s\n", printable(message).c_str());
        return built == BUILD_REFUSED ? EXIT_USAGE : EXIT_FAILED;
    }
    std::printf("wrote %s: %zu files and the shipped hash list (%s, index form %u)\n", printable_utf8(a.out).c_str(),
                files.size(), a.options.hash_list_version == 2 ? "v2" : "v1", a.options.form);
    return EXIT_OK;
}
