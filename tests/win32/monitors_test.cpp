// The monitor list and centring on monitor 0: a fake enumeration (calling
// add_monitor as the platform would) for layouts a virtual display cannot
// give, and the real enumeration of the virtual display.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "ui/monitors.h"
#include "ui/progress_dialog.h"
#include "ui_test_support.h"

namespace {

void fake_enumeration(const std::vector<RECT>& monitors) {
    for (RECT r : monitors)
        EXPECT_EQ(add_monitor(nullptr, nullptr, &r, 0), TRUE);
}

std::vector<int32_t> indices() {
    std::vector<int32_t> out;
    for (const MonitorEntry* e = monitor_list.head; e != nullptr; e = e->next)
        out.push_back(e->index);
    return out;
}

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class Monitors : public ::testing::Test {
protected:
    void SetUp() override { release_monitors(); }
    void TearDown() override {
        release_monitors();
        if (window_ != nullptr)
            DestroyWindow(window_);
    }

    // A borderless popup, so that its outer rectangle is exactly w x h.
    HWND popup(int x, int y, int w, int h) {
        window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, w, h, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        return window_;
    }

    POINT position() {
        RECT r = {};
        GetWindowRect(window_, &r);
        return POINT{r.left, r.top};
    }

    HWND window_ = nullptr;
};

TEST_F(Monitors, NumberedInEnumerationOrderAndFoundByIndex) {
    const RECT a = {0, 0, 800, 600}, b = {800, 0, 2080, 1024};
    fake_enumeration({a, b});
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1}));
    ASSERT_NE(monitor_list.tail, nullptr);
    EXPECT_EQ(monitor_list.tail->next, nullptr);
    RECT out = {};
    ASSERT_TRUE(find_monitor(&out, 0));
    EXPECT_TRUE(same(out, a));
    ASSERT_TRUE(find_monitor(&out, 1));
    EXPECT_TRUE(same(out, b));

    const RECT untouched = {11, 22, 33, 44};
    for (int32_t missing : {2, -1, 100}) {
        SCOPED_TRACE(missing);
        out = untouched;
        EXPECT_FALSE(find_monitor(&out, missing));
        EXPECT_TRUE(same(out, untouched));
    }
}

TEST_F(Monitors, GatheringAgainContinuesTheNumbering) {
    fake_enumeration({{0, 0, 800, 600}, {800, 0, 1600, 600}});
    fake_enumeration({{0, 0, 640, 480}, {640, 0, 1280, 480}});
    EXPECT_EQ(indices(), (std::vector<int32_t>{0, 1, 2, 3}));
    RECT out = {};
    ASSERT_TRUE(find_monitor(&out, 2));
    EXPECT_TRUE(same(out, RECT{0, 0, 640, 480}));
}

TEST_F(Monitors, ReleaseEmptiesTheListAndNumberingStartsAgain) {
    release_monitors();  // on an empty list: nothing happens
    EXPECT_EQ(monitor_list.head, nullptr);
    EXPECT_EQ(monitor_list.tail, nullptr);
    fake_enumeration({{0, 0, 800, 600}, {800, 0, 1600, 600}});
    release_monitors();
    EXPECT_EQ(monitor_list.head, nullptr);
    EXPECT_EQ(monitor_list.tail, nullptr);
    RECT out = {1, 2, 3, 4};
    EXPECT_FALSE(find_monitor(&out, 0));
    fake_enumeration({{-1024, 0, 0, 768}});
    EXPECT_EQ(indices(), std::vector<int32_t>{0});
    EXPECT_EQ(monitor_list.head, monitor_list.tail);
}

TEST_F(Monitors, CentresOnTheSizeOfMonitorZero) {
    struct Case {
        RECT monitor0;
        int width, height;
        POINT expected;
    };
    const Case cases[] = {
        {{0, 0, 800, 600}, 400, 200, {200, 200}},
        {{0, 0, 800, 600}, 411, 200, {194, 200}},    // 389 / 2
        {{0, 0, 800, 600}, 803, 200, {-1, 200}},     // -3 / 2 truncates toward zero
        {{0, 0, 800, 600}, 400, 603, {200, -1}},
        {{-800, 0, 0, 600}, 400, 200, {200, 200}},   // its left is not added
        {{1920, 300, 2720, 900}, 400, 200, {200, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " on monitor left "
                                        << c.monitor0.left);
        release_monitors();
        fake_enumeration({c.monitor0, {5000, 0, 9000, 3000}});
        ASSERT_NE(popup(13, 17, c.width, c.height), nullptr);
        center_window(window_);
        POINT p = position();
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        RECT r;
        GetWindowRect(window_, &r);
        EXPECT_EQ(r.right - r.left, c.width);  // size unchanged
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

TEST_F(Monitors, WithoutMonitorZeroTheWindowStaysWhereItIs) {
    ASSERT_NE(popup(37, 41, 400, 200), nullptr);
    center_window(window_);
    EXPECT_EQ(position().x, 37);
    EXPECT_EQ(position().y, 41);
}

TEST_F(Monitors, OffsetArithmeticNeverOverflows) {
    EXPECT_EQ(centred_offset(0, 800, 0, 400), 200);
    EXPECT_EQ(centred_offset(0, 800, 0, 803), -1);
    EXPECT_EQ(centred_offset(INT32_MIN, INT32_MAX, 0, 0), INT32_MAX);
    EXPECT_EQ(centred_offset(0, 0, INT32_MIN, INT32_MAX), INT32_MIN + 1);
}

TEST_F(Monitors, RealEnumerationCentresTheDialogOnTheVirtualDisplay) {
    ui_test::reset_state();
    ASSERT_TRUE(gather_monitors());
    ASSERT_EQ(indices(), std::vector<int32_t>{0});  // the virtual display has one monitor
    RECT screen = {};
    ASSERT_TRUE(find_monitor(&screen, 0));
    EXPECT_EQ(screen.left, 0);
    EXPECT_EQ(screen.top, 0);
    EXPECT_EQ(screen.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(screen.right, 1024);
    EXPECT_EQ(screen.bottom, 768);

    HWND dialog = ui_test::create_progress_dialog();
    ASSERT_NE(dialog, nullptr);
    center_window(dialog);
    ShowWindow(dialog, SW_SHOWNORMAL);
    RECT w = {};
    ASSERT_TRUE(GetWindowRect(dialog, &w));
    // Equal margins left and right, top and bottom (within the odd pixel).
    EXPECT_NEAR(w.left, screen.right - w.right, 1);
    EXPECT_NEAR(w.top, screen.bottom - w.bottom, 1);
    EXPECT_GT(w.left, 0);
    EXPECT_GT(w.top, 0);
    ui_test::reset_state();
}

}  // namespace
