#include "build_output.h"

#include <system_error>

namespace fs = std::filesystem;

namespace {

// A name the build writes: the file that has it now, or, while none does, the
// path itself, which an input could still spell.
struct Written {
    fs::path path;
    bool exists;
    fs::path normal;  // absolute and lexically normal
};

Written written(const fs::path& path)
{
    std::error_code ec;
    Written w = {path, fs::exists(fs::symlink_status(path, ec)), fs::absolute(path, ec).lexically_normal()};
    return w;
}

bool same_file(const Written& w, const fs::path& input)
{
    std::error_code ec;
    if (w.exists) {
        const bool same = fs::equivalent(w.path, input, ec);
        if (!ec)
            return same;
        // Where the system cannot tell (a path too deep for the C runtime),
        // the spelling still can.
    }
    return fs::absolute(input, ec).lexically_normal() == w.normal;
}

}  // namespace

std::string check_output(const std::string& out, const std::vector<fs::path>& inputs)
{
    std::error_code ec;
    const fs::path target = fs::u8path(out);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (fs::is_directory(target, ec))
        return "--out " + out + " is a folder: name the updater file to write";
    if (!fs::is_directory(folder, ec))
        return "--out " + out + ": its folder " + folder.u8string() + " does not exist";
    fs::path temporary = target;
    temporary += ".tmp";
    const Written names[] = {written(target), written(temporary)};
    for (const fs::path& input : inputs) {
        for (const Written& w : names) {
            if (same_file(w, input))
                return "--out " + out + " would overwrite " + input.u8string() + ", an input of this build" +
                       (&w == &names[1] ? ", as its temporary name" : "");
        }
    }
    return "";
}
