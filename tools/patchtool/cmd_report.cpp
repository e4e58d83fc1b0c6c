// patchtool inspect [--json] FILE: what the updater would see in its own file:
// the caption, the archive index and the shipped hash list, with each entry's
// bytes checksummed and compared with the shipped list, and where a signature
// appended behind the payload lies.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "checksum/checksum_read.h"
#include "cli_text.h"
#include "command_line.h"
#include "commands.h"
#include "json_output.h"
#include "named_file.h"
#include "hash_list/hash_list.h"
#include "payload/payload.h"
#include "publish/pe_signature.h"
#include "result/update_result.h"
#include "update/entry_paths.h"
#include "update/shipped_list.h"

namespace {

struct EntryReport {
    std::string name;  // code page 932
    uint32_t offset;
    uint32_t size;
    bool readable;
    ContentChecksum sum;
    const char* verified;  // ok | mismatch | unlisted | unreadable
    TargetVerdict target;  // the updater's path rules for where it installs
};

struct InspectReport {
    std::string caption;  // code page 932
    PayloadIndex index;
    PayloadSalvage salvage;
    UpdateResult result = UPDATE_OK;
    std::vector<EntryReport> entries;
    int version = 0;  // shipped list: 1, 2, or 0 for none or damaged
    bool shipped_damaged = false;  // a KXQ.hvl entry that is no whole list
    HashList shipped;
    bool signed_file = false;
    CertificateTable signature;
    uint64_t payload_end = 0;  // one past the last byte of entry data
    uint64_t file_size = 0;
};

// Signing puts the certificate table after everything else in the file; the
// payload, which the signature does not move, must end before it.
void gather_signature(const char* path, InspectReport* report)
{
    FileHandle file;
    if (!file.open_read(path))
        return;
    report->file_size = file.size64();
    report->signed_file = read_certificate_table(file, &report->signature) == SIGNATURE_FOUND;
    report->payload_end = report->salvage.data_base;
    for (const EntryReport& e : report->entries) {
        const uint64_t end = report->salvage.data_base + e.offset + e.size;
        if (e.readable && end > report->payload_end)
            report->payload_end = end;
    }
}

EntryReport inspect_entry(FileHandle& file, const InspectReport& report, uint32_t j, std::vector<uint8_t>& buffer)
{
    EntryReport e;
    char name[97];
    entry_name(report.index, j, name);
    e.name = name;
    e.offset = entry_offset(report.index, j);
    e.size = entry_size(report.index, j);
    e.sum = ContentChecksum();
    e.readable = seek_entry(file, report.index, j) &&
                 read_and_checksum(file, e.size, buffer, &e.sum, nullptr) == CHUNK_READ_OK;
    const HashRecord* listed = find_shipped(report.shipped, name);
    if (!e.readable)
        e.verified = "unreadable";
    else if (!listed)
        e.verified = "unlisted";
    else
        e.verified = std::memcmp(listed->checksum, e.sum.bytes, 8) == 0 ? "ok" : "mismatch";
    return e;
}

// EXIT_OK when the file was read as an updater; else, with a message,
// EXIT_FAILED for a file that cannot be opened and EXIT_USAGE for one that is
// no updater at all (no caption block and archive header).
int gather(const char* path, const char* shown, InspectReport* report)
{
    char caption[1024];
    // A pipe or a device named here fails at once instead of being waited on.
    FileHandle probe;
    if (!probe.open_read_regular(path)) {
        std::fprintf(stderr, "patchtool inspect: %s: cannot open it\n", shown);
        return EXIT_FAILED;
    }
    probe.close();
    FileHandle file;
    report->result = open_payload_salvage(file, path, &report->index, &report->salvage);
    if (!report->salvage.header_read || !load_caption_from(path, caption)) {
        std::fprintf(stderr, "patchtool inspect: %s: not an updater (no caption block and archive header: "
                             "shorter than 0x28410 bytes)\n", shown);
        return EXIT_USAGE;
    }
    report->caption = caption;
    report->shipped = load_shipped(file, report->index, &report->version);
    // The updater refuses such a payload as damaged; the version printed
    // stays 1, 2 or null.
    report->shipped_damaged = report->version == SHIPPED_UNREADABLE;
    if (report->shipped_damaged)
        report->version = 0;
    std::vector<uint8_t> buffer;
    for (uint32_t j = 0; j < report->index.count; ++j)
        report->entries.push_back(inspect_entry(file, *report, j, buffer));
    gather_signature(path, report);
    std::vector<TargetVerdict> verdicts;
    check_payload_targets(report->index, report->shipped, &verdicts);
    for (uint32_t j = 0; j < report->index.count; ++j)
        report->entries[j].target = verdicts[j];
    return EXIT_OK;
}

std::string sum_hex(const uint8_t bytes[8])
{
    return hex_text(bytes, 8);
}

// null, or {"rule": code, "entry": the earlier entry it shares a file with, or null}.
JsonOut problem_json(const TargetVerdict& v)
{
    if (v.problem == PATH_OK)
        return JsonOut(nullptr);
    JsonOut problem;
    problem["rule"] = path_problem_code(v.problem);
    problem["entry"] = v.problem == PATH_SHARES_FILE ? JsonOut(v.other) : JsonOut(nullptr);
    return problem;
}

// What the updater would refuse about where entry j installs, in words.
std::string problem_text(const InspectReport& r, const EntryReport& e)
{
    std::string text = path_problem_text(e.target.problem);
    if (e.target.problem == PATH_SHARES_FILE)
        text += " (entry " + std::to_string(e.target.other) + ", " + printable(r.entries[e.target.other].name) + ")";
    return text;
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
        entry["problem"] = problem_json(e.target);
        out["entries"].push_back(entry);
    }
    JsonOut shipped;
    shipped["version"] = r.version ? JsonOut(r.version) : JsonOut(nullptr);
    shipped["damaged"] = r.shipped_damaged;
    shipped["records"] = JsonOut::array();
    for (const HashRecord& rec : r.shipped) {
        JsonOut record;
        put_text(&record, "path", std::string(rec.path, strnlen(rec.path, sizeof rec.path)));
        record["checksum"] = sum_hex(rec.checksum);
        shipped["records"].push_back(record);
    }
    out["shipped"] = shipped;
    if (r.signed_file) {
        JsonOut signature;
        signature["offset"] = r.signature.offset;
        signature["size"] = r.signature.size;
        out["signature"] = signature;
    } else {
        out["signature"] = nullptr;
    }
    print_json(out);
}

void print_text(const InspectReport& r)
{
    std::printf("caption:    %s\n", printable(r.caption).c_str());
    std::printf("index form: %u-byte entries\n", r.index.form);
    std::printf("count:      %u\n", r.salvage.declared_count);
    std::printf("data base:  0x%llx\n", static_cast<unsigned long long>(r.salvage.data_base));
    if (r.signed_file)
        std::printf("signature:  certificate table at 0x%x, %u bytes; the payload ends at 0x%llx\n",
                    r.signature.offset, r.signature.size, static_cast<unsigned long long>(r.payload_end));
    else
        std::printf("signature:  none\n");
    std::printf("entries:\n");
    for (const EntryReport& e : r.entries) {
        const std::string sum = e.readable ? sum_hex(e.sum.bytes) : std::string(16, '-');
        std::printf("  %-10s offset 0x%08x size %10u  %s  %s\n", e.verified, e.offset, e.size, sum.c_str(),
                    printable(e.name).c_str());
        if (e.target.problem != PATH_OK)
            std::printf("             refused: %s\n", problem_text(r, e).c_str());
    }
    if (!r.version) {
        std::printf("shipped hash list: %s\n", r.shipped_damaged ? "damaged" : "none");
        return;
    }
    std::printf("shipped hash list: version %d, %zu records\n", r.version, r.shipped.size());
    for (const HashRecord& rec : r.shipped)
        std::printf("  %s  %s\n", sum_hex(rec.checksum).c_str(),
                    printable(std::string(rec.path, strnlen(rec.path, sizeof rec.path))).c_str());
}

// False with a complaint when the certificate table is not where signing
// leaves it: last in the file, holding something.
bool check_table_placement(const InspectReport& r, const char* shown)
{
    const uint64_t end = static_cast<uint64_t>(r.signature.offset) + r.signature.size;
    switch (certificate_table_placement(r.signature, r.file_size)) {
    case TABLE_ENDS_FILE:
        return true;
    case TABLE_EMPTY:
        std::fprintf(stderr, "patchtool inspect: %s: the certificate table at 0x%x is empty: the file is not signed\n",
                     shown, r.signature.offset);
        return false;
    case TABLE_PAST_END:
        std::fprintf(stderr, "patchtool inspect: %s: the certificate table runs past the end of the file\n", shown);
        return false;
    case TABLE_DATA_AFTER:
        std::fprintf(stderr, "patchtool inspect: %s: %llu bytes follow the certificate table; the signature does "
                             "not cover them\n", shown, static_cast<unsigned long long>(r.file_size - end));
        return false;
    }
    return false;
}

// Exit status: 0 when the updater would read every entry, every listed one
// matches, and the path rules let it write every one.
int verdict(const InspectReport& r, const char* shown)
{
    int status = EXIT_OK;
    if (r.result != UPDATE_OK) {
        std::fprintf(stderr, "patchtool inspect: %s: damaged index (%s): %u of %u entries readable\n", shown,
                     update_result_name(r.result), r.index.count, r.salvage.declared_count);
        status = EXIT_FAILED;
    }
    if (r.shipped_damaged) {
        std::fprintf(stderr, "patchtool inspect: %s: the shipped hash list KXQ.hvl is damaged "
                             "(not a whole version 1 or 2 list); the updater refuses it\n", shown);
        status = EXIT_FAILED;
    }
    if (r.signed_file && r.signature.offset < r.payload_end) {
        std::fprintf(stderr, "patchtool inspect: %s: the certificate table at 0x%x begins inside the payload, "
                             "which ends at 0x%llx\n", shown, r.signature.offset,
                     static_cast<unsigned long long>(r.payload_end));
        status = EXIT_FAILED;
    }
    if (r.signed_file && !check_table_placement(r, shown))
        status = EXIT_FAILED;
    for (const EntryReport& e : r.entries) {
        if (std::strcmp(e.verified, "unreadable") == 0 || std::strcmp(e.verified, "mismatch") == 0) {
            std::fprintf(stderr, "patchtool inspect: %s: entry %s is %s\n", shown, printable(e.name).c_str(),
                         e.verified);
            status = EXIT_FAILED;
        }
        if (e.target.problem != PATH_OK) {
            std::fprintf(stderr, "patchtool inspect: %s: the updater refuses entry %s: its path %s\n", shown,
                         printable(e.name).c_str(), problem_text(r, e).c_str());
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
    if (!host_operand("inspect", resolve_named_file(file), &path))
        return EXIT_USAGE;
    const char* kind = operand_kind_problem(path, false);
    if (*kind)
        return refuse_operand("inspect", given, kind);
    // The file's own name is shown escaped like every name in the report.
    const std::string shown = printable_utf8(file);
    InspectReport report;
    const int gathered = gather(path.c_str(), shown.c_str(), &report);
    if (gathered != EXIT_OK)
        return gathered;
    if (json)
        print_report_json(report);
    else
        print_text(report);
    return verdict(report, shown.c_str());
}
