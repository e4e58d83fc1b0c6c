#include "platform/file_handle.h"

bool FileHandle::open_read(const char* path)
{
    if (is_open())
        return false;
    handle_ = os_open_read(path);
    return is_open();
}

bool FileHandle::create_write(const char* path)
{
    if (is_open())
        return false;
    handle_ = os_create_write(path);
    return is_open();
}

bool FileHandle::open_write(const char* path)
{
    if (is_open())
        return false;
    handle_ = os_open_write(path);
    return is_open();
}

bool FileHandle::open_read_regular(const char* path)
{
    if (is_open())
        return false;
    handle_ = os_open_read_regular(path);
    return is_open();
}

bool FileHandle::create_fresh(const char* path)
{
    if (is_open())
        return false;
    // A leftover of an interrupted run may be read-only, which DeleteFileA
    // refuses; both calls fail harmlessly when there is no leftover.
    os_set_normal_attributes(path);
    os_delete_file(path);
    handle_ = os_create_new(path);
    return is_open();
}

uint32_t FileHandle::read(void* dst, uint32_t n)
{
    return os_read(handle_, dst, n);
}

uint32_t FileHandle::write(const void* src, uint32_t n)
{
    return os_write(handle_, src, n);
}

bool FileHandle::seek(uint32_t position)
{
    // SetFilePointer reports the new position; a position it cannot reach
    // (closed handle, negative when read as signed) comes back different.
    return os_seek(handle_, position) == position && position != OS_INVALID_POSITION;
}

uint32_t FileHandle::size()
{
    return os_size(handle_);
}

bool FileHandle::flush()
{
    return os_flush(handle_);
}

void FileHandle::close()
{
    if (!is_open())
        return;
    os_close(handle_);
    handle_ = OS_INVALID_HANDLE;
}

uint64_t FileHandle::size64()
{
    return os_size64(handle_);
}
