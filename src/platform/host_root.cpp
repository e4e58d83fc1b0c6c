#include "platform/host_root.h"

#include <climits>
#include <cstdio>
#include <vector>

namespace {

const char ROOT_MARK = '\x01';
const size_t ROOT_DIGITS = 3;
const size_t ROOT_LIMIT = 1000;  // what three digits count

// The longest host path the system takes: Linux's PATH_MAX, or the 32,767
// units of a Windows wide path, three UTF-8 bytes at most each.
#ifdef _WIN32
const size_t HOST_PATH_LIMIT = 32767 * 3;
#else
const size_t HOST_PATH_LIMIT = PATH_MAX;
#endif

// The host paths registered so far, by marker number. Process-wide like the
// layer's list of open handles: a marker stays valid for the whole run.
std::vector<std::string> roots;

}  // namespace

bool os_host_root(const std::string& host, std::string* seam)
{
    if (host.empty() || host.find('\0') != std::string::npos || host.size() >= HOST_PATH_LIMIT)
        return false;
    size_t index = 0;
    while (index < roots.size() && roots[index] != host)
        ++index;
    if (index == roots.size()) {
        if (roots.size() >= ROOT_LIMIT)
            return false;
        roots.push_back(host);
    }
    char marker[1 + ROOT_DIGITS + 1];
    std::snprintf(marker, sizeof marker, "%c%03u", ROOT_MARK, static_cast<unsigned>(index));
    seam->assign(marker, 1 + ROOT_DIGITS);
    return true;
}

const std::string* os_host_root_at(const char* text, size_t* length)
{
    if (text[0] != ROOT_MARK)
        return nullptr;
    size_t index = 0;
    for (size_t i = 1; i <= ROOT_DIGITS; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return nullptr;
        index = index * 10 + static_cast<size_t>(text[i] - '0');
    }
    if (index >= roots.size())
        return nullptr;
    *length = 1 + ROOT_DIGITS;
    return &roots[index];
}
