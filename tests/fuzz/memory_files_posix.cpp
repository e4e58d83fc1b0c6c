#include "memory_files.h"

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "windows_text/ansi_char.h"
#include "windows_text/code_page.h"

namespace {

struct MemoryFile {
    std::vector<uint8_t> bytes;
    bool read_only = false;
    uint32_t readers = 0;
    bool writer = false;
};

struct MemoryHandle {
    MemoryFile* file;
    uint32_t position;
    bool writable;
};

// Files live in a std::map, whose nodes never move, so a handle's pointer
// stays valid: a file with open handles is never erased (the sharing rules).
struct MemoryTree {
    bool on = false;
    std::map<std::string, MemoryFile> files;
    std::set<std::string> folders;
    std::vector<MemoryHandle*> handles;
};

MemoryTree tree;

// The name every spelling of a path shares: "/" turned into "\" where it is a
// character of its own (a trail byte is never one), then lower-cased as the
// ANSI code page does. Empty for an empty path or one of MAX_PATH or more.
std::string key_of(const char* path)
{
    const size_t n = std::strlen(path);
    if (n == 0 || n >= OS_PATH_SIZE)
        return std::string();
    std::string key(path, n);
    for (size_t i = 0; i < n; i += ansi_char_length(&key[i], n - i)) {
        if (key[i] == '/')
            key[i] = '\\';
    }
    cp932_lower(&key[0]);
    return key;
}

// The folder part of a key (up to its last separator), "" when it has none.
std::string parent_of(const std::string& key)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < key.size(); i += ansi_char_length(&key[i], key.size() - i)) {
        if (key[i] == '\\')
            last = i;
    }
    return last == std::string::npos ? std::string() : key.substr(0, last);
}

bool in_use(const MemoryFile& f)
{
    return f.readers > 0 || f.writer;
}

MemoryHandle* find_handle(OsHandle h)
{
    for (MemoryHandle* m : tree.handles) {
        if (reinterpret_cast<OsHandle>(m) == h)
            return m;
    }
    return nullptr;
}

OsHandle hand_out(MemoryFile* f, bool writable)
{
    MemoryHandle* m = new MemoryHandle{f, 0, writable};
    if (writable)
        f->writer = true;
    else
        ++f->readers;
    tree.handles.push_back(m);
    return reinterpret_cast<OsHandle>(m);
}

void drop_everything()
{
    for (MemoryHandle* m : tree.handles)
        delete m;
    tree.handles.clear();
    tree.files.clear();
    tree.folders.clear();
}

// The file a writer may create or truncate under `key`: none when a folder has
// the name, its folder is missing, or the existing file refuses exclusive access.
MemoryFile* writable_file(const std::string& key, bool must_be_new)
{
    if (key.empty() || tree.folders.count(key) || !tree.folders.count(parent_of(key)))
        return nullptr;
    auto it = tree.files.find(key);
    if (it == tree.files.end())
        return &tree.files[key];
    if (must_be_new || it->second.read_only || in_use(it->second))
        return nullptr;
    return &it->second;
}

}  // namespace

void memory_files_use(bool on)
{
    drop_everything();
    tree.on = on;
}

bool memory_files_in_use()
{
    return tree.on;
}

bool memory_files_add_folder(const char* path)
{
    const std::string key = key_of(path);
    if (key.empty() || tree.files.count(key))
        return false;
    tree.folders.insert(key);
    return true;
}

bool memory_files_put(const char* path, const void* data, size_t size)
{
    const std::string key = key_of(path);
    if (key.empty() || tree.folders.count(key) || !tree.folders.count(parent_of(key)))
        return false;
    auto it = tree.files.find(key);
    if (it != tree.files.end() && in_use(it->second))
        return false;
    MemoryFile& f = tree.files[key];
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    f.bytes.assign(bytes, bytes + size);
    f.read_only = false;
    return true;
}

bool memory_files_get(const char* path, std::string* out)
{
    auto it = tree.files.find(key_of(path));
    if (it == tree.files.end())
        return false;
    out->assign(it->second.bytes.begin(), it->second.bytes.end());
    return true;
}

OsHandle memory_open(const char* path, MemoryOpen how)
{
    const std::string key = key_of(path);
    if (how == MEMORY_READ || how == MEMORY_OPEN_WRITE) {
        auto it = tree.files.find(key);
        if (it == tree.files.end())
            return OS_INVALID_HANDLE;
        MemoryFile& f = it->second;
        // FILE_SHARE_READ admits readers only; an exclusive open admits nobody.
        const bool refused = how == MEMORY_READ ? f.writer : f.read_only || in_use(f);
        return refused ? OS_INVALID_HANDLE : hand_out(&f, how == MEMORY_OPEN_WRITE);
    }
    MemoryFile* f = writable_file(key, how == MEMORY_CREATE_NEW);
    if (!f)
        return OS_INVALID_HANDLE;
    f->bytes.clear();
    return hand_out(f, true);
}

uint32_t memory_read(OsHandle h, void* dst, uint32_t n)
{
    MemoryHandle* m = find_handle(h);
    if (!m || m->writable || m->position >= m->file->bytes.size())
        return 0;
    const size_t left = m->file->bytes.size() - m->position;
    const uint32_t got = n < left ? n : static_cast<uint32_t>(left);
    std::memcpy(dst, m->file->bytes.data() + m->position, got);
    m->position += got;
    return got;
}

uint32_t memory_write(OsHandle h, const void* src, uint32_t n)
{
    MemoryHandle* m = find_handle(h);
    // A file stays below 2 GiB, the largest position SetFilePointer reaches here.
    if (!m || !m->writable || n > 0x80000000u - m->position)
        return 0;
    std::vector<uint8_t>& bytes = m->file->bytes;
    if (bytes.size() < static_cast<size_t>(m->position) + n)
        bytes.resize(static_cast<size_t>(m->position) + n);  // a gap past the end reads as zeros
    if (n)
        std::memcpy(bytes.data() + m->position, src, n);
    m->position += n;
    return n;
}

uint32_t memory_seek(OsHandle h, uint32_t pos)
{
    MemoryHandle* m = find_handle(h);
    if (!m || pos >= 0x80000000u)
        return OS_INVALID_POSITION;
    m->position = pos;
    return pos;
}

uint32_t memory_size(OsHandle h)
{
    MemoryHandle* m = find_handle(h);
    return m ? static_cast<uint32_t>(m->file->bytes.size()) : OS_INVALID_FILE_SIZE;
}

bool memory_flush(OsHandle h)
{
    MemoryHandle* m = find_handle(h);
    return m && m->writable;
}

void memory_close(OsHandle h)
{
    for (size_t i = 0; i < tree.handles.size(); ++i) {
        MemoryHandle* m = tree.handles[i];
        if (reinterpret_cast<OsHandle>(m) != h)
            continue;
        if (m->writable)
            m->file->writer = false;
        else
            --m->file->readers;
        delete m;
        tree.handles.erase(tree.handles.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

bool memory_set_read_only(const char* path, bool read_only)
{
    const std::string key = key_of(path);
    if (tree.folders.count(key))
        return true;
    auto it = tree.files.find(key);
    if (it == tree.files.end())
        return false;
    it->second.read_only = read_only;
    return true;
}

bool memory_move(const char* from, const char* to)
{
    const std::string src = key_of(from);
    const std::string dst = key_of(to);
    auto it = tree.files.find(src);
    if (it == tree.files.end() || in_use(it->second))
        return false;
    if (src == dst)
        return true;  // a change of case only: the tree keeps no spelling
    if (dst.empty() || tree.folders.count(dst) || !tree.folders.count(parent_of(dst)))
        return false;
    auto old = tree.files.find(dst);
    if (old != tree.files.end()) {
        if (old->second.read_only || in_use(old->second))
            return false;
        tree.files.erase(old);
    }
    auto node = tree.files.extract(it);
    node.key() = dst;
    tree.files.insert(std::move(node));
    return true;
}

bool memory_delete(const char* path)
{
    auto it = tree.files.find(key_of(path));
    if (it == tree.files.end() || it->second.read_only || in_use(it->second))
        return false;
    tree.files.erase(it);
    return true;
}

uint32_t memory_attributes(const char* path)
{
    const std::string key = key_of(path);
    if (tree.folders.count(key))
        return OS_ATTRIBUTE_DIRECTORY;
    auto it = tree.files.find(key);
    if (it == tree.files.end())
        return OS_INVALID_ATTRIBUTES;
    return OS_ATTRIBUTE_ARCHIVE | (it->second.read_only ? OS_ATTRIBUTE_READONLY : 0);
}
