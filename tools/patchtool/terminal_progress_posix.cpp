// The terminal seam on Linux: isatty, SIGINT, /dev/tty.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "terminal_progress.h"

namespace {

volatile sig_atomic_t interrupts = 0;
struct sigaction previous;

void on_interrupt(int)
{
    interrupts = 1;
}

}  // namespace

bool terminal_is_tty(FILE* stream)
{
    return isatty(fileno(stream)) == 1;
}

void terminal_catch_interrupt()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: a Ctrl-C must not turn a read of the payload
    // into a short read.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previous);
}

void terminal_release_interrupt()
{
    sigaction(SIGINT, &previous, nullptr);
}

bool terminal_take_interrupt()
{
    if (!interrupts)
        return false;
    interrupts = 0;
    return true;
}

bool terminal_ask_yes(const char* question)
{
    FILE* tty = std::fopen("/dev/tty", "r+");
    FILE* in = tty ? tty : stdin;
    FILE* out = tty ? tty : stderr;
    std::fputs(question, out);
    std::fflush(out);
    char answer[64] = {};
    bool yes = std::fgets(answer, sizeof answer, in) && (answer[0] == 'y' || answer[0] == 'Y');
    if (tty)
        std::fclose(tty);
    return yes;
}
