// patchtool inspect [--json] FILE: what the updater would see in its own file:
// the caption, the archive index and the shipped hash list, with each entry's
// bytes checksummed and compared with the shipped list.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "json_output.h"
#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "result/update_result.h"
#include "update/shipped_list.h"

namespace {

struct EntryReport {
    std::string name;  // code page 932
    uint32_t offset;
    uint32_t size;
    bool readable;
    ContentChecksum sum;
    const char* verified;  // ok | mismatch | unlisted | unreadable
};

struct InspectReport {
    std::string caption;  // code page 932
    PayloadIndex index;
    PayloadSalvage salvage;
    UpdateResult result = UPDATE_OK;
    std::vector<EntryReport> entries;
    int version = 0;  // shipped list: 1, 2, or 0 for none
    HashList shipped;
};

EntryReport inspect_entry(FileHandle& file, const InspectReport& report, uint32_t j)
{
    EntryReport e;
    char name[97];
    entry_name(report.index, j, name);
    e.name = name;
    e.offset = entry_offset(report.index, j);
    e.size = entry_size(report.index, j);
    e.readable = seek_entry(file, report.index, j) && checksum_next_bytes(file, e.size, &e.sum);
    const HashRecord* listed = find_shipped(report.shipped, name);
    if (!e.readable)
        e.verified = "unreadable";
    else if (!listed)
        e.verified = "unlisted";
    else
        e.verified = std::memcmp(listed->checksum, e.sum.bytes, 8) == 0 ? "ok" : "mismatch";
    return e;
}

// False (with a message) when the file is no updater at all: unopenable, or
// without a caption block and an archive header.
bool gather(const char* path, const char* shown, InspectReport* report)
{
    char caption[1024];
    FileHandle probe;
    if (!probe.open_read(path)) {
        std::fprintf(stderr, "patchtool inspect: %s: cannot open it\n", shown);
        return false;
    }
    probe.close();
    FileHandle file;
    report->result = open_payload_salvage(file, path, &report->index, &report->salvage);
    if (!report->salvage.header_read || !load_caption_from(path, caption)) {
        std::fprintf(stderr, "patchtool inspect: %s: not an updater (no caption block and archive header: "
                             "shorter than 0x28410 bytes)\n", shown);
        return false;
    }
    report->caption = caption;
    report->shipped = load_shipped(file, report->index, &report->version);
    if (report->version == SHIPPED_UNREADABLE)
        report->version = 0;  // shown as no list: the version printed is 1, 2 or null
    for (uint32_t j = 0; j < report->index.count; ++j)
        report->entries.push_back(inspect_entry(file, *report, j));
    return true;
}

std::string sum_hex(const uint8_t bytes[8])
{
    return hex_text(bytes, 8);
}

void print_report_json(const InspectReport& r)
{
    JsonOut out;
    put_text(&out, "caption", r.caption);
    out["form"] = r.index.form;
    out["count"] = r.salvage.declared_count;
    out["data_base"] = r.salvage.data_base;
    out["entries"] = JsonOut::array();
    for (const EntryReport& e : r.entries) {
        JsonOut entry;
        put_text(&entry, "name", e.name);
        entry["offset"] = e.offset;
        entry["size"] = e.size;
        entry["checksum"] = e.readable ? JsonOut(sum_hex(e.sum.bytes)) : JsonOut(nullptr);
        entry["verified"] = e.verified;
        out["entries"].push_back(entry);
    }
    JsonOut shipped;
    shipped["version"] = r.version ? JsonOut(r.version) : JsonOut(nullptr);
    shipped["records"] = JsonOut::array();
    for (const HashRecord& rec : r.shipped) {
        JsonOut record;
        put_text(&record, "path", std::string(rec.path, strnlen(rec.path, sizeof rec.path)));
        record["checksum"] = sum_hex(rec.checksum);
        shipped["records"].push_back(record);
    }
    out["shipped"] = shipped;
    print_json(out);
}

void print_text(const InspectReport& r)
{
    std::printf("caption:    %s\n", cp932_to_utf8(r.caption).c_str());
    std::printf("index form: %u-byte entries\n", r.index.form);
    std::printf("count:      %u\n", r.salvage.declared_count);
    std::printf("data base:  0x%llx\n", static_cast<unsigned long long>(r.salvage.data_base));
    std::printf("entries:\n");
    for (const EntryReport& e : r.entries) {
        const std::string sum = e.readable ? sum_hex(e.sum.bytes) : std::string(16, '-');
        std::printf("  %-10s offset 0x%08x size %10u  %s  %s\n", e.verified, e.offset, e.size, sum.c_str(),
                    cp932_to_utf8(e.name).c_str());
    }
    if (!r.version) {
        std::printf("shipped hash list: none\n");
        return;
    }
    std::printf("shipped hash list: version %d, %zu records\n", r.version, r.shipped.size());
    for (const HashRecord& rec : r.shipped)
        std::printf("  %s  %s\n", sum_hex(rec.checksum).c_str(),
                    cp932_to_utf8(std::string(rec.path, strnlen(rec.path, sizeof rec.path))).c_str());
}

// Exit status: 0 when the updater would read every entry and every listed one matches.
int verdict(const InspectReport& r, const char* shown)
{
    int status = EXIT_OK;
    if (r.result != UPDATE_OK) {
        std::fprintf(stderr, "patchtool inspect: %s: damaged index (%s): %u of %u entries readable\n", shown,
                     update_result_name(r.result), r.index.count, r.salvage.declared_count);
        status = EXIT_FAILED;
    }
    for (const EntryReport& e : r.entries) {
        if (std::strcmp(e.verified, "unreadable") == 0 || std::strcmp(e.verified, "mismatch") == 0) {
            std::fprintf(stderr, "patchtool inspect: %s: entry %s is %s\n", shown, cp932_to_utf8(e.name).c_str(),
                         e.verified);
            status = EXIT_FAILED;
        }
    }
    return status;
}

}  // namespace

int cmd_inspect(int argc, char** argv)
{
    bool json = false;
    std::string given;
    CLI::App app;
    command_app(&app, "inspect");
    app.add_flag("--json", json, "print the report as JSON");
    app.add_option("FILE", given, "the updater file")->required();
    const int parsed = parse_command(app, argc, argv);
    if (parsed != COMMAND_PARSED)
        return parsed;
    const char* file = given.c_str();
    std::string path;
    if (!utf8_to_cp932(file, &path)) {
        std::fprintf(stderr, "patchtool inspect: %s: the name cannot be written in code page 932\n", file);
        return EXIT_FAILED;
    }
    InspectReport report;
    if (!gather(path.c_str(), file, &report))
        return EXIT_FAILED;
    if (json)
        print_report_json(report);
    else
        print_text(report);
    return verdict(report, file);
}
