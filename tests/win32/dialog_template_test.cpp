// The resources as they are stored in the executable: the IDD_PROGRESS
// extended dialog template parsed field by field, and the manifest's text.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/resource.h"

namespace {

const WORD LANG_JAPANESE_1041 = 1041;
const WORD LANG_ENGLISH_US_1033 = 1033;

std::string resource_bytes(LPCSTR type, LPCSTR name, WORD language) {
    HRSRC found = FindResourceExA(nullptr, type, name, language);
    if (found == nullptr)
        return std::string();
    HGLOBAL loaded = LoadResource(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    DWORD size = SizeofResource(nullptr, found);
    return data != nullptr ? std::string(data, size) : std::string();
}

// Bounded little-endian reader over the template; every read past the end
// marks it failed and yields zeros, so a short template fails the checks
// instead of reading outside the resource.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    size_t position() const { return pos_; }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    uint32_t u32() { return take(4); }
    int16_t s16() { return static_cast<int16_t>(u16()); }
    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    void align4() {
        while (pos_ % 4 != 0)
            take(1);
    }
    // A NUL-terminated UTF-16 string.
    std::wstring text() {
        std::wstring out;
        for (uint16_t c = u16(); ok_ && c != 0; c = u16())
            out.push_back(static_cast<wchar_t>(c));
        return out;
    }
    // sz_Or_Ord: 0xFFFF then an ordinal, or a string. Ordinals come back as
    // "#<number>".
    std::wstring name_or_ordinal() {
        size_t at = pos_;
        if (u16() == 0xFFFF)
            return L"#" + std::to_wstring(u16());
        pos_ = at;
        return text();
    }

private:
    uint32_t take(size_t n) {
        if (!ok_ || bytes_.size() - pos_ < n) {
            ok_ = false;
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[pos_ + i])) << (8 * i);
        pos_ += n;
        return v;
    }
    const std::string& bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

struct ItemTemplate {
    uint32_t help, ex_style, style;
    int16_t x, y, cx, cy;
    uint32_t id;
    std::wstring window_class, title;
    uint16_t extra;
};

ItemTemplate read_item(Reader& r) {
    ItemTemplate t;
    r.align4();
    t.help = r.u32();
    t.ex_style = r.u32();
    t.style = r.u32();
    t.x = r.s16();
    t.y = r.s16();
    t.cx = r.s16();
    t.cy = r.s16();
    t.id = r.u32();
    t.window_class = r.name_or_ordinal();
    t.title = r.name_or_ordinal();
    t.extra = r.u16();
    return t;
}

TEST(DialogTemplate, HeaderIsTheExtendedTemplateOfTheProgressDialog) {
    std::string bytes = resource_bytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_PROGRESS), LANG_JAPANESE_1041);
    ASSERT_FALSE(bytes.empty()) << "dialog 102 in language 1041";
    Reader r(bytes);
    EXPECT_EQ(r.u16(), 1u);        // dlgVer
    EXPECT_EQ(r.u16(), 0xFFFFu);   // signature
    EXPECT_EQ(r.u32(), 0u);        // help id
    EXPECT_EQ(r.u32(), 0u);        // extended style
    EXPECT_EQ(r.u32(), 0x80C000C0u);
    EXPECT_EQ(r.u16(), 4u);        // controls
    EXPECT_EQ(r.s16(), 0);
    EXPECT_EQ(r.s16(), 0);
    EXPECT_EQ(r.s16(), 271);
    EXPECT_EQ(r.s16(), 109);
    EXPECT_EQ(r.name_or_ordinal(), L"");  // no menu
    EXPECT_EQ(r.name_or_ordinal(), L"");  // the standard dialog class
    EXPECT_EQ(r.text(), L"");             // title: set at run time
    EXPECT_EQ(r.u16(), 9u);               // point size
    EXPECT_EQ(r.u16(), 400u);             // weight
    EXPECT_EQ(r.u8(), 0u);                // not italic
    EXPECT_EQ(r.u8(), 128u);              // SHIFTJIS_CHARSET
    EXPECT_EQ(r.text(), L"MS UI Gothic");
    EXPECT_TRUE(r.ok());
}

TEST(DialogTemplate, ControlsInTemplateOrder) {
    struct Expected {
        uint32_t id;
        const wchar_t* window_class;
        const wchar_t* title;
        uint32_t style, ex_style;
        int16_t x, y, cx, cy;
    };
    // The resource compiler stores class names upper-cased; window class
    // names are matched without regard to case, so only the letters count.
    const Expected expected[] = {
        {1000, L"#128", L"\x4E2D\x6B62", 0x50010000, 0, 110, 88, 51, 14},
        {1001, L"#130", L"", 0x50020201, 0x20000, 7, 7, 257, 14},
        {1002, L"MSCTLS_PROGRESS32", L"", 0x50800001, 0, 7, 33, 257, 16},
        {1003, L"MSCTLS_PROGRESS32", L"", 0x50800001, 0, 7, 59, 257, 16},
    };
    std::string bytes = resource_bytes(RT_DIALOG, MAKEINTRESOURCEA(IDD_PROGRESS), LANG_JAPANESE_1041);
    ASSERT_FALSE(bytes.empty());
    Reader r(bytes);
    r.u16(), r.u16(), r.u32(), r.u32(), r.u32(), r.u16();
    r.s16(), r.s16(), r.s16(), r.s16();
    r.name_or_ordinal(), r.name_or_ordinal(), r.text();
    r.u16(), r.u16(), r.u8(), r.u8(), r.text();
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.id);
        ItemTemplate t = read_item(r);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(t.id, e.id);
        EXPECT_EQ(_wcsicmp(t.window_class.c_str(), e.window_class), 0);
        EXPECT_EQ(t.title, e.title);
        EXPECT_EQ(t.style, e.style);
        EXPECT_EQ(t.ex_style, e.ex_style);
        EXPECT_EQ(t.help, 0u);
        EXPECT_EQ(t.extra, 0u);  // no creation data
        EXPECT_EQ(t.x, e.x);
        EXPECT_EQ(t.y, e.y);
        EXPECT_EQ(t.cx, e.cx);
        EXPECT_EQ(t.cy, e.cy);
    }
    EXPECT_LE(bytes.size() - r.position(), 3u);  // nothing but padding after the last
}

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR data) {
    reinterpret_cast<std::vector<WORD>*>(data)->push_back(language);
    return TRUE;
}

std::vector<WORD> languages_of(LPCSTR type, LPCSTR name) {
    std::vector<WORD> found;
    EnumResourceLanguagesA(nullptr, type, name, collect_language, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

TEST(Resources, EachIsStoredInItsOneLanguage) {
    EXPECT_EQ(languages_of(RT_DIALOG, MAKEINTRESOURCEA(IDD_PROGRESS)),
              std::vector<WORD>{LANG_JAPANESE_1041});
    EXPECT_EQ(languages_of(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1)),
              std::vector<WORD>{LANG_ENGLISH_US_1033});
}

size_t find_after(const std::string& text, const std::string& what, size_t from) {
    size_t at = text.find(what, from);
    return at == std::string::npos ? at : at + what.size();
}

TEST(Manifest, AsksForAdministratorAndDeclaresVistaToTen) {
    std::string m = resource_bytes(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), LANG_ENGLISH_US_1033);
    ASSERT_FALSE(m.empty()) << "manifest 1 in language 1033";
    const char* identity[] = {"name=\"Setup\"", "version=\"1.0.0.0\"",
                              "processorArchitecture=\"X86\"", "type=\"win32\""};
    size_t id_at = m.find("<assemblyIdentity ");
    size_t id_end = m.find("/>", id_at);
    ASSERT_NE(id_at, std::string::npos);
    for (const char* attribute : identity) {
        size_t at = m.find(attribute, id_at);
        EXPECT_TRUE(at != std::string::npos && at < id_end) << attribute;
    }
    EXPECT_NE(m.find("xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\""),
              std::string::npos);
    EXPECT_NE(m.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), std::string::npos);
    // Exactly one execution level, with no attribute besides the level.
    EXPECT_NE(m.find("<requestedExecutionLevel level=\"requireAdministrator\"/>"), std::string::npos);
    EXPECT_EQ(m.find("requestedExecutionLevel"), m.rfind("requestedExecutionLevel"));
    EXPECT_EQ(m.find("uiAccess"), std::string::npos);

    const char* systems[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
    };
    size_t at = find_after(m, "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">", 0);
    ASSERT_NE(at, std::string::npos);
    for (const char* id : systems) {
        at = find_after(m, std::string("<supportedOS Id=\"") + id + "\"/>", at);
        ASSERT_NE(at, std::string::npos) << id << " missing or out of order";
    }
    size_t count = 0;
    for (size_t p = m.find("<supportedOS"); p != std::string::npos; p = m.find("<supportedOS", p + 1))
        ++count;
    EXPECT_EQ(count, 5u);
    // The classic controls draw the dialog: no common-controls 6 dependency.
    EXPECT_EQ(m.find("Common-Controls"), std::string::npos);
    EXPECT_EQ(m.find("<dependency"), std::string::npos);
}

}  // namespace
