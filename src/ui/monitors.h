// The process-wide list of display monitor rectangles, numbered from 0 in the
// order the platform enumerates them, and centring a window on monitor 0.
#pragma once
#include <windows.h>
#include <cstdint>

struct MonitorEntry {
    int32_t index;        // 0 for the first entry of a list built from empty
    RECT rect;            // virtual-screen coordinates, as enumerated
    MonitorEntry* next;   // null for the last entry
};

// head and tail are both null (empty) or both set; tail->next is null.
struct MonitorList {
    MonitorEntry* head;
    MonitorEntry* tail;
};

extern MonitorList monitor_list;

// EnumDisplayMonitors callback, also callable directly (a fake enumeration):
// appends a copy of *rect numbered after the current tail (0 when empty).
// TRUE to go on; FALSE, adding nothing, when the entry cannot be allocated.
BOOL CALLBACK add_monitor(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data);
// EnumDisplayMonitors(null, null, add_monitor, 0); its result (non-zero on
// success). Entries are appended to whatever the list already holds.
BOOL gather_monitors();
// Copies the rectangle of the first entry with this index to *out: TRUE; or
// FALSE with *out untouched.
BOOL find_monitor(RECT* out, int32_t index);
// Moves the window so that it sits in the middle of a rectangle the size of
// monitor 0 placed at the screen origin (SetWindowPos, SWP_NOSIZE). Without a
// monitor 0 or a window rectangle the window stays where it is.
void center_window(HWND window);
// Frees every entry; the list is empty afterwards and numbering restarts at 0.
void release_monitors();

// The centring offset along one axis: (monitor extent - window extent) / 2,
// truncated toward zero, computed without overflow.
int32_t centred_offset(int32_t monitor_low, int32_t monitor_high,
                       int32_t window_low, int32_t window_high);
