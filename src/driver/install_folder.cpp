#include "driver/install_folder.h"

#include <windows.h>
#include <cstring>
#include "windows_text/path_buffer.h"

const char VENDOR_KEY[] = "LARKWELL";
const char PRODUCT_KEY[] = "\x83\x94\x83\x46\x83\x8B\x83\x82\x83\x89";
const char INSTALLED_FOLDER_VALUE[] = "InstalledFolder";

bool terminate_registry_text(char* out, size_t cap, size_t size)
{
    if (cap == 0 || size > cap)
        return false;
    // RegQueryValueExA returns the bytes as stored; a value written without
    // its terminator arrives without one, and a later strlen would run past
    // the buffer.
    if (size > 0 && std::memchr(out, 0, size) != nullptr)
        return true;
    if (size >= cap)
        return false;
    out[size] = 0;
    return true;
}

bool find_install_folder(char out[INSTALL_FOLDER_SIZE], const char* vendor, const char* product)
{
    out[0] = 0;
    if (vendor == nullptr || product == nullptr)
        return false;
    char vendor_path[INSTALL_FOLDER_SIZE];
    char key_path[INSTALL_FOLDER_SIZE];
    if (!path_join(vendor_path, sizeof vendor_path, "Software", vendor) ||
        !path_join(key_path, sizeof key_path, vendor_path, product))
        return false;

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    DWORD size = INSTALL_FOLDER_SIZE;
    LONG rc = RegQueryValueExA(key, INSTALLED_FOLDER_VALUE, nullptr, &type,
                               reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    // REG_EXPAND_SZ and every other type count as not installed: only a
    // plain string names the folder as it is.
    if (rc != ERROR_SUCCESS || type != REG_SZ ||
        !terminate_registry_text(out, INSTALL_FOLDER_SIZE, size)) {
        out[0] = 0;
        return false;
    }
    return true;
}
