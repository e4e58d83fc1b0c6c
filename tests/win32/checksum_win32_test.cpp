// The content checksum in the 32-bit Win32 build, where the vector variants
// run with 8 registers on a stack Windows aligns to 4 bytes only.
#include "unit/checksum_cases.inc"
