// Every name under a folder a publisher named (a release or a base), as the
// host system lists it. Natively through std::filesystem; in patchtool.exe
// through the wide find calls, since the C runtime's folder listing stops at
// 260 characters, where a deep build folder begins.
#pragma once
#include <string>
#include <vector>

enum FolderItemKind { ITEM_FILE, ITEM_FOLDER, ITEM_LINK, ITEM_OTHER };

struct FolderItem {
    std::string relative;  // UTF-8, "/" between names
    FolderItemKind kind;   // ITEM_LINK: a symbolic link or junction, never followed
};

// Every name under `root` (UTF-8 as given), each folder before what it holds.
// False with *message when a folder cannot be listed, or a name cannot be
// told or written as UTF-8.
bool walk_folder(const std::string& root, std::vector<FolderItem>* items, std::string* message);
