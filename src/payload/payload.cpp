#include "payload/payload.h"

#include <cstring>

#include "payload/payload_format.h"
#include "platform/little_endian.h"
#include "platform/platform.h"
#include "windows_text/ansi_char.h"
#include "windows_text/path_buffer.h"

namespace {

// The name the updater falls back to when GetModuleFileNameA cannot give its
// own path: the file as the publisher ships it, in the current folder.
const char FALLBACK_NAME[] = "setup.exe";

const PayloadEntryForm& form_of(const PayloadIndex& index)
{
    return index.form == PAYLOAD_FORM_32.entry_size ? PAYLOAD_FORM_32 : PAYLOAD_FORM_128;
}

const uint8_t* entry_bytes(const PayloadIndex& index, uint32_t j)
{
    return index.raw.data() + static_cast<size_t>(j) * form_of(index).entry_size;
}

// A caption block that fills all 1024 bytes has no terminator of its own: the
// last byte gives way to one, and a double-byte character cut by it goes too,
// so the title never ends in a lone lead byte.
void terminate_caption(char caption[1024])
{
    if (std::memchr(caption, 0, PAYLOAD_CAPTION_SIZE))
        return;
    const uint32_t last = PAYLOAD_CAPTION_SIZE - 1;
    uint32_t i = 0;
    while (i < last) {
        // No terminator within the block: a lead byte takes the byte after it.
        const uint32_t step = ansi_lead_byte(static_cast<uint8_t>(caption[i])) ? 2 : 1;
        if (i + step > last)
            break;
        i += step;
    }
    caption[i] = '\0';
}

// Own path into a 260-byte buffer pre-filled with "setup.exe", which stays
// when the system cannot tell the path.
void own_or_fallback_path(char path[260])
{
    std::memset(path, 0, OS_PATH_SIZE);
    std::memcpy(path, FALLBACK_NAME, sizeof FALLBACK_NAME);
    char own[OS_PATH_SIZE] = {};
    const uint32_t n = os_own_path(own, OS_PATH_SIZE);
    if (n > 0 && n < OS_PATH_SIZE)
        std::memcpy(path, own, n + 1);
}

}  // namespace

bool load_caption_from(const char* path, char caption[1024])
{
    caption[0] = '\0';
    FileHandle file;
    if (!file.open_read(path))
        return false;
    if (file.size() < PAYLOAD_CAPTION_OFFSET)
        return false;
    file.seek(PAYLOAD_CAPTION_OFFSET);
    if (file.read(caption, PAYLOAD_CAPTION_SIZE) != PAYLOAD_CAPTION_SIZE) {
        caption[0] = '\0';
        return false;
    }
    terminate_caption(caption);
    return true;
}

bool load_caption(char caption[1024])
{
    char path[OS_PATH_SIZE] = {};
    const uint32_t n = os_own_path(path, OS_PATH_SIZE);
    if (n == 0 || n >= OS_PATH_SIZE) {
        caption[0] = '\0';
        return false;
    }
    return load_caption_from(path, caption);
}

UpdateResult read_payload_header(FileHandle& file, uint8_t header[16])
{
    if (file.size() < PAYLOAD_HEADER_OFFSET)
        return UPDATE_E_DAMAGED;
    // Reading on from wherever the file stands would take other bytes for
    // the header.
    if (!file.seek(PAYLOAD_HEADER_OFFSET))
        return UPDATE_E_DAMAGED;
    if (file.read(header, PAYLOAD_HEADER_SIZE) != PAYLOAD_HEADER_SIZE)
        return UPDATE_E_DAMAGED;
    return UPDATE_OK;
}

UpdateResult open_payload_salvage(FileHandle& file, const char* path, PayloadIndex* index,
                                  PayloadSalvage* salvage)
{
    char own[OS_PATH_SIZE];
    if (!path) {
        own_or_fallback_path(own);
        path = own;
    }
    *index = PayloadIndex();
    *salvage = PayloadSalvage();
    // A failed open needs no test of its own: the size of a closed handle is
    // 0xFFFFFFFF and its reads return nothing, so the header read fails.
    file.open_read(path);
    uint8_t header[PAYLOAD_HEADER_SIZE];
    if (read_payload_header(file, header) != UPDATE_OK)
        return UPDATE_E_DAMAGED;
    const bool long_form = std::memcmp(header, PAYLOAD_MAGIC_128, sizeof PAYLOAD_MAGIC_128) == 0;
    const PayloadEntryForm& form = long_form ? PAYLOAD_FORM_128 : PAYLOAD_FORM_32;
    const uint32_t declared = load_u32le(header + PAYLOAD_HEADER_COUNT);
    salvage->header_read = true;
    salvage->declared_count = declared;
    salvage->data_base = PAYLOAD_INDEX_OFFSET + static_cast<uint64_t>(declared) * form.entry_size;
    index->form = form.entry_size;
    index->data_base = salvage->data_base > OS_INVALID_POSITION
                           ? OS_INVALID_POSITION
                           : static_cast<uint32_t>(salvage->data_base);
    // The count is tested before the magic: more than 256 entries is refused
    // whichever form the header names.
    const UpdateResult verdict = declared > PAYLOAD_MAX_ENTRIES ? UPDATE_E_TOO_MANY_ENTRIES : UPDATE_OK;
    const uint32_t wanted = declared > PAYLOAD_MAX_ENTRIES ? PAYLOAD_MAX_ENTRIES : declared;
    index->raw.assign(static_cast<size_t>(wanted) * form.entry_size, 0);
    const uint32_t got = wanted ? file.read(index->raw.data(), wanted * form.entry_size) : 0;
    index->count = got / form.entry_size;
    index->raw.resize(static_cast<size_t>(index->count) * form.entry_size);
    salvage->entries_read = index->count;
    if (verdict != UPDATE_OK)
        return verdict;
    return got == wanted * form.entry_size ? UPDATE_OK : UPDATE_E_DAMAGED;
}

UpdateResult open_payload(FileHandle& file, const char* path, PayloadIndex* index)
{
    PayloadSalvage salvage;
    const UpdateResult result = open_payload_salvage(file, path, index, &salvage);
    if (result != UPDATE_OK)
        *index = PayloadIndex();
    return result;
}

void entry_name(const PayloadIndex& index, uint32_t j, char out[97])
{
    const PayloadEntryForm& form = form_of(index);
    const char* field = reinterpret_cast<const char*>(entry_bytes(index, j));
    const size_t n = field_length(field, form.name_size);
    std::memcpy(out, field, n);
    out[n] = '\0';
}

uint32_t entry_offset(const PayloadIndex& index, uint32_t j)
{
    return load_u32le(entry_bytes(index, j) + form_of(index).offset_at);
}

uint32_t entry_size(const PayloadIndex& index, uint32_t j)
{
    return load_u32le(entry_bytes(index, j) + form_of(index).size_at);
}

bool entry_position(const PayloadIndex& index, uint32_t j, uint32_t* position)
{
    const uint64_t at = static_cast<uint64_t>(index.data_base) + entry_offset(index, j);
    if (at > 0xFFFFFFFFu)
        return false;
    *position = static_cast<uint32_t>(at);
    return true;
}

bool seek_entry(FileHandle& file, const PayloadIndex& index, uint32_t j)
{
    uint32_t position = 0;
    if (!entry_position(index, j, &position))
        return false;
    return file.seek(position);
}
