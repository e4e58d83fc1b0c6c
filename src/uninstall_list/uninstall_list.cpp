#include "uninstall_list/uninstall_list.h"

#include <cstring>
#include <memory>

#include "platform/file_handle.h"
#include "platform/path_buffer.h"
#include "uninstall_list/text.h"

namespace {

const size_t LIST_PATH_SIZE = 780;
const char LIST_NAME[] = "uninst.lst";
const char NEW_SUFFIX[] = ".new";

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

// A UTF-8 list is taken into code page 932 before anything else; a conversion
// that gives nothing fails rather than letting UTF-8 bytes through.
std::unique_ptr<char[]> convert_if_utf8(std::unique_ptr<char[]> text, size_t* length)
{
    if (detect_text_mode(text.get()) != TEXT_MODE_UTF8)
        return text;
    std::unique_ptr<uint16_t[]> wide(to_wide(nullptr, text.get()));
    if (!wide)
        return nullptr;
    std::unique_ptr<char[]> narrow(to_narrow(nullptr, wide.get(), TEXT_MODE_SJIS));
    if (!narrow)
        return nullptr;
    *length = std::strlen(narrow.get());
    return narrow;
}

}  // namespace

bool write_uninstall_list(const char* path, const UninstallEntryList* const* lists, size_t list_count)
{
    char sibling[LIST_PATH_SIZE];
    if (!text_join(sibling, sizeof sibling, path, NEW_SUFFIX))
        return false;
    std::string bytes = render_uninstall_list(lists, list_count);
    if (bytes.size() > 0xFFFFFFFFu)
        return false;
    // Creating over a read-only list fails, and so must replacing it: Wine
    // lets MoveFileExA replace a read-only file, so the attribute is checked.
    uint32_t attributes = os_get_attributes(path);
    if (attributes != OS_INVALID_ATTRIBUTES && (attributes & (OS_ATTRIBUTE_READONLY | OS_ATTRIBUTE_DIRECTORY)))
        return false;
    FileHandle file;
    // The sibling is ours alone: a planted uninst.lst.new is removed, not followed.
    if (!file.create_fresh(sibling))
        return false;
    uint32_t count = static_cast<uint32_t>(bytes.size());
    bool written = file.write(bytes.data(), count) == count && file.flush();
    file.close();
    // MoveFileEx replaces the old list only once the new one is complete, and
    // refuses a read-only list just as creating over it would.
    if (written && os_move_replace(sibling, path))
        return true;
    os_delete_file(sibling);
    return false;
}

bool merge_uninstall_list(const char* dir, const char* const* paths)
{
    char path[LIST_PATH_SIZE];
    if (!path_join(path, sizeof path, dir, LIST_NAME))
        return false;
    size_t length = 0;
    std::unique_ptr<char[]> text = read_list_text(path, &length);
    if (!text)
        return false;
    text = convert_if_utf8(std::move(text), &length);
    if (!text)
        return false;
    UninstallEntryList main_list;
    UninstallEntryList dollar_list;
    parse_uninstall_list(&main_list, &dollar_list, text.get(), length);
    text.reset();
    std::string entry;
    // Payload paths are lowered but neither trimmed nor split, and always go
    // to the main list, even when they begin with "$".
    for (const char* const* p = paths; p != nullptr && *p != nullptr; ++p) {
        entry.assign(*p);
        to_lower(&entry[0]);
        append_if_absent(&main_list, entry);
    }
    const UninstallEntryList* lists[2] = {&main_list, &dollar_list};
    return write_uninstall_list(path, lists, 2);
}
