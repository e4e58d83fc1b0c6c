// Progress of patchtool's long commands on the terminal: on a tty one line
// redrawn in place (file bar, total bar, status); otherwise plain lines, one
// per entry, for apply, and nothing for build and verify, whose output is
// then read by scripts. As a ProgressView it also plays the dialog's cancel button:
// Ctrl-C asks "Cancel the update? [y/N]" at the next pump.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include "update/progress.h"

class TerminalProgress : public ProgressView {
public:
    explicit TerminalProgress(FILE* out);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void set_status(const char* text) override;   // code page 932
    void set_file_range(uint32_t max) override;
    void set_file_position(uint32_t position) override;
    void set_total_range(uint32_t max) override;
    void set_total_position(uint32_t position) override;
    // Answers Ctrl-C: on "y" sets cancel_requested. Always 0 (go on).
    int pump() override;
    // "patchtool apply: could not <step>: <path>: system error <n>: <text>" on
    // a line of its own, worded as the updater's run log words it; the path
    // and the system's text shown as printable() shows names.
    void failure(const char* step, const char* path, uint32_t os_error) override;

    // Byte progress of a build: "what  [bar]  done of total MiB".
    void show_bytes(const char* what, uint64_t done, uint64_t total);
    // Counted progress, such as files verified: "what  [bar]  done of total".
    void show_count(const char* what, uint64_t done, uint64_t total);
    // Ends the redrawn line, if one is showing.
    void finish();

private:
    void redraw();
    void draw(const std::string& line);
    FILE* out_;
    bool tty_;
    std::string status_;     // UTF-8
    std::string shown_;      // the line on screen
    uint32_t entries_shown_ = 0;   // status lines so far
    uint32_t file_max_ = 0, file_position_ = 0, total_max_ = 0, total_position_ = 0;
};

// The terminal seam, one implementation per OS (terminal_progress_posix.cpp,
// terminal_progress_win32.cpp).
bool terminal_is_tty(FILE* stream);
// Starts catching Ctrl-C (SIGINT / CTRL_C_EVENT) instead of being ended by it;
// interrupted reads and writes are restarted.
void terminal_catch_interrupt();
void terminal_release_interrupt();
// True once per Ctrl-C pressed since the last call.
bool terminal_take_interrupt();
// Asks `question` on the terminal (or stdin) and reads one line; true for an
// answer starting with "y" or "Y".
bool terminal_ask_yes(const char* question);
