// Converting the uninstall list's narrow text to UTF-16 and back through the
// system's code page conversions (the only part of the text routines that
// asks the operating system).
#pragma once
#include <cstdint>
#include "windows_text/text.h"

// New arrays owned by the caller (delete[]), or null when the conversion gives
// nothing; with a destination (sized by the caller) the text is converted into
// it and the result is null. to_wide uses 65001 unless the text is Shift-JIS.
uint16_t* to_wide(uint16_t* dst, const char* text);
// Code page: SJIS -> ansi_code_page, UTF8 -> 65001, other -> get_default_code_page().
char* to_narrow(char* dst, const uint16_t* text, TextMode mode);
