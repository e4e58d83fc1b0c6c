// The driver's texts decode, through the system's own code page 932
// conversion, to exactly the Japanese texts with their U+3000 fill, and the
// report table gives each result its message and style.
#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include <string>
#include "driver/messages.h"

namespace {

struct Text {
    const char* name;
    const char* bytes;
    const wchar_t* expected;  // without the fill
    int fill;                 // trailing U+3000
    size_t length;            // bytes without the terminator
};

const Text TEXTS[] = {
    {"error caption", MSG_ERROR_CAPTION, L"\u30A8\u30E9\u30FC", 0, 6},
    {"version info", MSG_VERSION_INFO_FAILED,
     L"\u30D0\u30FC\u30B8\u30E7\u30F3\u60C5\u5831\u306E\u53D6\u5F97\u306B\u5931\u6557\u3057\u307E\u3057\u305F\u3002", 8, 52},
    {"game running", MSG_GAME_RUNNING,
     L"\u30B2\u30FC\u30E0\u3001\u30E9\u30F3\u30C1\u30E3\u30FC\u3001\u30A2\u30F3\u30A4\u30F3\u30B9\u30C8\u30FC\u30E9\u30FC"
     L"\u306E\u3044\u305A\u308C\u304B\u304C\u5B9F\u884C\u4E2D\u306A\u306E\u3067\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u3092"
     L"\u884C\u3048\u307E\u305B\u3093", 0, 86},
    {"not installed", MSG_NOT_INSTALLED,
     L"\u30B2\u30FC\u30E0\u304C\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3055\u308C\u3066\u3044\u307E\u305B\u3093", 9, 52},
    {"confirm", MSG_CONFIRM_UPDATE,
     L"\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u3092\u884C\u3044\u307E\u3059\u304B\uFF1F", 13, 52},
    {"dialog failed", MSG_DIALOG_FAILED,
     L"\u30C0\u30A4\u30A2\u30ED\u30B0\u306E\u8D77\u52D5\u306B\u5931\u6557\u3057\u307E\u3057\u305F\u3002", 10, 52},
    {"completed", MSG_UPDATE_COMPLETED,
     L"\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u304C\u5B8C\u4E86\u3057\u307E\u3057\u305F", 13, 52},
    {"damaged", MSG_UPDATE_DAMAGED,
     L"\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u30D7\u30ED\u30B0\u30E9\u30E0\u304C\u7834\u640D\u3057\u3066\u3044\u308B"
     L"\u53EF\u80FD\u6027\u304C\u3042\u308A\u307E\u3059", 0, 52},
    {"failed", MSG_UPDATE_FAILED,
     L"\u4F55\u3089\u304B\u306E\u8981\u56E0\u306B\u3088\u308A\u30A2\u30C3\u30D7\u30C7\u30FC\u30C8\u304C\u884C\u3048"
     L"\u307E\u305B\u3093", 5, 52},
    {"uninstall list", MSG_UNINST_LIST_FAILED,
     L"\u30A2\u30F3\u30A4\u30F3\u30B9\u30C8\u30EC\u30FC\u30B7\u30E7\u30F3\u30D5\u30A1\u30A4\u30EB\u306E\u66F4\u65B0"
     L"\u306B\u5931\u6557\u3057\u307E\u3057\u305F", 1, 52},
};

std::wstring decode_932(const char* bytes)
{
    wchar_t wide[128] = {};
    int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, -1, wide, 128);
    return n > 0 ? std::wstring(wide, n - 1) : std::wstring(L"<invalid>");
}

}  // namespace

TEST(DriverMessages, BytesDecodeToTheTextWithItsFill)
{
    for (const Text& t : TEXTS) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(std::strlen(t.bytes), t.length);
        std::wstring expected = std::wstring(t.expected) + std::wstring(t.fill, L'\u3000');
        EXPECT_TRUE(decode_932(t.bytes) == expected);
    }
}

TEST(DriverMessages, ReportTableMapsEveryResult)
{
    struct Row { UpdateResult result; const char* text; uint32_t style; };
    const Row rows[] = {
        {UPDATE_OK, MSG_UPDATE_COMPLETED, MB_ICONINFORMATION | MB_OK},
        {UPDATE_E_DAMAGED, MSG_UPDATE_DAMAGED, MB_ICONWARNING | MB_OK},
        {UPDATE_E_TOO_MANY_ENTRIES, MSG_UPDATE_DAMAGED, MB_ICONWARNING | MB_OK},
        {UPDATE_E_RESERVED_3, MSG_UPDATE_DAMAGED, MB_ICONWARNING | MB_OK},
        {UPDATE_E_FAILED, MSG_UPDATE_FAILED, MB_ICONWARNING | MB_OK},
        {UPDATE_E_UNINST_LIST, MSG_UNINST_LIST_FAILED, MB_ICONWARNING | MB_OK},
        {UPDATE_E_CANCELLED, nullptr, 0},
        {UPDATE_E_CLOSED, nullptr, 0},
        {0x80000000u, nullptr, 0},
        {1, nullptr, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.result);
        ResultReport report = report_for_result(r.result);
        EXPECT_EQ(report.text, r.text);
        if (r.text != nullptr) {
            EXPECT_EQ(report.style, r.style);
        }
    }
    EXPECT_EQ(STYLE_CONFIRM, static_cast<uint32_t>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
}
