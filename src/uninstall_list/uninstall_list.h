// uninst.lst maintenance: read it (UTF-8 or code page 932, CR/LF/CRLF), lower
// ASCII letters, drop duplicates, add the payload paths not yet listed, put "$"
// lines last, and rewrite it in code page 932 with LF endings and one NUL.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

// Ordered distinct entries; append-if-absent in constant time per candidate.
struct UninstallEntryList {
    std::vector<std::string> entries;
    std::unordered_set<std::string> present;
};

// Appends `entry` unless an equal entry (byte for byte) is already present.
void append_if_absent(UninstallEntryList* list, const std::string& entry);
// Splits `text` (NUL-terminated, `length` bytes before the NUL) into the main and
// the dollar list, exactly as the format's line rules say, in linear time.
void parse_uninstall_list(UninstallEntryList* main_list, UninstallEntryList* dollar_list,
                          const char* text, size_t length);
// Writes the lists in order, each entry followed by LF, then one NUL, to a
// sibling file moved over `path`: the old file survives a failed write. True
// when every byte was written and the file is in place.
bool write_uninstall_list(const char* path, const UninstallEntryList* const* lists, size_t list_count);
// The whole merge over dir\uninst.lst with the null-terminated `paths` array.
// False when the file is missing, empty, unreadable, unconvertible or unwritable.
bool merge_uninstall_list(const char* dir, const char* const* paths);
