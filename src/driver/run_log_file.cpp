#include "driver/run_log_file.h"

#include <windows.h>
#include <cstring>
#include "platform/platform.h"
#include "run_log/run_log.h"
#include "windows_text/path_buffer.h"

namespace {

// The log and its rotated copy; GetTempPathA ends the folder with "\".
bool log_paths(char* path, char* old_path, size_t cap)
{
    char folder[OS_PATH_SIZE];
    const DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder)
        return false;
    return text_join(path, cap, folder, RUN_LOG_NAME) &&
           text_join(old_path, cap, folder, RUN_LOG_NAME, RUN_LOG_OLD_SUFFIX);
}

RunLogFileFacts facts_of(HANDLE h)
{
    RunLogFileFacts facts = {};
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    BY_HANDLE_FILE_INFORMATION info = {};
    facts.on_disk = GetFileType(h) == FILE_TYPE_DISK;
    if (GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) &&
        GetFileInformationByHandle(h, &info)) {
        facts.directory = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.name_surrogate =
            (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(tag.ReparseTag);
        facts.links = info.nNumberOfLinks;
    }
    return facts;
}

// The updater runs elevated and the temporary folder is the user's: anything
// the user runs could plant a link there to a file only an administrator may
// write. FILE_FLAG_OPEN_REPARSE_POINT opens a link as itself (OPEN_ALWAYS
// without it would even create a dangling link's target), and what was
// opened is then refused unless it is a plain file with this one name.
HANDLE open_log(const char* path)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE || run_log_file_usable(facts_of(h)))
        return h;
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
}

bool must_rotate(HANDLE h, size_t length)
{
    LARGE_INTEGER size;
    return GetFileSizeEx(h, &size) && run_log_rotates(static_cast<uint64_t>(size.QuadPart), length);
}

// Rotates the log: closes it, makes it the ".old" copy and opens a new one.
// A copy that cannot be replaced (a folder at its name, a reader holding it)
// leaves the log where it was; it is then emptied, so that it still stays
// under its cap.
HANDLE rotate(HANDLE h, const char* path, const char* old_path, size_t length)
{
    CloseHandle(h);
    MoveFileExA(path, old_path, MOVEFILE_REPLACE_EXISTING);
    h = open_log(path);
    if (h != INVALID_HANDLE_VALUE && must_rotate(h, length)) {
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
    }
    return h;
}

}  // namespace

void run_log_append(const char* line)
{
    const DWORD caller_error = GetLastError();
    const size_t length = std::strlen(line);
    char path[OS_PATH_SIZE];
    char old_path[OS_PATH_SIZE];
    if (length <= RUN_LOG_LINE_SIZE && log_paths(path, old_path, sizeof path)) {
        HANDLE h = open_log(path);
        if (h != INVALID_HANDLE_VALUE && must_rotate(h, length))
            h = rotate(h, path, old_path, length);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            if (SetFilePointer(h, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER)
                WriteFile(h, line, static_cast<DWORD>(length), &written, nullptr);
            CloseHandle(h);
        }
    }
    SetLastError(caller_error);
}
