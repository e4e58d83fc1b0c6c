// uninst.lst maintenance: read it (converted from UTF-8 only when the whole
// text is well-formed UTF-8, else taken as code page 932; CR/LF/CRLF), lower
// ASCII letters as code page 932, drop duplicates, add the payload paths not
// yet listed, put "$" lines last, and rewrite it in code page 932 with LF
// endings and one NUL. Entries of any length are kept whole.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Ordered distinct entries with append-if-absent in constant time. The bytes
// of the entries live in blocks that never move, so `entries` stays valid as
// the list grows; the open-addressing table holds entry index + 1 (0 = free).
struct UninstallEntryList {
    std::vector<std::string_view> entries;  // in order of first appearance

    std::vector<std::unique_ptr<char[]>> blocks;
    size_t block_used = 0;
    size_t block_size = 0;
    std::vector<size_t> hashes;    // hash of each entry, for growing the table
    std::vector<uint32_t> slots;   // size a power of two, at most half full
};

// Appends `entry` unless an equal entry (byte for byte) is present; true when appended.
bool append_if_absent(UninstallEntryList* list, std::string_view entry);
// Splits `text` (code page 932, `length` bytes, then a NUL) into the main and
// the dollar list: lines end at the first CR or LF that is a character of its
// own (never a trail byte), leading blanks are dropped, each line's ASCII
// capitals are lowered. Linear in `length`.
void parse_uninstall_list(UninstallEntryList* main_list, UninstallEntryList* dollar_list,
                          const char* text, size_t length);
// The file's bytes: every entry of every list in order, each followed by LF,
// then one NUL.
std::string render_uninstall_list(const UninstallEntryList* const* lists, size_t list_count);
// Writes the rendered lists to `path` + ".new" and moves that over `path`, so
// the old file survives a failed write. True when every byte was written and
// the file is in place; on failure the sibling is deleted.
bool write_uninstall_list(const char* path, const UninstallEntryList* const* lists, size_t list_count);
// The whole merge over dir\uninst.lst with the null-terminated `paths` array.
// False when the file is missing, empty, unreadable, not a regular file (a
// link, a pipe), unconvertible or unwritable.
bool merge_uninstall_list(const char* dir, const char* const* paths);
// What the merge needs before it writes, checked without writing: the file is
// there, readable and convertible, and neither read-only nor a folder. A merge
// can still fail later if the disk refuses the rewrite.
bool uninstall_list_mergeable(const char* dir);
