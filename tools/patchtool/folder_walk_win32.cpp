#include "folder_walk.h"

#include <windows.h>

#include "cli_text.h"
#include "platform/host_files_win32.h"

namespace {

// "cannot list <folder>: system error <n>", the folder as the user named it.
std::string cannot_list(const std::string& shown, const std::string& relative)
{
    return "cannot list " + shown + (relative.empty() ? "" : "/" + relative) + ": system error " +
           std::to_string(GetLastError());
}

FolderItemKind kind_of(const WIN32_FIND_DATAW& found)
{
    // A name-surrogate reparse point is a link or junction to somewhere else;
    // other reparse points (compressed or cloud files) hold their own data.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(found.dwReserved0))
        return ITEM_LINK;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return ITEM_FOLDER;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) ? ITEM_OTHER : ITEM_FILE;
}

// The names in `folder` (its wide path; `relative` its place under the root,
// "" for the root itself), and in the folders below it.
bool walk(const std::wstring& folder, const std::string& relative, const std::string& shown,
          std::vector<FolderItem>* items, std::string* message)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   0);
    if (find == INVALID_HANDLE_VALUE) {
        *message = cannot_list(shown, relative);
        return false;
    }
    bool ok = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::string utf8;
        if (!wide_to_utf8(found.cFileName, &utf8)) {
            *message = "a name that is not valid Unicode in " + shown + (relative.empty() ? "" : "/" + relative);
            ok = false;
            break;
        }
        const FolderItem item = {relative.empty() ? utf8 : relative + "/" + utf8, kind_of(found)};
        items->push_back(item);
        if (item.kind == ITEM_FOLDER && !walk(folder + L"\\" + name, item.relative, shown, items, message)) {
            ok = false;
            break;
        }
    } while (FindNextFileW(find, &found));
    if (ok && GetLastError() != ERROR_NO_MORE_FILES) {
        *message = cannot_list(shown, relative);
        ok = false;
    }
    FindClose(find);
    return ok;
}

}  // namespace

bool walk_folder(const std::string& root, std::vector<FolderItem>* items, std::string* message)
{
    std::wstring wide;
    if (!host_wide_path(root, &wide)) {
        *message = "cannot list " + root + ": not a path the system reads";
        return false;
    }
    return walk(wide, "", root, items, message);
}
