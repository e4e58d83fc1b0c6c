// The wording of the run log's lines. No printf: the updater's image has no
// room for the C library's formatted output, so numbers are written here.
#include "run_log/run_log.h"

namespace {

// A line being written into a fixed buffer. Every append checks the room left
// and an overflow sticks, so a line is whole or not written at all.
struct Line {
    char* out;
    size_t cap;
    size_t used;
    bool fits;

    void put(char c)
    {
        if (fits && used + 1 < cap)
            out[used++] = c;
        else
            fits = false;
    }
    void text(const char* s)
    {
        for (; s != nullptr && *s != 0; ++s)
            put(*s);
    }
    // Control bytes shown as "\xNN". Code page 932 trail bytes are 0x40 and
    // above, never 0x7F, so a byte below 0x20 or 0x7F is a control byte
    // wherever it stands.
    void escaped(const char* s)
    {
        static const char HEX[] = "0123456789abcdef";
        for (; s != nullptr && *s != 0; ++s) {
            const unsigned char c = static_cast<unsigned char>(*s);
            if (c >= 0x20 && c != 0x7F) {
                put(*s);
                continue;
            }
            text("\\x");
            put(HEX[c >> 4]);
            put(HEX[c & 15]);
        }
    }
    void decimal(uint32_t n, int min_digits)
    {
        char digits[10];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
        for (; count < min_digits; --min_digits)
            put('0');
        while (count > 0)
            put(digits[--count]);
    }
    void hex8(uint32_t n)
    {
        static const char HEX[] = "0123456789ABCDEF";
        text("0x");
        for (int shift = 28; shift >= 0; shift -= 4)
            put(HEX[(n >> shift) & 15]);
    }
    void time(const LogTime& t)
    {
        decimal(t.year, 4);
        put('-');
        decimal(t.month, 2);
        put('-');
        decimal(t.day, 2);
        put(' ');
        decimal(t.hour, 2);
        put(':');
        decimal(t.minute, 2);
        put(':');
        decimal(t.second, 2);
        put(' ');
    }
    void failure(const char* step, const char* path, uint32_t os_error, const char* error_text)
    {
        text("could not ");
        escaped(step);
        text(": ");
        escaped(path);
        text(": system error ");
        decimal(os_error, 1);
        if (error_text != nullptr && *error_text != 0) {
            text(": ");
            escaped(error_text);
        }
    }
    bool end(bool line_end)
    {
        if (line_end)
            text("\r\n");
        if (cap == 0)
            return false;
        out[fits ? used : 0] = 0;
        return fits;
    }
};

Line start(char* out, size_t cap)
{
    return Line{out, cap, 0, cap > 0};
}

}  // namespace

const char RUN_LOG_NAME[] = "Velmora-updater.log";
const char RUN_LOG_OLD_SUFFIX[] = ".old";

bool format_log_note(char* out, size_t cap, const LogTime& time, const char* label, const char* text)
{
    Line line = start(out, cap);
    line.time(time);
    line.escaped(label);
    if (text != nullptr) {
        line.text(": ");
        line.escaped(text);
    }
    return line.end(true);
}

bool format_log_failure(char* out, size_t cap, const LogTime& time, const char* step, const char* path,
                        uint32_t os_error, const char* error_text)
{
    Line line = start(out, cap);
    line.time(time);
    line.failure(step, path, os_error, error_text);
    return line.end(true);
}

bool format_log_exit(char* out, size_t cap, const LogTime& time, int exit_code, const char* why)
{
    Line line = start(out, cap);
    line.time(time);
    line.text("exit code ");
    // The magnitude as unsigned arithmetic: -2147483648 has no positive int.
    const uint32_t bits = static_cast<uint32_t>(exit_code);
    if (exit_code < 0)
        line.put('-');
    line.decimal(exit_code < 0 ? 0u - bits : bits, 1);
    line.text(" (");
    line.hex8(bits);
    line.text("): ");
    line.escaped(why);
    return line.end(true);
}

bool format_failure_detail(char* out, size_t cap, const char* step, const char* path, uint32_t os_error,
                           const char* error_text)
{
    Line line = start(out, cap);
    line.failure(step, path, os_error, error_text);
    return line.end(false);
}
