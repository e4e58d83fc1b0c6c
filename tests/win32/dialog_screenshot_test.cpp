// Shows the progress dialog as the updater does (caption, status text, both
// bars part way) and saves what the screen shows of it as a PNG, so that a
// person can see the Japanese text really renders. Saved to
// $UPDATER_SCREENSHOT_DIR, or to screenshots/ in the folder above the build
// tree, as progress_dialog.png.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/caption.h"
#include "ui/dialog_progress_view.h"
#include "ui/message_pump.h"
#include "ui/monitors.h"
#include "ui_test_support.h"

namespace {

// "ヴェルモラ アップデート" and "data\bgm01.oggをインストール中", code page 932.
const char CAPTION[] = "\x83\x94\x83\x46\x83\x8B\x83\x82\x83\x89\x20\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67";
const char STATUS[] = "data\\bgm01.ogg\x82\xF0\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x92\x86";

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top-down rows
    uint32_t pixel(int x, int y) const {
        size_t at = (static_cast<size_t>(y) * width + x) * 3;
        return (uint32_t{rgb[at]} << 16) | (uint32_t{rgb[at + 1]} << 8) | rgb[at + 2];
    }
};

// Copies a screen rectangle through a 24-bit top-down DIB.
Image capture(const RECT& r) {
    Image img;
    img.width = r.right - r.left;
    img.height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = img.width;
    info.bmiHeader.biHeight = -img.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, img.width, img.height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        size_t stride = (static_cast<size_t>(img.width) * 3 + 3) & ~size_t{3};
        const uint8_t* src = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const uint8_t* p = src + y * stride + x * 3;  // blue, green, red
                img.rgb.push_back(p[2]);
                img.rgb.push_back(p[1]);
                img.rgb.push_back(p[0]);
            }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return img;
}

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void chunk(std::string& png, const char type[5], const std::string& data) {
    put32(png, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    put32(png, crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

// A PNG with the image data in uncompressed ("stored") deflate blocks.
std::string encode_png(const Image& img) {
    std::string raw;
    for (int y = 0; y < img.height; ++y) {
        raw.push_back('\0');  // filter: none
        raw.append(reinterpret_cast<const char*>(&img.rgb[static_cast<size_t>(y) * img.width * 3]),
                   static_cast<size_t>(img.width) * 3);
    }
    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? '\x01' : '\x00');
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, at, n);
    }
    put32(z, (b << 16) | a);
    std::string header;
    put32(header, static_cast<uint32_t>(img.width));
    put32(header, static_cast<uint32_t>(img.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", "");
    return png;
}

std::string screenshot_dir() {
    char buf[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("UPDATER_SCREENSHOT_DIR", buf, sizeof buf);
    if (n > 0 && n < sizeof buf)
        return buf;
    n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string path(buf, n < sizeof buf ? n : 0);
    for (int up = 0; up < 4; ++up) {  // <build>/<tree>/tests/win32/x.exe -> <build>
        size_t slash = path.find_last_of("\\/");
        path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    }
    return path + "\\screenshots";
}

// Lets the display map and paint the window: pumping, never asserting time.
void settle(HWND window) {
    for (int i = 0; i < 25; ++i) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        pump_messages();
        Sleep(20);
    }
}

// Pixels inside `r` (screen coordinates) whose colour is `colour`.
int count_colour(const Image& img, const RECT& window, const RECT& r, uint32_t colour) {
    int count = 0;
    for (int y = r.top - window.top; y < r.bottom - window.top; ++y)
        for (int x = r.left - window.left; x < r.right - window.left; ++x)
            if (x >= 0 && y >= 0 && x < img.width && y < img.height && img.pixel(x, y) == colour)
                ++count;
    return count;
}

uint32_t rgb_of(COLORREF c) {
    return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

TEST(DialogScreenshot, ShowsTitleButtonAndBothBars) {
    ui_test::reset_state();
    strcpy(caption_buffer, CAPTION);
    HWND dialog = ui_test::create_progress_dialog();
    ASSERT_NE(dialog, nullptr);
    release_monitors();
    gather_monitors();
    SetWindowTextA(dialog, caption_buffer);
    center_window(dialog);
    ShowWindow(dialog, SW_SHOWNORMAL);
    DialogProgressView view;
    view.set_file_range(0xFFFF);
    view.set_total_range(3);
    view.set_status(STATUS);
    view.set_file_position(43690);
    view.set_total_position(1);
    settle(dialog);

    RECT window = {};
    ASSERT_TRUE(GetWindowRect(dialog, &window));
    Image img = capture(window);
    ASSERT_EQ(img.rgb.size(), static_cast<size_t>(img.width) * img.height * 3);

    // Both bars show their filled part in the highlight colour: two thirds of
    // the file bar, one third of the total bar.
    RECT file_bar, total_bar;
    GetWindowRect(GetDlgItem(dialog, IDC_FILE_PROGRESS), &file_bar);
    GetWindowRect(GetDlgItem(dialog, IDC_TOTAL_PROGRESS), &total_bar);
    uint32_t fill = rgb_of(GetSysColor(COLOR_HIGHLIGHT));
    int file_fill = count_colour(img, window, file_bar, fill);
    int total_fill = count_colour(img, window, total_bar, fill);
    EXPECT_GT(file_fill, 0);
    EXPECT_GT(total_fill, 0);
    EXPECT_GT(file_fill, total_fill);

    // The button face carries its text: not every pixel is the face colour.
    RECT button;
    GetWindowRect(GetDlgItem(dialog, IDC_CANCEL_BUTTON), &button);
    int area = (button.right - button.left) * (button.bottom - button.top);
    EXPECT_LT(count_colour(img, window, button, rgb_of(GetSysColor(COLOR_BTNFACE))), area);

    std::string dir = screenshot_dir();
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\progress_dialog.png";
    std::string png = encode_png(img);
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(fwrite(png.data(), 1, png.size(), f), png.size());
    fclose(f);
    printf("screenshot: %s (%dx%d)\n", path.c_str(), img.width, img.height);
    release_monitors();
    ui_test::reset_state();
}

}  // namespace
