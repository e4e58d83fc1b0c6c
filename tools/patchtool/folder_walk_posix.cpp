#include "folder_walk.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool walk_folder(const std::string& root, std::vector<FolderItem>* items, std::string* message)
{
    std::error_code ec;
    const fs::path base = fs::u8path(root);
    for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (ec) {
            *message = "cannot tell what " + it->path().u8string() + " is: " + ec.message();
            return false;
        }
        FolderItemKind kind = ITEM_OTHER;
        if (fs::is_symlink(status))
            kind = ITEM_LINK;
        else if (fs::is_directory(status))
            kind = ITEM_FOLDER;
        else if (fs::is_regular_file(status))
            kind = ITEM_FILE;
        items->push_back({it->path().lexically_relative(base).generic_u8string(), kind});
    }
    if (ec) {
        *message = "cannot list " + root + ": " + ec.message();
        return false;
    }
    return true;
}
