// Makes the seed corpus of every fuzz target with the project's own writers
// and format definitions: well-formed payload indexes of both forms, hash lists
// of both versions, uninstall lists in each encoding and line-end style.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "fuzz_support.h"
#include "checksum/checksum.h"
#include "hash_list/hash_list.h"
#include "payload/payload_format.h"
#include "platform/little_endian.h"
#include "uninstall_list/uninstall_list.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void save(const std::string& dir, const std::string& name, const Bytes& bytes)
{
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

Bytes read_back(const std::string& path)
{
    Bytes out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return out;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        out.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return out;
}

// A hash list written by write_back itself (version 2) or laid out by hand
// from the format constants (version 1, which write_back never produces).
Bytes hash_list_bytes(int version, const std::vector<std::string>& paths)
{
    const uint32_t record = version == 2 ? HASH_RECORD_V2_SIZE : HASH_RECORD_V1_SIZE;
    const uint32_t field = version == 2 ? HASH_RECORD_V2_PATH : HASH_RECORD_V1_PATH;
    Bytes out(HASH_HEADER_SIZE + paths.size() * record, 0);
    std::memcpy(out.data(), version == 2 ? HASH_MAGIC_V2 : HASH_MAGIC_V1, 8);
    store_u32le(&out[HASH_HEADER_COUNT], static_cast<uint32_t>(paths.size()));
    for (size_t i = 0; i < paths.size(); ++i) {
        uint8_t* r = &out[HASH_HEADER_SIZE + i * record];
        std::memcpy(r, paths[i].c_str(), paths[i].size() < field ? paths[i].size() : field - 1);
        ContentChecksum sum = {};
        checksum_update(&sum, paths[i].data(), static_cast<uint32_t>(paths[i].size()));
        std::memcpy(r + field, sum.bytes, 8);
    }
    return out;
}

Bytes rewritten_hash_list(const Bytes& v2)
{
    const std::string& dir = fuzz_scratch_dir();
    fuzz_write_file("KXQ.hvl", v2.data(), v2.size());
    FileHandle file;
    HashListHeader header;
    HashList list;
    if (!load_installed(dir.c_str(), file, &header, &list))
        return v2;
    const uint8_t sum[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    upsert(&list, -1, "Archive\\new.arc", sum);
    if (!write_back(dir.c_str(), file, header, list))
        return v2;
    return read_back(dir + "/KXQ.hvl");
}

// Caption block, header and index (without the zero-filled image, which the
// payload target puts in front), followed by the entry data.
Bytes payload_bytes(bool form128, const std::vector<std::pair<std::string, Bytes>>& entries)
{
    const PayloadEntryForm& form = form128 ? PAYLOAD_FORM_128 : PAYLOAD_FORM_32;
    Bytes out(PAYLOAD_CAPTION_SIZE + PAYLOAD_HEADER_SIZE + entries.size() * form.entry_size, 0);
    const char caption[] = "\x81\x75\x83\x94\x83\x46\x83\x8b\x83\x82\x83\x89\x81\x76 Updater ver 1.02";
    std::memcpy(out.data(), caption, sizeof caption - 1);
    uint8_t* header = &out[PAYLOAD_CAPTION_SIZE];
    std::memcpy(header, form128 ? PAYLOAD_MAGIC_128 : PAYLOAD_MAGIC_32, 12);
    store_u32le(header + PAYLOAD_HEADER_COUNT, static_cast<uint32_t>(entries.size()));
    uint32_t offset = 0;
    for (size_t j = 0; j < entries.size(); ++j) {
        uint8_t* e = header + PAYLOAD_HEADER_SIZE + j * form.entry_size;
        std::memcpy(e, entries[j].first.c_str(), entries[j].first.size() < form.name_size ? entries[j].first.size() : form.name_size - 1);
        store_u32le(e + form.offset_at, offset);
        store_u32le(e + form.size_at, static_cast<uint32_t>(entries[j].second.size()));
        offset += static_cast<uint32_t>(entries[j].second.size());
    }
    for (const auto& entry : entries)
        out.insert(out.end(), entry.second.begin(), entry.second.end());
    return out;
}

Bytes text(const char* s)
{
    return Bytes(s, s + std::strlen(s));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_DIR\n");
        return 2;
    }
    const std::string corpus = argv[1];
    mkdir(corpus.c_str(), 0755);

    const std::vector<std::string> paths = {"system.arc", "Archive\\data01300.arc", "Archive\\\x83\x41.arc"};
    const Bytes v2 = hash_list_bytes(2, paths);
    const Bytes v1 = hash_list_bytes(1, paths);
    save(corpus + "/hash_list_fuzz", "v2", v2);
    save(corpus + "/hash_list_fuzz", "v1", v1);
    save(corpus + "/hash_list_fuzz", "rewritten", rewritten_hash_list(v2));
    save(corpus + "/hash_list_fuzz", "empty_v2", hash_list_bytes(2, {}));

    const std::vector<std::pair<std::string, Bytes>> entries = {
        {"KXQ.hvl", v2}, {"system.arc", text("system")}, {"DATA01300.ARC", text("data")}, {"\x83\x41.arc", Bytes()}};
    save(corpus + "/payload_fuzz", "form128", payload_bytes(true, entries));
    save(corpus + "/payload_fuzz", "form32", payload_bytes(false, entries));
    save(corpus + "/payload_fuzz", "shipped_v1", payload_bytes(true, {{"kxq.hvl", v1}, {"system.arc", text("s")}}));

    const char* lists[] = {
        "Data\\A.arc\nsave\n", "Data\\A.arc\r\nsave\r\n$folder\r\n", "  \tlead\rDATA\\B.ARC\n\n$x\n",
        "\xe3\x82\xa2\xe3\x82\xa4\xe3\x82\xa6.arc\n", "\x83\x41\x83\x43.arc\r\n\x83\x0d\n", "\xe0\x80\x8d\x83\n"};
    for (size_t i = 0; i < sizeof lists / sizeof lists[0]; ++i) {
        save(corpus + "/uninstall_list_fuzz", "list" + std::to_string(i), text(lists[i]));
        save(corpus + "/text_fuzz", "text" + std::to_string(i), text(lists[i]));
    }
    const char* path_pairs[][2] = {
        {"Archive\\data01.arc", "Archive\\.\\data01.arc.tmp"}, {"a.arc", "A.ARC. "},
        {"Archive\\x.arc", "Archive//x.arc"}, {"KXQ.hvl.new", "uninst.lst.new"}, {"NUL.txt", "a|b"},
        {"..\\..\\etc\\hostname", "C:\\x"}, {"\x81\xe6.arc", "\x87\x9a.arc"},
        {"\x83\x5c\\x.arc", "\x95\x5c..\\y"}, {"\x82\x60\\. \\b", "sub.\\b"}};
    for (size_t i = 0; i < sizeof path_pairs / sizeof path_pairs[0]; ++i) {
        Bytes pair = text(path_pairs[i][0]);
        pair.push_back(0);
        const Bytes second = text(path_pairs[i][1]);
        pair.insert(pair.end(), second.begin(), second.end());
        save(corpus + "/path_rules_fuzz", "pair" + std::to_string(i), pair);
    }
    return 0;
}
