#include "cli_text.h"

// On Linux the command line arrives as the user's terminal wrote it: UTF-8.
bool cli_arguments(int argc, char** argv, std::vector<std::string>* out)
{
    out->assign(argv, argv + argc);
    return true;
}

// A Linux terminal takes the UTF-8 bytes as they are.
void cli_prepare_output() {}
