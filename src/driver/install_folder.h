// The game's installation folder as its installer registered it:
// HKEY_LOCAL_MACHINE\Software\<vendor>\<product>, value "InstalledFolder".
#pragma once
#include <cstddef>
#include <cstdint>

const uint32_t INSTALL_FOLDER_SIZE = 260;  // buffer size, terminator included
extern const char VENDOR_KEY[];            // "LARKWELL"
extern const char PRODUCT_KEY[];           // the product's name, code page 932 bytes
extern const char INSTALLED_FOLDER_VALUE[];  // "InstalledFolder"

// Reads the value with KEY_READ into `out`. True iff the key opens, the value
// is read and is of type REG_SZ, and its text ends within the buffer. False,
// with out = "", otherwise; a null vendor or product is false without touching
// the registry.
bool find_install_folder(char out[INSTALL_FOLDER_SIZE], const char* vendor, const char* product);

// Makes the `size` bytes a registry query stored in `out` (capacity `cap`) a
// terminated string within the buffer: a value stored without its NUL gets one
// after its last byte. False when that does not fit (size >= cap without any
// NUL) or size exceeds cap.
bool terminate_registry_text(char* out, size_t cap, size_t size);
