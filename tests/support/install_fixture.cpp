#include "support/install_fixture.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "checksum/checksum.h"
#include "platform/fault_injection.h"
#include "platform/little_endian.h"
#include "update/transaction.h"

namespace {

std::string u32le(uint32_t v)
{
    uint8_t b[4];
    store_u32le(b, v);
    return std::string(reinterpret_cast<char*>(b), 4);
}

// `text` zero-filled to `width` bytes (cut if longer: damaged layouts).
std::string field(const std::string& text, size_t width)
{
    std::string out = text.substr(0, width);
    out.resize(width, '\0');
    return out;
}

}  // namespace

std::string checksum_of(const std::string& data)
{
    ContentChecksum sum = {};
    checksum_update_plain(&sum, data.data(), static_cast<uint32_t>(data.size()));
    return std::string(reinterpret_cast<char*>(sum.bytes), 8);
}

std::string hash_list_file(uint32_t version, const std::vector<FixtureRecord>& records, uint32_t reserved)
{
    const size_t path_width = version == 2 ? 248 : 56;
    std::string out = version == 2 ? "WQX_V2__" : "WQX_____";
    out += u32le(reserved) + u32le(static_cast<uint32_t>(records.size()));
    for (const FixtureRecord& r : records)
        out += field(r.path, path_width) + field(r.checksum, 8);
    return out;
}

std::string updater_file(const std::vector<FixtureEntry>& entries, uint32_t form, uint32_t count)
{
    const size_t name_width = form == 128 ? 96 : 16;
    std::string out(0x28000, '\0');
    out += field("Test Updater", 1024);
    out += form == 128 ? "ZEPHAN ARC20" : "ZEPHAN ARC10";
    out += u32le(count ? count : static_cast<uint32_t>(entries.size()));
    uint32_t offset = 0;
    for (const FixtureEntry& e : entries) {
        out += field(e.name, name_width) + u32le(offset) + u32le(static_cast<uint32_t>(e.data.size()));
        out += std::string(form - name_width - 8, '\0');
        offset += static_cast<uint32_t>(e.data.size());
    }
    for (const FixtureEntry& e : entries)
        out += e.data;
    return out;
}

std::vector<FixtureEntry> shipped_entries(const std::vector<FixtureFile>& files)
{
    std::vector<FixtureRecord> records;
    std::vector<FixtureEntry> entries(1);
    for (const FixtureFile& f : files) {
        if (!f.path.empty())
            records.push_back({f.path, checksum_of(f.data)});
        entries.push_back({f.name, f.data});
    }
    entries[0] = {"KXQ.hvl", hash_list_file(2, records)};
    return entries;
}

FolderSnapshot snapshot_folder(const std::string& host_dir)
{
    FolderSnapshot out;
    namespace fs = std::filesystem;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(host_dir)) {
        if (e.is_regular_file())
            out[fs::relative(e.path(), host_dir).generic_string()] = read_host_file(e.path().string());
    }
    return out;
}

std::vector<std::string> changed_files(const FolderSnapshot& before, const FolderSnapshot& after)
{
    std::vector<std::string> out;
    for (const auto& [path, bytes] : before) {
        auto it = after.find(path);
        if (it == after.end() || it->second != bytes)
            out.push_back(path);
    }
    for (const auto& item : after) {
        if (before.find(item.first) == before.end())
            out.push_back(item.first);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string InstallFixture::dir() const
{
    return temp.path() + "/game";
}

std::string InstallFixture::updater() const
{
    return temp.path() + "/setup.exe";
}

std::string InstallFixture::game(const std::string& relative) const
{
    return relative.empty() ? dir() : dir() + "/" + relative;
}

void InstallFixture::put(const std::string& relative, const std::string& bytes) const
{
    std::filesystem::path p(game(relative));
    std::filesystem::create_directories(p.parent_path());
    write_host_file(p.string(), bytes);
}

void InstallFixture::put_updater(const std::vector<FixtureEntry>& entries, uint32_t form) const
{
    write_host_file(updater(), updater_file(entries, form));
}

void InstallFixture::install(const std::vector<FixtureRecord>& records, const std::string& uninst) const
{
    put("KXQ.hvl", hash_list_file(2, records));
    if (!uninst.empty())
        put("uninst.lst", uninst);
}

void TransactionFixture::SetUp()
{
    reset_stop_flags();
    fault_reset();
}

void TransactionFixture::TearDown()
{
    reset_stop_flags();
    fault_reset();
}

UpdateResult TransactionFixture::run()
{
    return run_update_from(f.updater().c_str(), f.dir().c_str(), view);
}

void UsualUpdate::SetUp()
{
    TransactionFixture::SetUp();
    install_usual();
}

void UsualUpdate::install_usual()
{
    std::filesystem::remove_all(f.game(""));
    f.put("system.arc", OLD_SYSTEM);
    f.put("Archive/data01.arc", OLD_DATA);
    f.install({{"system.arc", checksum_of(OLD_SYSTEM)}, {"Archive\\data01.arc", checksum_of(OLD_DATA)}}, UNINST);
    files = {{"system.arc", "system.arc", NEW_SYSTEM}, {"data01.arc", "Archive\\data01.arc", NEW_DATA}};
}
