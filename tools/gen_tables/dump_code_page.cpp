// Dumps what the running Windows (Wine) does for code page 932 and for the
// lower-case mapping, one line per fact, so that the portable tables can be
// generated from the platform's own behaviour rather than from a published
// chart that may disagree with it in the corners (best-fit mappings, default
// characters, unmapped lead/trail pairs).
//
//   LEAD b                      IsDBCSLeadByteEx(932, b) is true
//   MB b count u...             MultiByteToWideChar(932, 0) of the single byte b
//   MB2 lead trail count u...   the same for the two bytes lead, trail
//   WC u count b...             WideCharToMultiByte(932, 0, no default) of unit u
//   LOW u count l               LCMapStringW(LCMAP_LOWERCASE) of unit u
//   DEFAULT mb wide             the code page's default characters
#include <windows.h>

#include <cstdio>

static void dump_single_and_pairs(FILE* out)
{
    for (int b = 0; b < 256; ++b) {
        if (IsDBCSLeadByteEx(932, static_cast<BYTE>(b)))
            std::fprintf(out, "LEAD %d\n", b);
    }
    for (int b = 0; b < 256; ++b) {
        char in[1] = {static_cast<char>(b)};
        WCHAR w[4] = {0};
        int n = MultiByteToWideChar(932, 0, in, 1, w, 4);
        std::fprintf(out, "MB %d %d", b, n);
        for (int i = 0; i < n; ++i)
            std::fprintf(out, " %u", static_cast<unsigned>(w[i]));
        std::fprintf(out, "\n");
    }
    for (int lead = 0; lead < 256; ++lead) {
        if (!IsDBCSLeadByteEx(932, static_cast<BYTE>(lead)))
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            WCHAR w[4] = {0};
            int n = MultiByteToWideChar(932, 0, in, 2, w, 4);
            std::fprintf(out, "MB2 %d %d %d", lead, trail, n);
            for (int i = 0; i < n; ++i)
                std::fprintf(out, " %u", static_cast<unsigned>(w[i]));
            std::fprintf(out, "\n");
        }
    }
}

static void dump_units(FILE* out)
{
    for (unsigned u = 0; u < 0x10000; ++u) {
        WCHAR w = static_cast<WCHAR>(u);
        char b[8] = {0};
        int n = WideCharToMultiByte(932, 0, &w, 1, b, sizeof b, nullptr, nullptr);
        std::fprintf(out, "WC %u %d", u, n);
        for (int i = 0; i < n; ++i)
            std::fprintf(out, " %u", static_cast<unsigned>(static_cast<unsigned char>(b[i])));
        std::fprintf(out, "\n");
    }
    for (unsigned u = 0; u < 0x10000; ++u) {
        WCHAR w = static_cast<WCHAR>(u);
        WCHAR l[4] = {0};
        int n = LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_LOWERCASE, &w, 1, l, 4);
        std::fprintf(out, "LOW %u %d %u\n", u, n, static_cast<unsigned>(l[0]));
    }
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dump_code_page OUTPUT\n");
        return 2;
    }
    FILE* out = std::fopen(argv[1], "w");
    if (!out)
        return 1;
    CPINFO info;
    if (GetCPInfo(932, &info))
        std::fprintf(out, "DEFAULT %u\n", static_cast<unsigned>(static_cast<unsigned char>(info.DefaultChar[0])));
    CPINFOEXA ex;
    if (GetCPInfoExA(932, 0, &ex))
        std::fprintf(out, "DEFAULTWIDE %u\n", static_cast<unsigned>(ex.UnicodeDefaultChar));
    std::fprintf(out, "ACP %u\n", GetACP());
    dump_single_and_pairs(out);
    dump_units(out);
    return std::fclose(out) == 0 ? 0 : 1;
}
