#include "support/payload_bytes.h"

namespace {

void put_u32(std::string* out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        (*out)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A field of `width` bytes: the text, zero-filled, cut at the width.
std::string field(const std::string& text, size_t width)
{
    std::string out = text.substr(0, width);
    out.resize(width, '\0');
    return out;
}

}  // namespace

std::string payload_bytes(const PayloadLayout& layout)
{
    const size_t name_width = layout.form == 128 ? 96 : 16;
    std::string out(0x28000, '\0');
    out += field(layout.caption, 1024);
    std::string header = layout.form == 128 ? std::string("ZEPHAN ARC20") : field(layout.magic32, 12);
    header.resize(16, '\0');
    put_u32(&header, 12, layout.fixed_count ? layout.count : static_cast<uint32_t>(layout.entries.size()));
    out += header;
    std::string data;
    for (const EntryLayout& e : layout.entries) {
        std::string entry = field(e.name, name_width);
        entry.resize(layout.form, '\0');
        put_u32(&entry, name_width, e.fixed_offset ? e.offset : static_cast<uint32_t>(data.size()));
        put_u32(&entry, name_width + 4, e.fixed_size ? e.size : static_cast<uint32_t>(e.data.size()));
        out += entry;
        data += e.data;
    }
    return out + data;
}

std::string hash_list_bytes(int version, const std::vector<RecordLayout>& records, uint32_t reserved,
                            int64_t count_override)
{
    const size_t path_width = version == 1 ? 56 : 248;
    std::string out = version == 1 ? "WQX_____" : "WQX_V2__";
    out.resize(16, '\0');
    put_u32(&out, 8, reserved);
    put_u32(&out, 12, count_override >= 0 ? static_cast<uint32_t>(count_override)
                                          : static_cast<uint32_t>(records.size()));
    for (const RecordLayout& r : records)
        out += field(r.path, path_width) + field(r.checksum, 8);
    return out;
}

std::string reference_checksum(const std::string& data)
{
    uint32_t mix = 0;
    unsigned mix_sum = 0, mix_xor = 0, byte_sum = 0, byte_xor = 0;
    for (unsigned char x : data) {
        mix = mix * 233u + x;
        mix_sum = (mix_sum + (mix & 0xFF)) & 0xFF;
        mix_xor ^= mix & 0xFF;
        byte_sum = (byte_sum + x) & 0xFF;
        byte_xor ^= x;
    }
    std::string out(8, '\0');
    put_u32(&out, 0, mix);
    out[4] = static_cast<char>(mix_sum);
    out[5] = static_cast<char>(mix_xor);
    out[6] = static_cast<char>(byte_sum);
    out[7] = static_cast<char>(byte_xor);
    return out;
}

std::string hex_of(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

void set_certificate_directory(std::string* file, uint32_t offset, uint32_t size)
{
    const size_t pe = 0x40, optional = pe + 4 + 20;
    (*file)[0] = 'M';
    (*file)[1] = 'Z';
    put_u32(file, 0x3C, pe);
    file->replace(pe, 4, std::string("PE\0\0", 4));
    put_u32(file, pe + 4, 0x14C);               // Machine: i386, no sections
    put_u32(file, pe + 4 + 16, 224);            // SizeOfOptionalHeader (u16), Characteristics 0
    put_u32(file, optional, 0x10B);             // PE32 magic, linker version 0
    put_u32(file, optional + 92, 16);           // NumberOfRvaAndSizes
    put_u32(file, optional + 96 + 4 * 8, offset);
    put_u32(file, optional + 96 + 4 * 8 + 4, size);
}

uint32_t u32_at(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return v;
}
