#!/usr/bin/env python3
"""Independent content checksum: prints '<16 hex>  FILE' per file.

mix = mix * 233 + x (mod 2**32) per byte; then the low byte m of mix is summed
and xor-ed, and so is the byte itself. Stored as mix little-endian, then
sum(m), xor(m), sum(x), xor(x).
"""
import sys


def checksum(data):
    mix = 0
    mix_sum = mix_xor = byte_sum = byte_xor = 0
    for x in data:
        mix = (mix * 233 + x) & 0xFFFFFFFF
        m = mix & 0xFF
        mix_sum = (mix_sum + m) & 0xFF
        mix_xor ^= m
        byte_sum = (byte_sum + x) & 0xFF
        byte_xor ^= x
    return mix.to_bytes(4, "little") + bytes([mix_sum, mix_xor, byte_sum, byte_xor])


def main(paths):
    for path in paths:
        with open(path, "rb") as f:
            print("%s  %s" % (checksum(f.read()).hex(), path))


if __name__ == "__main__":
    main(sys.argv[1:])
