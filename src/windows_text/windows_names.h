// Names Windows will not give to a file in a folder: the characters
// CreateFileA refuses in a name (ERROR_INVALID_NAME), and the names of its
// devices, which it opens as the device (NUL, a serial port) instead of a
// file in the folder. Code page 932 text; a double-byte character is stepped
// over whole, so a trail byte 0x7C is never "|".
#pragma once
#include <cstdint>

enum WindowsNameProblem {
    WINDOWS_NAME_OK,
    WINDOWS_NAME_CHARACTER,  // < > : " | ? * or a control character 0x01-0x1F
    WINDOWS_NAME_DEVICE,     // CON PRN AUX NUL COM1-COM9 LPT1-LPT9 CONIN$ CONOUT$
};

// What is wrong with the one path component of `length` bytes at `name`. A
// device name counts with any extension and with spaces before it ("nul.txt",
// "NUL .arc", "Com1."), in any letter case.
WindowsNameProblem windows_name_problem(const char* name, uint32_t length);
// The first problem of `path` as CreateFileA meets it: a refused character in
// any component ("\" and "/" separate them), a device name as the last one.
// A drive's colon counts too: give it a relative path or a host path.
WindowsNameProblem windows_path_problem(const char* path);
