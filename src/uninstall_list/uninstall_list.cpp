#include "uninstall_list/uninstall_list.h"

#include <cstring>
#include <memory>

#include "path_rules/list_files.h"
#include "platform/file_handle.h"
#include "windows_text/path_buffer.h"
#include "platform/rewrite_beside.h"
#include "uninstall_list/text_convert.h"

namespace {

const size_t LIST_PATH_SIZE = 780;

// The file's text: its bytes up to the first NUL or to the end of what was
// read. Empty unique_ptr when the file cannot be opened, is empty or gives
// nothing back.
std::unique_ptr<char[]> read_list_text(const char* path, size_t* length)
{
    FileHandle file;
    // Only the list itself: through a link, an elevated merge would copy
    // whatever file it points to into a list anyone can read.
    if (!file.open_read_regular(path))
        return nullptr;
    uint32_t size = file.size();
    if (size == 0 || size == OS_INVALID_FILE_SIZE)
        return nullptr;
    std::unique_ptr<char[]> text(new char[static_cast<size_t>(size) + 1]);
    // A short read fails the merge: rewriting the list from part of it would
    // drop the entries that did not arrive, and the uninstaller would then
    // leave those files behind.
    uint32_t got = file.read(text.get(), size);
    file.close();
    if (got != size)
        return nullptr;
    text[got] = '\0';
    *length = std::strlen(text.get());
    return text;
}

const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

// A UTF-8 list is taken into code page 932 before anything else, but only when
// the whole text is well-formed UTF-8: the first few sequences prove nothing,
// and a Shift-JIS list whose first name is half-width katakana (C3 B0 CF BF
// ...) would otherwise come out with every later full-width name as "?", which
// the uninstaller could no longer delete. Anything else stays as the code page
// 932 bytes it is. A leading byte-order mark is no entry and is dropped. A
// conversion that gives nothing fails rather than letting UTF-8 bytes through.
std::unique_ptr<char[]> convert_if_utf8(std::unique_ptr<char[]> text, size_t* length)
{
    if (detect_text_mode(text.get()) != TEXT_MODE_UTF8 || !is_well_formed_utf8(text.get()))
        return text;
    const char* body = text.get();
    if (std::strncmp(body, BYTE_ORDER_MARK, 3) == 0)
        body += 3;
    if (*body == '\0') {
        text[0] = '\0';
        *length = 0;
        return text;
    }
    std::unique_ptr<uint16_t[]> wide(to_wide(nullptr, body));
    if (!wide)
        return nullptr;
    std::unique_ptr<char[]> narrow(to_narrow(nullptr, wide.get(), TEXT_MODE_SJIS));
    if (!narrow)
        return nullptr;
    *length = std::strlen(narrow.get());
    return narrow;
}

// dir\uninst.lst read and taken into code page 932, or an empty pointer.
std::unique_ptr<char[]> read_list(const char* path, size_t* length)
{
    std::unique_ptr<char[]> text = read_list_text(path, length);
    if (!text)
        return nullptr;
    return convert_if_utf8(std::move(text), length);
}

}  // namespace

bool write_uninstall_list(const char* path, const UninstallEntryList* const* lists, size_t list_count)
{
    char sibling[LIST_PATH_SIZE];
    if (!text_join(sibling, sizeof sibling, path, LIST_REWRITE_SUFFIX))
        return false;
    std::string bytes = render_uninstall_list(lists, list_count);
    if (bytes.size() > 0xFFFFFFFFu)
        return false;
    FileHandle file;
    return rewrite_beside(file, path, sibling, bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr, 0);
}

bool merge_uninstall_list(const char* dir, const char* const* paths)
{
    char path[LIST_PATH_SIZE];
    if (!path_join(path, sizeof path, dir, UNINSTALL_LIST_NAME))
        return false;
    size_t length = 0;
    std::unique_ptr<char[]> text = read_list(path, &length);
    if (!text)
        return false;
    UninstallEntryList main_list;
    UninstallEntryList dollar_list;
    parse_uninstall_list(&main_list, &dollar_list, text.get(), length);
    text.reset();
    std::string entry;
    // Payload paths are lowered but neither trimmed nor split, and always go
    // to the main list, even when they begin with "$". They are code page 932
    // like the list, and lowered as such.
    for (const char* const* p = paths; p != nullptr && *p != nullptr; ++p) {
        entry.assign(*p);
        to_lower_in_mode(&entry[0], TEXT_MODE_SJIS);
        append_if_absent(&main_list, entry);
    }
    const UninstallEntryList* lists[2] = {&main_list, &dollar_list};
    return write_uninstall_list(path, lists, 2);
}

bool uninstall_list_mergeable(const char* dir)
{
    char path[LIST_PATH_SIZE];
    size_t length = 0;
    return path_join(path, sizeof path, dir, UNINSTALL_LIST_NAME) && read_list(path, &length) &&
           !refuses_replacing(os_get_attributes(path));
}
