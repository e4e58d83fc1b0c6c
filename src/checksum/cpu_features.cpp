#include "checksum/cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)

bool cpu_has_sse2()
{
    // The feature table is filled by a constructor; a caller running before
    // it (another file's static initialiser) must fill it first.
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
}

bool cpu_has_avx2()
{
    // libgcc also checks that the system enabled the AVX register state (XGETBV).
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#else

bool cpu_has_sse2()
{
    return false;
}

bool cpu_has_avx2()
{
    return false;
}

#endif
