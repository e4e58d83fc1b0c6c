// The two code pages the system deals in: the ANSI code page of a Japanese
// Windows (932, Shift-JIS) for every narrow path and message, and UTF-8
// (65001), in which an uninstall list may arrive and Linux names its files.
#pragma once
#include <cstdint>

const uint32_t CODE_PAGE_932 = 932;
const uint32_t CODE_PAGE_UTF8 = 65001;
