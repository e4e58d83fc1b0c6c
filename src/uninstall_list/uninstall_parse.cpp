// Splitting the text of uninst.lst into entries. Each line's end is searched in
// the mode detected from the line's start to the end of the whole text. The
// detector looks at no more than the first three multi-byte sequences, so a
// list of the positions of every byte of 0x80 or above lets it start at the
// first of them instead of rescanning the ASCII that lies between; the whole
// parse stays linear in the text's length.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "uninstall_list/text.h"
#include "uninstall_list/uninstall_list.h"

namespace {

struct HighBytes {
    const char* text;
    std::vector<size_t> positions;  // every byte >= 0x80, ascending
    size_t cursor;                  // first position >= the last start asked for
};

void collect_high_bytes(HighBytes* high, const char* text, size_t length)
{
    size_t count = 0;
    for (size_t i = 0; i < length; ++i)
        count += static_cast<uint8_t>(text[i]) >= 0x80;
    high->text = text;
    high->cursor = 0;
    high->positions.reserve(count);
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<uint8_t>(text[i]) >= 0x80)
            high->positions.push_back(i);
    }
}

// detect_text_mode(text + start); starts never decrease between calls.
TextMode detect_from(HighBytes* high, size_t start)
{
    const std::vector<size_t>& pos = high->positions;
    while (high->cursor < pos.size() && pos[high->cursor] < start)
        ++high->cursor;
    uint32_t sequences = 0;
    size_t index = high->cursor;
    while (index < pos.size()) {
        const char* p = high->text + pos[index];
        uint8_t first = static_cast<uint8_t>(p[0]);
        if (first < 0xC2)
            return TEXT_MODE_SJIS;
        uint32_t n = utf8_sequence_length(first);
        for (uint32_t i = 1; i < n; ++i) {
            uint8_t c = static_cast<uint8_t>(p[i]);
            if (c < 0x80 || c > 0xBF)
                return TEXT_MODE_SJIS;
        }
        if (++sequences == 3)
            return TEXT_MODE_UTF8;
        // The n - 1 continuation bytes are the next high bytes in the list.
        index += n;
    }
    return sequences ? TEXT_MODE_UTF8 : TEXT_MODE_ASCII;
}

// The first CR or LF character at or after `start` in `mode` (the nearer of
// the two searches), or `length` when the text has neither.
size_t find_line_end(const char* text, size_t start, size_t length, TextMode mode)
{
    if (mode == TEXT_MODE_ASCII) {
        for (size_t i = start; i < length; ++i) {
            if (text[i] == '\r' || text[i] == '\n')
                return i;
        }
        return length;
    }
    size_t i = start;
    if (mode == TEXT_MODE_SJIS) {
        // decode_char's Shift-JIS step, inline: a lead byte with a trail byte
        // before the terminator is one character, whatever the trail byte is.
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
    while (i < length) {
        if (static_cast<uint8_t>(text[i]) < 0x80) {
            if (text[i] == '\r' || text[i] == '\n')
                return i;
            ++i;
            continue;
        }
        uint32_t value = 0;
        uint32_t step = decode_char(&value, nullptr, text + i, mode);
        if (value == '\r' || value == '\n')
            return i;
        i += step;
    }
    return length;
}

// `scratch` keeps its capacity from line to line: no allocation per line.
void add_line(UninstallEntryList* main_list, UninstallEntryList* dollar_list,
              const char* line, size_t length, std::string* scratch)
{
    scratch->assign(line, length);
    to_lower(&(*scratch)[0]);
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
    HighBytes high;
    collect_high_bytes(&high, text, length);
    std::string scratch;
    size_t pos = 0;
    while (pos < length) {
        while (pos < length && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos == length)
            break;
        TextMode mode = detect_from(&high, pos);
        size_t end = find_line_end(text, pos, length, mode);
        if (end > pos) {
            add_line(main_list, dollar_list, text + pos, end - pos, &scratch);
        } else if (text[pos] != '\r' && text[pos] != '\n') {
            // An overlong UTF-8 form of CR or LF ends an empty line at its own
            // first byte; step over that character so the walk always advances.
            end = pos + decode_char(nullptr, nullptr, text + pos, mode);
        }
        pos = end;
        while (pos < length && (text[pos] == '\r' || text[pos] == '\n'))
            ++pos;
    }
}
