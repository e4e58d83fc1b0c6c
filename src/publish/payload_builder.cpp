#include "publish/payload_builder.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "hash_list/hash_list_format.h"
#include "hash_list/name_compare.h"
#include "path_rules/target_rules.h"
#include "payload/payload_format.h"
#include "platform/platform.h"
#include "publish/payload_builder_internal.h"
#include "publish/pe_signature.h"
#include "windows_text/ansi_char.h"

namespace {

bool has_separator(const std::string& name)
{
    // A trail byte equal to "\" belongs to its character.
    for (size_t i = 0; i < name.size(); i += ansi_char_length(&name[i], name.size() - i)) {
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':')
            return true;
    }
    return false;
}

std::u16string key_text(const TargetKey& key)
{
    return std::u16string(key.units, key.units + key.length);
}

std::string check_one_file(const BuilderOptions& options, const BuilderFile& f)
{
    const uint32_t name_limit = options.form == 128 ? PAYLOAD_FORM_128.name_size : PAYLOAD_FORM_32.name_size;
    const uint32_t path_limit = options.hash_list_version == 2 ? HASH_RECORD_V2_PATH : HASH_RECORD_V1_PATH;
    if (f.name.empty() || f.name.size() >= name_limit || f.name.find('\0') != std::string::npos)
        return "file name does not fit the index entry's " + std::to_string(name_limit - 1) +
               " bytes: " + f.name;
    if (has_separator(f.name))
        return "file name is not a bare name: " + f.name;
    if (f.path.size() >= path_limit || f.path.find('\0') != std::string::npos)
        return "relative path does not fit the hash record's " + std::to_string(path_limit - 1) +
               " bytes: " + f.path;
    if (names_equal(f.name.c_str(), HASH_LIST_NAME))
        return "a file may not be named like the shipped hash list: " + f.name;
    return "";
}

std::string check_names_distinct(const std::vector<BuilderFile>& files)
{
    for (size_t i = 0; i < files.size(); ++i) {
        for (size_t k = 0; k < i; ++k) {
            if (names_equal(files[i].name.c_str(), files[k].name.c_str()))
                return "two files with one name: " + files[k].path + " and " + files[i].path;
        }
    }
    return "";
}

// Stub size, source sizes and the data base; a refusal when the stub passes
// 0x28000, is already signed, or the result would pass the 2 GiB the reader
// can reach.
BuildStatus plan_layout(const BuilderOptions& options, const std::vector<BuilderFile>& files,
                        BuilderLayout* layout, std::string* message)
{
    FileHandle stub;
    if (!stub.open_read_regular(options.stub.c_str())) {
        *message = "cannot open the stub " + options.stub + " (missing, or not a regular file)";
        return BUILD_FAILED;
    }
    if (stub.size64() > PAYLOAD_IMAGE_LIMIT) {
        *message = "the stub is larger than 0x28000 bytes, where the caption block starts";
        return BUILD_REFUSED;
    }
    // The signature covers the image's bytes; with the payload appended the
    // file is no longer what was signed and Windows would reject it.
    CertificateTable table;
    if (read_certificate_table(stub, &table) == SIGNATURE_FOUND) {
        *message = "the stub " + options.stub + " is signed; a signature made over the stub is void once the "
                   "payload is appended: build from the unsigned stub and sign the built updater instead";
        return BUILD_REFUSED;
    }
    const uint32_t count = static_cast<uint32_t>(files.size()) + 1;
    const uint32_t record = options.hash_list_version == 2 ? HASH_RECORD_V2_SIZE : HASH_RECORD_V1_SIZE;
    layout->data_base = PAYLOAD_INDEX_OFFSET + count * options.form;
    layout->sizes.assign(1, HASH_HEADER_SIZE + (count - 1) * record);
    layout->data_total = layout->sizes[0];
    for (const BuilderFile& f : files) {
        FileHandle in;
        if (!in.open_read_regular(f.source.c_str())) {
            *message = "cannot open " + f.source + " (missing, or not a regular file)";
            return BUILD_FAILED;
        }
        // The whole size: its low 32 bits alone would pack a file of
        // 4 GiB + 100 bytes as a 100-byte entry with a matching checksum.
        const uint64_t size = in.size64();
        if (size == OS_INVALID_FILE_SIZE64) {
            *message = "cannot tell the size of " + f.source;
            return BUILD_FAILED;
        }
        *message = check_source_size(f, size);
        if (!message->empty())
            return BUILD_REFUSED;
        layout->sizes.push_back(static_cast<uint32_t>(size));
        layout->data_total += size;
        if (layout->data_base + layout->data_total > BUILDER_FILE_LIMIT) {
            *message = "the updater would pass 2 GiB, which its reader cannot reach";
            return BUILD_REFUSED;
        }
    }
    return BUILD_OK;
}

// Entry data: room for the hash list, then every file; then the hash list
// itself, once the checksums are known.
bool write_entries(FileHandle& out, const BuilderOptions& options, const std::vector<BuilderFile>& files,
                   const BuilderLayout& layout, BuilderProgress progress, void* context, std::string* message)
{
    std::vector<uint8_t> buffer;
    std::vector<std::string> paths;
    std::vector<std::array<uint8_t, 8>> sums(files.size());
    if (!write_zeros(out, layout.sizes[0])) {
        *message = "cannot write " + options.out;
        return false;
    }
    uint64_t done = layout.sizes[0];
    for (size_t i = 0; i < files.size(); ++i) {
        if (!copy_source(out, files[i], layout.sizes[i + 1], buffer, sums[i].data(), message))
            return false;
        paths.push_back(files[i].path);
        done += layout.sizes[i + 1];
        if (progress)
            progress(context, done, layout.data_total);
    }
    std::vector<uint8_t> list = make_hash_list_bytes(options.hash_list_version, paths, sums);
    if (!out.seek(layout.data_base) ||
        out.write(list.data(), static_cast<uint32_t>(list.size())) != list.size()) {
        *message = "cannot write the shipped hash list to " + options.out;
        return false;
    }
    return true;
}

bool write_all(FileHandle& out, const BuilderOptions& options, const std::vector<BuilderFile>& files,
               const BuilderLayout& layout, BuilderProgress progress, void* context, std::string* message)
{
    if (!write_stub(out, options.stub, message))
        return false;
    if (!write_directory(out, options, files, layout)) {
        *message = "cannot write " + options.out;
        return false;
    }
    if (!write_entries(out, options, files, layout, progress, context, message))
        return false;
    if (!out.flush()) {
        *message = "cannot flush " + options.out;
        return false;
    }
    return true;
}

}  // namespace

std::string check_source_paths(const std::vector<BuilderFile>& files)
{
    // The updater's rules (target_problem, targets_overlap) decide; only the
    // search for an earlier file on the same name goes through a hash table,
    // since a release has tens of thousands of files where a payload has 256.
    std::unordered_map<std::u16string, size_t> first_with_key;
    std::vector<EntryTarget> targets(files.size());
    for (size_t j = 0; j < files.size(); ++j) {
        const PathProblem problem = target_problem(files[j].path.c_str(), &targets[j]);
        if (problem != PATH_OK)
            return std::string("relative path ") + path_problem_text(problem) + ": " + files[j].path;
        size_t other = j;
        for (const TargetKey* key : {&targets[j].target, &targets[j].tmp}) {
            const auto found = first_with_key.find(key_text(*key));
            if (found != first_with_key.end() && found->second < other &&
                targets_overlap(targets[found->second], targets[j]))
                other = found->second;
        }
        if (other != j)
            return "two paths name one file on Windows (letter case, trailing dots or spaces, or a file and "
                   "its temporary name \".tmp\"): " + files[other].path + " and " + files[j].path;
        first_with_key.emplace(key_text(targets[j].target), j);
        first_with_key.emplace(key_text(targets[j].tmp), j);
    }
    return "";
}

std::string check_builder_input(const BuilderOptions& options, const std::vector<BuilderFile>& files)
{
    if (options.form != 128 && options.form != 32)
        return "index form must be 128 or 32";
    if (options.hash_list_version != 1 && options.hash_list_version != 2)
        return "hash list version must be 1 or 2";
    if (options.caption.size() >= PAYLOAD_CAPTION_SIZE || options.caption.find('\0') != std::string::npos)
        return "caption does not fit the caption block's 1023 bytes";
    if (files.size() + 1 > PAYLOAD_MAX_ENTRIES)
        return "more than 256 entries (" + std::to_string(files.size()) +
               " files plus the shipped hash list)";
    for (const BuilderFile& f : files) {
        std::string problem = check_one_file(options, f);
        if (!problem.empty())
            return problem;
    }
    std::string problem = check_names_distinct(files);
    return problem.empty() ? check_source_paths(files) : problem;
}

std::string check_source_size(const BuilderFile& file, uint64_t size)
{
    if (size <= BUILDER_FILE_LIMIT)
        return "";
    return file.path + " is " + std::to_string(size) +
           " bytes: an updater cannot carry a file past 2 GiB, which its reader cannot reach";
}

BuildStatus check_build(const BuilderOptions& options, const std::vector<BuilderFile>& files,
                        std::string* message)
{
    BuilderLayout layout;
    *message = check_builder_input(options, files);
    return message->empty() ? plan_layout(options, files, &layout, message) : BUILD_REFUSED;
}

BuildStatus build_updater(const BuilderOptions& options, const std::vector<BuilderFile>& files,
                          BuilderProgress progress, void* context, std::string* message)
{
    *message = check_builder_input(options, files);
    if (!message->empty())
        return BUILD_REFUSED;
    BuilderLayout layout;
    BuildStatus planned = plan_layout(options, files, &layout, message);
    if (planned != BUILD_OK)
        return planned;
    // On a shared build machine the output folder may be writable by others:
    // a link planted at the temporary name must not make this build write
    // through it, nor leave the output as a name someone else owns.
    const std::string tmp = options.out + ".tmp";
    FileHandle out;
    if (!out.create_fresh(tmp.c_str())) {
        *message = "cannot create " + tmp;
        return BUILD_FAILED;
    }
    bool written = write_all(out, options, files, layout, progress, context, message);
    out.close();
    if (written && !os_move_replace(tmp.c_str(), options.out.c_str())) {
        *message = "cannot move the new updater to " + options.out;
        written = false;
    }
    if (!written)
        os_delete_file(tmp.c_str());
    return written ? BUILD_OK : BUILD_FAILED;
}
