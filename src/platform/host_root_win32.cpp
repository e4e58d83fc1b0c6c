#include "platform/host_root.h"

#include <vector>

#include "platform/platform.h"

// The Win32 tool opens every file through the "A" calls of the platform
// layer, which updater.exe shares; a host path reaches them in code page 932,
// converted without loss or not at all.
bool os_host_root(const std::string& host, std::string* seam)
{
    if (host.empty() || host.find('\0') != std::string::npos)
        return false;
    const int len = static_cast<int>(host.size());
    const int units = os_to_wide(CODE_PAGE_UTF8, host.data(), len, nullptr, 0);
    if (units <= 0)
        return false;
    std::vector<uint16_t> wide(static_cast<size_t>(units)), back(static_cast<size_t>(units));
    os_to_wide(CODE_PAGE_UTF8, host.data(), len, wide.data(), units);
    const int bytes = os_to_narrow(CODE_PAGE_932, wide.data(), units, nullptr, 0);
    if (bytes <= 0)
        return false;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    os_to_narrow(CODE_PAGE_932, wide.data(), units, &narrow[0], bytes);
    // A best-fit or default character would name another file.
    if (os_to_wide(CODE_PAGE_932, narrow.data(), bytes, back.data(), units) != units || back != wide)
        return false;
    std::string utf8_again(host.size(), '\0');
    if (os_to_narrow(CODE_PAGE_UTF8, wide.data(), units, &utf8_again[0], len) != len || utf8_again != host)
        return false;
    *seam = narrow;
    return true;
}

const std::string* os_host_root_at(const char*, size_t*)
{
    return nullptr;
}
