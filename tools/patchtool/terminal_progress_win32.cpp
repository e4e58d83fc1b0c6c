// The terminal seam on Windows: the console, CTRL_C_EVENT, CONIN$.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "terminal_progress.h"

namespace {

volatile LONG interrupts = 0;

BOOL WINAPI on_control(DWORD event)
{
    if (event != CTRL_C_EVENT)
        return FALSE;
    InterlockedExchange(&interrupts, 1);
    return TRUE;
}

}  // namespace

bool terminal_is_tty(FILE* stream)
{
    return _isatty(_fileno(stream)) != 0;
}

void terminal_catch_interrupt()
{
    SetConsoleCtrlHandler(on_control, TRUE);
}

void terminal_release_interrupt()
{
    SetConsoleCtrlHandler(on_control, FALSE);
}

bool terminal_take_interrupt()
{
    return InterlockedExchange(&interrupts, 0) != 0;
}

bool terminal_ask_yes(const char* question)
{
    std::fputs(question, stderr);
    std::fflush(stderr);
    FILE* in = std::fopen("CONIN$", "r");
    char answer[64] = {};
    bool yes = std::fgets(answer, sizeof answer, in ? in : stdin) && (answer[0] == 'y' || answer[0] == 'Y');
    if (in)
        std::fclose(in);
    return yes;
}
