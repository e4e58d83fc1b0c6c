// Splitting the text of uninst.lst into entries. By the time it is parsed the
// text is code page 932 (a UTF-8 list has been converted, anything else is
// taken as it stands), so it is stepped by Shift-JIS characters throughout: a
// lead byte takes the byte after it as its trail byte, whatever that byte is,
// so neither a trail byte that looks like a capital, CR or LF nor bytes that
// merely look like UTF-8 ever end a line or get lowered. Linear in the length.
#include <cstdint>
#include <cstring>
#include <string>

#include "windows_text/text.h"
#include "uninstall_list/uninstall_list.h"

namespace {

// The first CR or LF character at or after `start`, or `length` when the text
// has neither. decode_char's Shift-JIS step, inline: a lead byte with a trail
// byte before the terminator is one character; a lead byte cut by the
// terminator is a character of its own and never CR or LF.
size_t find_line_end(const char* text, size_t start, size_t length)
{
    size_t i = start;
    while (i < length) {
        if (is_sjis_lead_byte(text + i) && i + 1 < length) {
            i += 2;
            continue;
        }
        if (text[i] == '\r' || text[i] == '\n')
            return i;
        ++i;
    }
    return length;
}

// `scratch` keeps its capacity from line to line: no allocation per line.
void add_line(UninstallEntryList* main_list, UninstallEntryList* dollar_list,
              const char* line, size_t length, std::string* scratch)
{
    scratch->assign(line, length);
    to_lower_in_mode(&(*scratch)[0], TEXT_MODE_SJIS);
    append_if_absent((*scratch)[0] == '$' ? dollar_list : main_list, *scratch);
}

}  // namespace

void parse_uninstall_list(UninstallEntryList* main_list, UninstallEntryList* dollar_list,
                          const char* text, size_t length)
{
    // The text ends at its first NUL even when `length` claims more.
    const void* nul = std::memchr(text, 0, length);
    if (nul)
        length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    std::string scratch;
    size_t pos = 0;
    while (pos < length) {
        while (pos < length && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos == length)
            break;
        size_t end = find_line_end(text, pos, length);
        if (end > pos)
            add_line(main_list, dollar_list, text + pos, end - pos, &scratch);
        pos = end;
        while (pos < length && (text[pos] == '\r' || text[pos] == '\n'))
            ++pos;
    }
}
