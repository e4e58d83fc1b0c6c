#include "terminal_progress.h"

#include "cli_text.h"
#include "platform/platform.h"
#include "run_log/run_log.h"
#include "update/stop_flags.h"

namespace {

const uint32_t BAR_WIDTH = 20;
// Status text shown in the redrawn line, in characters, so it stays on one line.
const size_t STATUS_CHARS = 36;

std::string bar(uint64_t position, uint64_t max)
{
    uint64_t filled = max ? (position > max ? max : position) * BAR_WIDTH / max : 0;
    return "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-') + "]";
}

// The first `chars` UTF-8 characters of `text`.
std::string first_chars(const std::string& text, size_t chars)
{
    size_t i = 0;
    for (size_t n = 0; i < text.size() && n < chars; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i < text.size() ? text.substr(0, i) + "..." : text;
}

}  // namespace

TerminalProgress::TerminalProgress(FILE* out) : out_(out), tty_(terminal_is_tty(out)) {}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::set_status(const char* text)
{
    status_ = printable(text);
    ++entries_shown_;
    if (!tty_)
        std::fprintf(out_, "[%u/%u] %s\n", entries_shown_, total_max_, status_.c_str());
    redraw();
}

void TerminalProgress::set_file_range(uint32_t max)
{
    file_max_ = max;
}

void TerminalProgress::set_file_position(uint32_t position)
{
    file_position_ = position;
    redraw();
}

void TerminalProgress::set_total_range(uint32_t max)
{
    total_max_ = max;
}

void TerminalProgress::set_total_position(uint32_t position)
{
    total_position_ = position;
    if (!tty_ && position > 0)
        std::fprintf(out_, "  staged and verified (%u of %u)\n", position, total_max_);
    redraw();
}

int TerminalProgress::pump()
{
    std::fflush(out_);
    if (!terminal_take_interrupt() || cancel_requested)
        return 0;
    finish();
    if (terminal_ask_yes("Cancel the update? [y/N] "))
        cancel_requested = 1;
    return 0;
}

void TerminalProgress::failure(const char* step, const char* path, uint32_t os_error)
{
    char text[RUN_LOG_ERROR_TEXT_SIZE];
    os_error_text(os_error, text, sizeof text);
    // The path is a seam path: its host folder is shown as the user gave it.
    // The system's text comes in the system's code page: 932 on the Windows
    // the updater serves, ASCII from strerror here.
    char detail[RUN_LOG_LINE_SIZE];
    const bool fits = format_failure_detail(detail, sizeof detail, step, printable_utf8(message_utf8(path)).c_str(), os_error,
                                            printable(text).c_str());
    finish();
    std::fprintf(out_, "patchtool apply: %s\n", fits ? detail : "a failure too long to show");
    redraw();
}

void TerminalProgress::show_bytes(const char* what, uint64_t done, uint64_t total)
{
    const uint64_t mib = 0x100000;
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%llu of %llu MiB", static_cast<unsigned long long>(done / mib),
                  static_cast<unsigned long long>(total / mib));
    if (tty_)
        draw(std::string(what) + " " + bar(done, total) + " " + numbers);
}

void TerminalProgress::show_count(const char* what, uint64_t done, uint64_t total)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%llu of %llu", static_cast<unsigned long long>(done),
                  static_cast<unsigned long long>(total));
    if (tty_)
        draw(std::string(what) + " " + bar(done, total) + " " + numbers);
}

void TerminalProgress::redraw()
{
    if (!tty_)
        return;
    char total[32];
    std::snprintf(total, sizeof total, " %u/%u ", total_position_, total_max_);
    draw("file " + bar(file_position_, file_max_) + " total " + bar(total_position_, total_max_) + total +
         first_chars(status_, STATUS_CHARS));
}

void TerminalProgress::draw(const std::string& line)
{
    if (line == shown_)
        return;
    // Carriage return and erase-line: the line is redrawn in place.
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    shown_ = line;
}

void TerminalProgress::finish()
{
    if (tty_ && !shown_.empty()) {
        std::fprintf(out_, "\n");
        std::fflush(out_);
    }
    shown_.clear();
}
