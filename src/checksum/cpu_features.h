// The processor's vector instruction sets, asked of the CPU at run time, so
// that one binary can use them where present and still run where absent.
#pragma once

// True when SSE2 instructions may be used (always false off x86).
bool cpu_has_sse2();
// True when AVX2 instructions may be used: the CPU has them and the operating
// system saves the 256-bit registers (always false off x86).
bool cpu_has_avx2();
