// The content checksum, natively: worked values and variant equality.
#include "unit/checksum_cases.inc"
