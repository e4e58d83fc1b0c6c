// FileHandle: the one way the core touches files. Owns one OS handle, refuses
// to open a second file while one is open, and closes on destruction so that
// every early return releases its file.
#pragma once
#include <cstdint>
#include "platform/platform.h"

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Both refuse (false) while a file is open, leaving it open.
    bool open_read(const char* path);     // shared read, existing file only
    bool create_write(const char* path);  // exclusive, truncates; fails on read-only
    bool open_write(const char* path);    // exclusive, existing file kept whole
    // Shared read of a regular file named by the path itself: a link at the
    // last component, a folder, a pipe or a device fails as unreadable.
    bool open_read_regular(const char* path);
    // A file of our own under `path`, in a folder others may write: whatever
    // has that name is removed first (its read-only attribute cleared, the
    // name itself deleted, never what a link points to), then the file is
    // created exclusively. Fails when the name could not be cleared or was
    // taken again in between; nothing else is ever opened or truncated.
    bool create_fresh(const char* path);
    uint32_t read(void* dst, uint32_t n);         // one call: count read, 0 on failure
    uint32_t write(const void* src, uint32_t n);  // one call: count written, 0 on failure
    bool seek(uint32_t position);   // true iff the new position equals `position`
    uint32_t size();                // low 32 bits; 0xFFFFFFFF when closed
    bool flush();                   // data on disk before a commit renames it
    void close();                   // no-op when closed
    bool is_open() const { return handle_ != OS_INVALID_HANDLE; }

    OsHandle raw_os_handle_for_tests() const { return handle_; }

    // The whole size, high part included; OS_INVALID_FILE_SIZE64 when closed.
    uint64_t size64();

private:
    OsHandle handle_ = OS_INVALID_HANDLE;
};
