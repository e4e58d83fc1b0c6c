// Replays every path of the start-up sequence through a recording
// StartupSystem: the exact order of calls (the library search restricted
// before anything else), the message and style of each box, the exit code
// and that the run log ends with it, and
// that both mutexes are closed (engine's first) on every path. The real
// library search restriction is tried on this process itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include "driver/install_folder.h"
#include "driver/messages.h"
#include "driver/startup.h"
#include "ui/caption.h"
#include "ui/progress_dialog.h"

namespace {

HANDLE const OWN_MUTEX = reinterpret_cast<HANDLE>(0x11);
HANDLE const ENGINE_MUTEX = reinterpret_cast<HANDLE>(0x22);
HWND const DIALOG = reinterpret_cast<HWND>(0x33);

struct Scenario {
    const char* name;
    DWORD own_error;
    bool caption_ok;
    DWORD engine_error;
    bool folder_ok;
    int answer;
    bool dialog_ok;
    UpdateResult result;
    bool dialog_closes_itself;  // WM_CLOSE during the update cleared dialog_handle
    const char* trace;
    int exit_code;
};

const Scenario* current = nullptr;
std::string trace;

void record(const std::string& step)
{
    if (!trace.empty())
        trace += " ";
    trace += step;
}

const char* message_name(const char* text)
{
    struct Named { const char* text; const char* name; };
    const Named names[] = {
        {MSG_VERSION_INFO_FAILED, "VERSION_INFO_FAILED"}, {MSG_GAME_RUNNING, "GAME_RUNNING"},
        {MSG_NOT_INSTALLED, "NOT_INSTALLED"}, {MSG_CONFIRM_UPDATE, "CONFIRM_UPDATE"},
        {MSG_DIALOG_FAILED, "DIALOG_FAILED"}, {MSG_UPDATE_COMPLETED, "UPDATE_COMPLETED"},
        {MSG_UPDATE_DAMAGED, "UPDATE_DAMAGED"}, {MSG_UPDATE_FAILED, "UPDATE_FAILED"},
        {MSG_UNINST_LIST_FAILED, "UNINST_LIST_FAILED"},
    };
    for (const Named& n : names) {
        if (n.text == text)
            return n.name;
    }
    return "?";
}

void fake_restrict() { record("libraries"); }

HANDLE fake_mutex(const char* name, DWORD* last_error)
{
    bool own = std::strcmp(name, UPDATER_MUTEX_NAME) == 0;
    bool engine = std::strcmp(name, ENGINE_MUTEX_NAME) == 0;
    record(own ? "mutex:own" : engine ? "mutex:engine" : "mutex:?");
    *last_error = own ? current->own_error : current->engine_error;
    return own ? OWN_MUTEX : ENGINE_MUTEX;
}

void fake_close(HANDLE h)
{
    record(h == OWN_MUTEX ? "close:own" : h == ENGINE_MUTEX ? "close:engine" : "close:?");
}

bool fake_caption(char* caption)
{
    record("caption");
    std::strcpy(caption, "Title");
    return current->caption_ok;
}

bool fake_folder(char* out, const char* vendor, const char* product)
{
    record(std::string("folder:") + vendor + (std::strcmp(product, PRODUCT_KEY) == 0 ? "" : ":?"));
    std::strcpy(out, "C:\\Game");
    return current->folder_ok;
}

int fake_box(const char* text, const char* title, UINT flags)
{
    const char* who = std::strcmp(title, "Title") == 0 ? "caption"
                      : std::strcmp(title, MSG_ERROR_CAPTION) == 0 ? "error" : "?";
    char step[96];
    std::snprintf(step, sizeof step, "box:%s:%#x:%s", message_name(text), flags, who);
    record(step);
    return text == MSG_CONFIRM_UPDATE ? current->answer : IDOK;
}

HWND fake_dialog(HINSTANCE) { record("dialog"); return current->dialog_ok ? DIALOG : nullptr; }
void fake_gather() { record("gather"); }
void fake_title(HWND w, const char* t)
{
    record(w == DIALOG && std::strcmp(t, "Title") == 0 ? "title" : "title:?");
}
void fake_center(HWND w) { record(w == DIALOG ? "center" : "center:?"); }
void fake_show(HWND w, int show) { record(w == DIALOG ? "show:" + std::to_string(show) : "show:?"); }
UpdateResult fake_update(const char* dir)
{
    record(std::strcmp(dir, "C:\\Game") == 0 ? "update" : "update:?");
    if (current->dialog_closes_itself)
        dialog_handle = nullptr;
    return current->result;
}
void fake_destroy(HWND w) { record(w == DIALOG ? "destroy" : "destroy:?"); }
void fake_release() { record("release"); }
void fake_log_note(const char*, const char*) {}
// The exit code the run log ended with; the trace leaves the log out.
int logged_exit = 0;
void fake_log_exit(int exit_code, const char*) { logged_exit = exit_code; }

const StartupSystem FAKE = {
    fake_restrict, fake_mutex, fake_close, fake_caption, fake_folder, fake_box, fake_dialog, fake_gather,
    fake_title, fake_center, fake_show, fake_update, fake_destroy, fake_release, fake_log_note, fake_log_exit,
};

const char* const UPTO_DIALOG =
    "mutex:own caption mutex:engine folder:LARKWELL box:CONFIRM_UPDATE:0x124:caption dialog "
    "gather title center show:5 update";
const char* const CLOSE = "close:engine close:own";
const std::string FIRST = "libraries ";

std::string expected_after_update(const char* rest)
{
    return FIRST + UPTO_DIALOG + " " + rest + " " + CLOSE;
}

const Scenario SCENARIOS[] = {
    {"second_instance", ERROR_ALREADY_EXISTS, true, 0, true, IDYES, true, 0, false,
     "mutex:own close:own", -6},
    {"caption_unreadable", 0, false, 0, true, IDYES, true, 0, false,
     "mutex:own caption box:VERSION_INFO_FAILED:0x30:error close:own", -5},
    {"game_running", 0, true, ERROR_ALREADY_EXISTS, true, IDYES, true, 0, false,
     "mutex:own caption mutex:engine box:GAME_RUNNING:0x30:caption close:engine close:own", -2},
    {"not_installed", 0, true, 0, false, IDYES, true, 0, false,
     "mutex:own caption mutex:engine folder:LARKWELL box:NOT_INSTALLED:0x30:caption "
     "close:engine close:own", -1},
    {"declined", 0, true, 0, true, IDNO, true, 0, false,
     "mutex:own caption mutex:engine folder:LARKWELL box:CONFIRM_UPDATE:0x124:caption "
     "close:engine close:own", -3},
    {"box_failed_is_no", 0, true, 0, true, 0, true, 0, false,
     "mutex:own caption mutex:engine folder:LARKWELL box:CONFIRM_UPDATE:0x124:caption "
     "close:engine close:own", -3},
    {"dialog_failed", 0, true, 0, true, IDYES, false, 0, false,
     "mutex:own caption mutex:engine folder:LARKWELL box:CONFIRM_UPDATE:0x124:caption dialog "
     "box:DIALOG_FAILED:0x30:caption close:engine close:own", -4},
};

struct ResultCase {
    UpdateResult result;
    bool closes_itself;
    const char* rest;
    int exit_code;
};

const ResultCase RESULTS[] = {
    {UPDATE_OK, false, "destroy box:UPDATE_COMPLETED:0x40:caption release", 0},
    {UPDATE_E_DAMAGED, false, "destroy box:UPDATE_DAMAGED:0x30:caption release", -2147483647},
    {UPDATE_E_TOO_MANY_ENTRIES, false, "destroy box:UPDATE_DAMAGED:0x30:caption release", -2147483646},
    {UPDATE_E_RESERVED_3, false, "destroy box:UPDATE_DAMAGED:0x30:caption release", -2147483645},
    {UPDATE_E_FAILED, false, "destroy box:UPDATE_FAILED:0x30:caption release", -2147483644},
    {UPDATE_E_UNINST_LIST, false, "destroy box:UNINST_LIST_FAILED:0x30:caption release", -2147483643},
    {UPDATE_E_CANCELLED, false, "destroy release", -2147483642},
    {UPDATE_E_CLOSED, true, "release", -2147483641},
    {UPDATE_E_CLOSED, false, "destroy release", -2147483641},
    {0x80000008u, false, "destroy release", -2147483640},
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        trace.clear();
        dialog_handle = nullptr;
        std::memset(caption_buffer, 0, CAPTION_SIZE);
    }
};

}  // namespace

TEST_F(Startup, EveryCheckStopsWithItsMessageAndCode)
{
    for (const Scenario& s : SCENARIOS) {
        SCOPED_TRACE(s.name);
        current = &s;
        trace.clear();
        logged_exit = 12345;  // no exit code of the updater
        EXPECT_EQ(run_startup(FAKE, nullptr, 5), s.exit_code);
        EXPECT_EQ(logged_exit, s.exit_code);
        EXPECT_EQ(trace, FIRST + s.trace);
        EXPECT_EQ(dialog_handle, nullptr);
    }
}

TEST_F(Startup, EveryResultIsReportedOnceAfterTheDialogIsGone)
{
    for (const ResultCase& r : RESULTS) {
        SCOPED_TRACE(testing::Message() << std::hex << r.result << " closes_itself=" << r.closes_itself);
        Scenario s = {"update", 0, true, 0, true, IDYES, true, r.result, r.closes_itself, "", 0};
        current = &s;
        trace.clear();
        logged_exit = 12345;  // no exit code of the updater
        EXPECT_EQ(run_startup(FAKE, nullptr, 5), r.exit_code);
        EXPECT_EQ(logged_exit, r.exit_code);
        EXPECT_EQ(trace, expected_after_update(r.rest));
        EXPECT_EQ(dialog_handle, nullptr);
    }
}

TEST_F(Startup, UnreadableCaptionBecomesTheErrorTitle)
{
    Scenario s = SCENARIOS[1];
    current = &s;
    run_startup(FAKE, nullptr, 1);
    EXPECT_STREQ(caption_buffer, MSG_ERROR_CAPTION);
}

bool caption_without_nul(char* caption)
{
    std::memset(caption, 'A', CAPTION_SIZE);
    return true;
}

TEST_F(Startup, CaptionBlockWithoutNulEndsInsideTheBuffer)
{
    Scenario s = SCENARIOS[3];  // stops at the installation check, after using the caption
    current = &s;
    StartupSystem sys = FAKE;
    sys.load_caption = caption_without_nul;
    EXPECT_EQ(run_startup(sys, nullptr, 1), -1);
    EXPECT_EQ(caption_buffer[CAPTION_SIZE - 1], 0);
    EXPECT_EQ(std::strlen(caption_buffer), CAPTION_SIZE - 1);
}

// planted_library.dll lies beside this test program, as a planted DLL would lie
// beside the downloaded updater: found before the restriction, not after it,
// while system libraries still load.
TEST(LibrarySearch, ProgramsOwnFolderIsNoLongerSearched)
{
    HMODULE before = LoadLibraryA("planted_library.dll");
    ASSERT_NE(before, nullptr) << "the planted library is not beside the test program";
    FreeLibrary(before);

    win32_startup_system().restrict_library_search();

    EXPECT_EQ(LoadLibraryA("planted_library.dll"), nullptr);
    EXPECT_NE(LoadLibraryA("version.dll"), nullptr);
}
