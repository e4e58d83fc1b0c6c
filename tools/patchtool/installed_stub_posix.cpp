#include "installed_stub.h"

#include <limits.h>
#include <unistd.h>

// The kernel's link to the running program, symbolic links resolved: an
// installed tool reached through a link in another bin/ still finds its own
// share/ folder.
std::string own_program_path()
{
    char link[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", link, sizeof link);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof link)
        return "";
    return std::string(link, static_cast<size_t>(n));
}
