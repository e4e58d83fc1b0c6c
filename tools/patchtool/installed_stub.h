// Where patchtool finds the bare updater when `build` is given no --stub: an
// installed tool carries its stub with it (make install puts it in
// <prefix>/share/updater/), and a Windows publisher keeps patchtool.exe and
// updater.exe side by side.
#pragma once
#include <string>
#include <vector>

// The paths tried, in order, all UTF-8: the installed layout's stub relative
// to this program's folder (<bindir>/../share/updater/updater.exe), then
// updater.exe beside the program. Empty when the program's own path is
// unavailable.
std::vector<std::string> stub_candidates();
// The first candidate that is a regular file, or "" when none is.
std::string find_installed_stub();
// This program's own file in UTF-8, "" when unavailable. One per OS
// (installed_stub_posix.cpp, installed_stub_win32.cpp).
std::string own_program_path();
