// The parameter rules that MultiByteToWideChar and WideCharToMultiByte apply
// around the codecs: -1 means "through the terminator", a zero destination
// length asks for the length, a destination too small fails.
#include "windows_text/code_page.h"

#include <cstring>

#include "windows_text/code_page_codecs.h"
#include "windows_text/code_page_ids.h"

namespace {

int wide_length(const uint16_t* text)
{
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

// The count a conversion returns: the length asked for, the count written, or
// 0 when it did not fit.
int finish(int needed, int dst_len)
{
    if (dst_len == 0)
        return needed;
    return needed <= dst_len ? needed : 0;
}

}  // namespace

int cp_to_wide(uint32_t code_page, const char* src, int src_len, uint16_t* dst, int dst_len)
{
    if (!src || src_len == 0 || dst_len < 0 || (!dst && dst_len > 0))
        return 0;
    if (src_len < 0)
        src_len = static_cast<int>(std::strlen(src)) + 1;
    const uint8_t* in = reinterpret_cast<const uint8_t*>(src);
    uint16_t* out = dst_len ? dst : nullptr;
    int needed;
    bool ends_in_pair = false;
    if (code_page == CODE_PAGE_932)
        needed = cp932_decode(in, src_len, out, dst_len);
    else if (code_page == CODE_PAGE_UTF8)
        needed = utf8_decode(in, src_len, out, dst_len, &ends_in_pair);
    else
        return 0;
    // Wine's one leniency: a destination that ends between the two halves of
    // the last character counts as filled.
    if (ends_in_pair && dst_len > 0 && needed == dst_len + 1)
        return dst_len;
    return finish(needed, dst_len);
}

int cp_to_narrow(uint32_t code_page, const uint16_t* src, int src_len, char* dst, int dst_len)
{
    if (!src || src_len == 0 || dst_len < 0 || (!dst && dst_len > 0))
        return 0;
    if (src_len < 0)
        src_len = wide_length(src) + 1;
    uint8_t* out = dst_len ? reinterpret_cast<uint8_t*>(dst) : nullptr;
    int needed;
    if (code_page == CODE_PAGE_932)
        needed = cp932_encode(src, src_len, out, dst_len);
    else if (code_page == CODE_PAGE_UTF8)
        needed = utf8_encode(src, src_len, out, dst_len);
    else
        return 0;
    return finish(needed, dst_len);
}
