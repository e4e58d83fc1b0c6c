#include "ui/monitors.h"

#include <new>

MonitorList monitor_list = {nullptr, nullptr};

BOOL CALLBACK add_monitor(HMONITOR, HDC, LPRECT rect, LPARAM) {
    // This runs inside the system's enumeration, which nothing may unwind
    // through: a failed allocation stops the enumeration instead of throwing.
    MonitorEntry* entry = new (std::nothrow) MonitorEntry;
    if (entry == nullptr || rect == nullptr) {
        delete entry;
        return FALSE;
    }
    entry->rect = *rect;
    entry->next = nullptr;
    if (monitor_list.tail != nullptr) {
        entry->index = monitor_list.tail->index + 1;
        monitor_list.tail->next = entry;
    } else {
        entry->index = 0;
        monitor_list.head = entry;
    }
    monitor_list.tail = entry;
    return TRUE;
}

BOOL gather_monitors() {
    return EnumDisplayMonitors(nullptr, nullptr, add_monitor, 0);
}

BOOL find_monitor(RECT* out, int32_t index) {
    for (const MonitorEntry* e = monitor_list.head; e != nullptr; e = e->next) {
        if (e->index == index) {
            *out = e->rect;
            return TRUE;
        }
    }
    return FALSE;
}

void release_monitors() {
    while (monitor_list.head != nullptr) {
        MonitorEntry* entry = monitor_list.head;
        monitor_list.head = entry->next;
        delete entry;
    }
    monitor_list.tail = nullptr;
}

int32_t centred_offset(int32_t monitor_low, int32_t monitor_high,
                       int32_t window_low, int32_t window_high) {
    // 64-bit intermediates keep extreme rectangles from overflowing; C++
    // division truncates toward zero (-3 / 2 == -1), as the placement needs.
    int64_t free_space = (int64_t{monitor_high} - monitor_low) - (int64_t{window_high} - window_low);
    int64_t offset = free_space / 2;
    if (offset > INT32_MAX)
        return INT32_MAX;
    if (offset < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(offset);
}

void center_window(HWND window) {
    RECT w;
    RECT m;
    if (!GetWindowRect(window, &w) || !find_monitor(&m, 0))
        return;
    // Only monitor 0's size counts: the position is measured from the screen
    // origin, the primary monitor's top-left corner.
    int32_t x = centred_offset(m.left, m.right, w.left, w.right);
    int32_t y = centred_offset(m.top, m.bottom, w.top, w.bottom);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE);
}
