#!/usr/bin/env python3
"""Turns the output of dump_code_page.exe into src/windows_text/cp932_tables.inc
and src/windows_text/lower_case_table.inc.

The tables are laid out the way the portable converter reads them, and before
anything is written the converter's own rules are replayed here over every
dumped fact, so a table that would disagree with the platform is never emitted.

  CP932_SINGLE        the unit of every single byte (a lead byte alone too)
  CP932_LEAD_BITS     which bytes are lead bytes
  CP932_SEGMENTS      runs of two-byte codes with their units in CP932_SEGMENT_UNITS
                      (0 = unmapped: the default character)
  CP932_WIDE_EXCEPTIONS  units whose narrow form is not the first code that
                      maps to them (best-fit mappings, preferred duplicates)
  LOWER_RUNS          the lower-case mapping as runs of one delta, every unit
                      or every second unit
"""
import sys

GAP = 8  # unmapped codes that end a segment


def load(path):
    facts = {"lead": set(), "single": {}, "pair": {}, "wide": {}, "lower": {}}
    for line in open(path, encoding="ascii"):
        f = line.split()
        if not f:
            continue
        nums = [int(x) for x in f[1:]]
        if f[0] == "LEAD":
            facts["lead"].add(nums[0])
        elif f[0] == "MB":
            facts["single"][nums[0]] = nums[2:]
        elif f[0] == "MB2":
            facts["pair"][(nums[0], nums[1])] = nums[3:]
        elif f[0] == "WC":
            facts["wide"][nums[0]] = nums[2:]
        elif f[0] == "LOW":
            facts["lower"][nums[0]] = nums[2] if nums[1] == 1 else None
        elif f[0] == "DEFAULT":
            facts["default_narrow"] = nums[0]
        elif f[0] == "DEFAULTWIDE":
            facts["default_wide"] = nums[0]
    return facts


def check_rules(facts):
    """The rules the converter applies around the tables, asserted once."""
    dw = facts["default_wide"]
    assert len(facts["single"]) == 256 and len(facts["wide"]) == 65536
    assert len(facts["lower"]) == 65536 and None not in facts["lower"].values()
    for b, units in facts["single"].items():
        assert len(units) == 1, b
        if b in facts["lead"]:
            assert units == [dw], b            # a lead byte alone is the default
    for (lead, trail), units in facts["pair"].items():
        if trail == 0:
            assert units == [dw, 0], lead      # the NUL is not taken as a trail byte
        else:
            assert len(units) == 1 and units[0] != 0, (lead, trail)
    for u, code in facts["wide"].items():
        assert len(code) in (1, 2), u
        assert len(code) == 1 or code[0] in facts["lead"], u


def segments(facts):
    dw = facts["default_wide"]
    codes = sorted(l * 256 + t for (l, t), units in facts["pair"].items()
                   if t != 0 and units[0] != dw)
    segs, units = [], []
    for c in codes:
        if segs and c - (segs[-1][0] + segs[-1][1]) < GAP:
            start, count, offset = segs[-1]
            for gap_code in range(start + count, c):
                units.append(0)
            segs[-1] = (start, c - start + 1, offset)
        else:
            segs.append((c, 1, len(units)))
        units.append(facts["pair"][(c >> 8, c & 255)][0])
    return segs, units


def pair_unit(segs, units, code, dw):
    for start, count, offset in segs:
        if start <= code < start + count:
            return units[offset + code - start] or dw
    return dw


def derived_from_wide(facts, segs, units):
    found = {}
    for b in range(256):
        if b not in facts["lead"]:
            found.setdefault(facts["single"][b][0], b)
    for start, count, offset in segs:
        for i in range(count):
            if units[offset + i]:
                found.setdefault(units[offset + i], start + i)
    return found


def wide_exceptions(facts, segs, units):
    found = derived_from_wide(facts, segs, units)
    exceptions = []
    for u in range(65536):
        code = facts["wide"][u]
        value = code[0] if len(code) == 1 else code[0] * 256 + code[1]
        if found.get(u, facts["default_narrow"]) != value:
            exceptions.append((u, value))
    return exceptions


def lower_runs(lower):
    runs = []  # [first, count, delta, stride]
    for u in range(65536):
        delta = (lower[u] - u) & 0xFFFF
        if delta == 0:
            continue
        if runs:
            first, count, d, stride = runs[-1]
            if d == delta and first + count * stride == u:
                runs[-1][1] += 1
                continue
            if d == delta and count == 1 and u == first + 2:
                runs[-1][1], runs[-1][3] = 2, 2
                continue
        runs.append([u, 1, delta, 1])
    return runs


def verify(facts, segs, units, exceptions, runs):
    dw = facts["default_wide"]
    for (lead, trail), expect in facts["pair"].items():
        if trail:
            assert [pair_unit(segs, units, lead * 256 + trail, dw)] == expect, (lead, trail)
    table = derived_from_wide(facts, segs, units)
    table.update(dict(exceptions))
    for u in range(65536):
        code = facts["wide"][u]
        value = code[0] if len(code) == 1 else code[0] * 256 + code[1]
        assert table.get(u, facts["default_narrow"]) == value, u
    lower = list(range(65536))
    for first, count, delta, stride in runs:
        for i in range(count):
            lower[first + i * stride] = (first + i * stride + delta) & 0xFFFF
    assert all(lower[u] == facts["lower"][u] for u in range(65536))


def rows(values, fmt, per_line):
    out = []
    for i in range(0, len(values), per_line):
        out.append("    " + " ".join(fmt % v + "," for v in values[i:i + per_line]))
    return "\n".join(out)


HEADER = ("// Generated by scripts/gen-code-page-tables.sh from the conversions of the\n"
          "// running Windows (Wine) itself; do not edit. Read by %s only.\n\n")


def emit_lower(runs, out):
    w = out.write
    w(HEADER % "unicode_lower.cpp")
    w("struct LowerRun {\n    uint16_t first;\n    uint16_t count;\n    uint16_t delta;\n    uint16_t stride;\n};\n")
    w("const LowerRun LOWER_RUNS[] = {\n%s\n};\n"
      % rows(["{0x%04X, %d, 0x%04X, %d}" % tuple(r) for r in runs], "%s", 3))


def emit(facts, segs, units, exceptions, out):
    lead_bits = [0] * 8
    for b in facts["lead"]:
        lead_bits[b >> 5] |= 1 << (b & 31)
    w = out.write
    w(HEADER % "cp932.cpp")
    w("const uint16_t CP932_DEFAULT_WIDE = 0x%04X;\n" % facts["default_wide"])
    w("const uint8_t CP932_DEFAULT_NARROW = 0x%02X;\n\n" % facts["default_narrow"])
    w("const uint32_t CP932_LEAD_BITS[8] = {\n%s\n};\n\n" % rows(lead_bits, "0x%08X", 4))
    w("const uint16_t CP932_SINGLE[256] = {\n%s\n};\n\n"
      % rows([facts["single"][b][0] for b in range(256)], "0x%04X", 8))
    w("struct Cp932Segment {\n    uint16_t first_code;\n    uint16_t count;\n    uint16_t offset;\n};\n")
    w("const Cp932Segment CP932_SEGMENTS[] = {\n%s\n};\n\n"
      % "\n".join("    {0x%04X, %d, %d}," % s for s in segs))
    w("const uint16_t CP932_SEGMENT_UNITS[] = {\n%s\n};\n\n" % rows(units, "0x%04X", 10))
    w("struct Cp932WideException {\n    uint16_t unit;\n    uint16_t code;\n};\n")
    w("const Cp932WideException CP932_WIDE_EXCEPTIONS[] = {\n%s\n};\n\n"
      % rows(["{0x%04X, 0x%04X}" % e for e in exceptions], "%s", 4))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: gen_code_page_tables.py DUMP OUTPUT_DIR")
    facts = load(sys.argv[1])
    check_rules(facts)
    segs, units = segments(facts)
    exceptions = wide_exceptions(facts, segs, units)
    runs = lower_runs(facts["lower"])
    verify(facts, segs, units, exceptions, runs)
    with open(sys.argv[2] + "/cp932_tables.inc", "w", encoding="ascii") as out:
        emit(facts, segs, units, exceptions, out)
    with open(sys.argv[2] + "/lower_case_table.inc", "w", encoding="ascii") as out:
        emit_lower(runs, out)
    print("segments %d, units %d, wide exceptions %d, lower runs %d"
          % (len(segs), len(units), len(exceptions), len(runs)))


if __name__ == "__main__":
    main()
