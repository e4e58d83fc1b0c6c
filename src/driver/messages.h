// Every text the driver shows, as code page 932 bytes, and the one table that
// maps an update's result to its message and message-box style.
#pragma once
#include <cstdint>
#include "result/update_result.h"

// Fixed texts. Most are filled with U+3000 (0x81 0x40) to exactly 52 bytes;
// the fill is part of what the user sees.
extern const char MSG_ERROR_CAPTION[];        // title used when the caption block is unreadable
extern const char MSG_VERSION_INFO_FAILED[];
extern const char MSG_GAME_RUNNING[];         // 86 bytes, no fill
extern const char MSG_NOT_INSTALLED[];
extern const char MSG_CONFIRM_UPDATE[];
extern const char MSG_DIALOG_FAILED[];
extern const char MSG_UPDATE_COMPLETED[];
extern const char MSG_UPDATE_DAMAGED[];
extern const char MSG_UPDATE_FAILED[];
extern const char MSG_UNINST_LIST_FAILED[];

// MessageBoxA flags of the two report styles and of the confirmation
// (values of MB_ICONINFORMATION | MB_OK, MB_ICONWARNING | MB_OK and
// MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, so this header needs no
// Windows header).
const uint32_t STYLE_INFORMATION = 0x40;
const uint32_t STYLE_WARNING = 0x30;
const uint32_t STYLE_CONFIRM = 0x124;

struct ResultReport {
    const char* text;   // null: nothing is shown
    uint32_t style;     // STYLE_INFORMATION or STYLE_WARNING
};

// The message for an update's result: completed (information), damaged
// (0x80000001..0x80000003), failed, uninstall list failed (warning); none for
// cancelled, closed or any other value.
ResultReport report_for_result(UpdateResult result);
