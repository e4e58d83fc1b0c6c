// Replacements for parts of the C++ runtime that would not fit the updater's
// image, which must end before the caption block at 0x28000.
//
// libstdc++'s default terminate handler prints the exception's demangled type,
// which links the whole demangler; the updater has no console to print to.
// The library's error helpers build std::logic_error and friends, whose
// message strings link a second, reference-counted std::string. In the
// updater these errors all mean memory exhaustion or a broken invariant, and
// an allocation failure is not handled anywhere: it ends the process, which is
// what these versions do at once. Defining them here keeps the library's own
// objects out of the link.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

namespace std {
[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
}  // namespace std
