// Drives the real updater.exe as a user would, and writes what it saw as
// "key=value" lines for the scenario script to check.
//
//   e2e_driver.exe OUT SECONDS UPDATER [options] [ACTION...]
//     --no-icon            record box icons as "unchecked", without waiting
//                          for the paint and comparing pixels (a benchmark)
//     --hold NAME HOLDER   run HOLDER NAME first, so another process owns NAME
//     --second             start a second updater while the first asks its
//                          question, record its exit, then answer No
//   ACTION:
//     box=ok|yes|no        wait for the next message box, record it, answer it
//     dialog               wait for the progress dialog, freeze the updater's
//                          thread, record the dialog (it stays frozen)
//     resume               let it run again and sample the progress bars
//     cancel=yes|no        click the cancel button (posted BM_CLICK, only if
//                          enabled), record the question and the bars while it
//                          is open, answer it
//     close                send WM_CLOSE to the dialog
//     quit                 post WM_QUIT to the updater's main thread
//     hold=FILE            wait for the next box, create FILE, go on once it
//                          is removed (time for a screenshot)
//     hold-dialog=FILE     the same for the dialog, frozen mid-copy
// After the actions every further box is recorded and answered (OK or No)
// until the updater exits; then exit=<signed code>. Everything has one
// deadline of SECONDS; past it the updater is ended and timeout=1 recorded.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Progress bar queries (commctrl.h), named here to keep the common-controls
// header out of a program that never uses the library.
const UINT PBM_GETRANGE = WM_USER + 7;
const UINT PBM_GETPOS = WM_USER + 8;

FILE* out_file = nullptr;
DWORD deadline_tick = 0;
int box_count = 0;
bool check_icons = true;
std::vector<HWND> seen_boxes;

struct Target {
    PROCESS_INFORMATION pi;
    HWND dialog;
    bool frozen;
};

void put(const char* key, const std::string& value)
{
    std::fprintf(out_file, "%s=%s\n", key, value.c_str());
    std::fflush(out_file);
}

void put_int(const char* key, long long value) { put(key, std::to_string(value)); }

std::string hex_of(const char* text)
{
    std::string hex;
    char pair[3];
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        std::snprintf(pair, sizeof pair, "%02x", *p);
        hex += pair;
    }
    return hex;
}

bool past_deadline() { return static_cast<LONG>(GetTickCount() - deadline_tick) >= 0; }

std::string window_text(HWND window)
{
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool is_class(HWND window, const char* name)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    return lstrcmpiA(cls, name) == 0;
}

struct WindowSearch {
    bool want_dialog;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM data)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    if (!IsWindowVisible(window) || !is_class(window, "#32770"))
        return TRUE;
    bool is_dialog = GetDlgItem(window, 1000) != nullptr && GetDlgItem(window, 1002) != nullptr;
    // A dialog being destroyed loses its children first and is briefly a
    // bare visible window: a message box always has a button.
    bool is_box = !is_dialog && FindWindowExA(window, nullptr, "Button", nullptr) != nullptr;
    if (search->want_dialog ? !is_dialog : !is_box)
        return TRUE;
    for (HWND seen : seen_boxes) {
        if (seen == window)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

// A visible top-level dialog of the updater: the progress dialog or a message
// box not recorded yet. Null when none. The updater makes all its windows on
// its one thread, and asking for that thread's windows is one request to the
// Wine server where walking every top-level window costs a few per window.
HWND find_window(DWORD thread_id, bool want_dialog)
{
    WindowSearch search = {want_dialog, nullptr};
    EnumThreadWindows(thread_id, match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool exited(const Target& t) { return WaitForSingleObject(t.pi.hProcess, 0) == WAIT_OBJECT_0; }

// Looking for a window costs the Wine server requests that it would
// otherwise spend on the updater's own calls: after a short while of looking
// every millisecond, the driver looks less often, so that a long copy is not
// slowed by the one watching it.
class PollPause {
public:
    void wait()
    {
        Sleep(polls_ < FAST_POLLS ? 1 : SLOW_PAUSE_MS);
        ++polls_;
    }

private:
    static const int FAST_POLLS = 50;
    static const DWORD SLOW_PAUSE_MS = 10;
    int polls_ = 0;
};

HWND wait_window(const Target& t, bool want_dialog)
{
    PollPause pause;
    while (!past_deadline() && !exited(t)) {
        HWND found = find_window(t.pi.dwThreadId, want_dialog);
        if (found != nullptr)
            return found;
        pause.wait();
    }
    return nullptr;
}

struct Children {
    std::vector<HWND> buttons;
    HWND text;
    HWND icon;
};

BOOL CALLBACK collect_child(HWND child, LPARAM data)
{
    Children* c = reinterpret_cast<Children*>(data);
    if (!IsWindowVisible(child))
        return TRUE;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (is_class(child, "Button"))
        c->buttons.push_back(child);
    else if (is_class(child, "Static") && (style & SS_TYPEMASK) == SS_ICON)
        c->icon = child;
    else if (is_class(child, "Static") && c->text == nullptr && !window_text(child).empty())
        c->text = child;
    return TRUE;
}

// Sum of colour differences between the icon control's pixels on screen and
// `icon` drawn the way a static control draws it (stretched to its client
// area) over the control's own background colour.
unsigned long long icon_distance(HWND control, HICON icon)
{
    RECT rc;
    GetClientRect(control, &rc);
    int w = rc.right, h = rc.bottom;
    POINT origin = {0, 0};
    ClientToScreen(control, &origin);
    // The screen, not the control's own DC: the control belongs to another
    // process, and only the composed screen shows what the user sees.
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    HBRUSH brush = CreateSolidBrush(GetPixel(screen, origin.x, origin.y));
    FillRect(mem, &rc, brush);
    DeleteObject(brush);
    DrawIconEx(mem, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    unsigned long long distance = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            COLORREF a = GetPixel(screen, origin.x + x, origin.y + y), b = GetPixel(mem, x, y);
            distance += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                        std::abs(GetBValue(a) - GetBValue(b));
        }
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return distance;
}

// Which system icon the box shows: the candidate that matches its pixels best.
std::string icon_name(HWND control)
{
    if (control == nullptr)
        return "none";
    struct Candidate { const char* name; LPCSTR id; };
    const Candidate candidates[] = {
        {"information", IDI_INFORMATION}, {"warning", IDI_WARNING},
        {"question", IDI_QUESTION}, {"error", IDI_ERROR},
    };
    std::string best = "unknown";
    unsigned long long best_distance = ~0ull;
    for (const Candidate& c : candidates) {
        unsigned long long d = icon_distance(control, LoadIconA(nullptr, c.id));
        if (d < best_distance) {
            best_distance = d;
            best = c.name;
        }
    }
    return best_distance == 0 ? best : best + "~";
}

std::string owner_name(HWND box, HWND dialog)
{
    HWND owner = GetWindow(box, GW_OWNER);
    if (owner == nullptr)
        return "none";
    return owner == dialog ? "dialog" : "other";
}

void key_for(char* key, size_t size, const char* field) { std::snprintf(key, size, "box.%d.%s", box_count, field); }

// Records title, text, icon, buttons, default button and owner of a box.
Children record_box(HWND box, HWND dialog)
{
    ++box_count;
    seen_boxes.push_back(box);
    if (check_icons)
        Sleep(50);  // let the box finish painting before its icon is compared
    Children c = {{}, nullptr, nullptr};
    EnumChildWindows(box, collect_child, reinterpret_cast<LPARAM>(&c));
    char key[64];
    key_for(key, sizeof key, "title"); put(key, hex_of(window_text(box).c_str()));
    key_for(key, sizeof key, "text"); put(key, c.text ? hex_of(window_text(c.text).c_str()) : "");
    key_for(key, sizeof key, "icon"); put(key, check_icons ? icon_name(c.icon) : "unchecked");
    std::string ids, def;
    for (HWND b : c.buttons) {
        int id = GetDlgCtrlID(b);
        ids += (ids.empty() ? "" : ",") + std::to_string(id);
        if ((GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            def = std::to_string(id);
    }
    key_for(key, sizeof key, "buttons"); put(key, ids);
    key_for(key, sizeof key, "default"); put(key, def);
    key_for(key, sizeof key, "owner"); put(key, owner_name(box, dialog));
    return c;
}

// Answers a box the way a click on the button with this id would.
void answer_box(HWND box, const Children& c, int id)
{
    for (HWND b : c.buttons) {
        if (GetDlgCtrlID(b) == id) {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
            return;
        }
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

int answer_id(const char* answer)
{
    if (std::strcmp(answer, "yes") == 0)
        return IDYES;
    if (std::strcmp(answer, "no") == 0)
        return IDNO;
    return IDOK;
}

bool do_box(Target& t, const char* answer)
{
    HWND box = wait_window(t, false);
    if (box == nullptr)
        return false;
    Children c = record_box(box, t.dialog);
    answer_box(box, c, answer_id(answer));
    return true;
}

void freeze(Target& t)
{
    if (!t.frozen && SuspendThread(t.pi.hThread) != static_cast<DWORD>(-1))
        t.frozen = true;
}

void thaw(Target& t)
{
    if (t.frozen)
        ResumeThread(t.pi.hThread);
    t.frozen = false;
}

bool do_dialog(Target& t)
{
    t.dialog = wait_window(t, true);
    if (t.dialog == nullptr)
        return false;
    // Frozen at once, so that the copy is still running whatever comes next.
    freeze(t);
    RECT r;
    GetWindowRect(t.dialog, &r);
    char rect[96];
    std::snprintf(rect, sizeof rect, "%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
    put("dialog.title", hex_of(window_text(t.dialog).c_str()));
    put("dialog.rect", rect);
    put("dialog.owner", GetWindow(t.dialog, GW_OWNER) ? "other" : "none");
    MONITORINFO mi = {sizeof mi};
    GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
    std::snprintf(rect, sizeof rect, "%ld,%ld,%ld,%ld", mi.rcMonitor.left, mi.rcMonitor.top,
                  mi.rcMonitor.right, mi.rcMonitor.bottom);
    put("primary", rect);
    put("dialog.cancel_text", hex_of(window_text(GetDlgItem(t.dialog, 1000)).c_str()));
    put_int("dialog.cancel_enabled", IsWindowEnabled(GetDlgItem(t.dialog, 1000)) ? 1 : 0);
    return true;
}

// A progress bar's position and upper limit, asked with a bounded wait.
std::string bar_state(HWND dialog, int id)
{
    HWND bar = GetDlgItem(dialog, id);
    DWORD_PTR pos = 0, high = 0;
    if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &pos) ||
        !SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 2000, &high))
        return "?";
    return std::to_string(pos) + "/" + std::to_string(high);
}

void record_progress(const char* prefix, HWND dialog)
{
    std::string p(prefix);
    put((p + ".status").c_str(), hex_of(window_text(GetDlgItem(dialog, 1001)).c_str()));
    put((p + ".file").c_str(), bar_state(dialog, 1002));
    put((p + ".total").c_str(), bar_state(dialog, 1003));
}

bool do_cancel(Target& t, const char* answer)
{
    if (t.dialog == nullptr)
        return false;
    HWND button = GetDlgItem(t.dialog, 1000);
    // Let the copy reach its first entry, so that the question interrupts a
    // file being installed, then hold it there while the click is queued.
    thaw(t);
    HWND status = GetDlgItem(t.dialog, 1001);
    while (!past_deadline() && IsWindow(status) && window_text(status).empty())
        Sleep(1);
    freeze(t);
    // Under Wine a posted click presses even a disabled button; a user could not.
    bool enabled = IsWindowEnabled(button) != FALSE;
    put_int("cancel.enabled_before", enabled ? 1 : 0);
    if (enabled)
        PostMessageA(button, BM_CLICK, 0, 0);  // posted: the question it opens is modal
    thaw(t);
    if (!enabled)
        return true;
    HWND box = wait_window(t, false);
    if (box == nullptr)
        return false;
    Children c = record_box(box, t.dialog);
    record_progress("cancel", t.dialog);  // the copy waits while the question is open
    answer_box(box, c, answer_id(answer));
    if (answer_id(answer) == IDNO) {
        Sleep(20);
        put_int("cancel.enabled_after", IsWindow(button) && IsWindowEnabled(button) ? 1 : 0);
    }
    return true;
}

bool do_resume(Target& t)
{
    thaw(t);
    int samples = 0;
    while (t.dialog != nullptr && IsWindow(t.dialog) && !past_deadline() && samples < 3) {
        record_progress(("sample." + std::to_string(samples)).c_str(), t.dialog);
        ++samples;
        Sleep(5);
    }
    return true;
}

bool do_close(Target& t)
{
    thaw(t);
    DWORD_PTR reply = 0;
    LRESULT sent = SendMessageTimeoutA(t.dialog, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &reply);
    put_int("close.sent", sent != 0 ? 1 : 0);
    return true;
}

bool do_quit(Target& t)
{
    BOOL posted = PostThreadMessageA(t.pi.dwThreadId, WM_QUIT, 0, 0);
    put_int("quit.posted", posted ? 1 : 0);
    thaw(t);
    return true;
}

// Creates `path` and waits until someone removes it (a screenshot taken).
void hand_over(const char* path)
{
    FILE* f = std::fopen(path, "w");
    if (f != nullptr)
        std::fclose(f);
    while (!past_deadline() && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        Sleep(10);
}

// hold=PATH: waits for the next message box, lets it paint, hands over.
bool do_hold_box(Target& t, const char* path)
{
    if (wait_window(t, false) == nullptr)
        return false;
    Sleep(300);
    hand_over(path);
    return true;
}

// hold-dialog=PATH: waits until the dialog shows a file being installed,
// freezes the copy there, hands over, lets it go on.
bool do_hold_dialog(Target& t, const char* path)
{
    t.dialog = wait_window(t, true);
    if (t.dialog == nullptr)
        return false;
    HWND status = GetDlgItem(t.dialog, 1001);
    while (!past_deadline() && IsWindow(status) && window_text(status).empty())
        Sleep(1);
    Sleep(30);
    freeze(t);
    hand_over(path);
    thaw(t);
    return true;
}

bool run_action(Target& t, const char* action)
{
    if (std::strncmp(action, "hold=", 5) == 0)
        return do_hold_box(t, action + 5);
    if (std::strncmp(action, "hold-dialog=", 12) == 0)
        return do_hold_dialog(t, action + 12);
    if (std::strncmp(action, "box=", 4) == 0)
        return do_box(t, action + 4);
    if (std::strncmp(action, "cancel=", 7) == 0)
        return do_cancel(t, action + 7);
    if (std::strcmp(action, "dialog") == 0)
        return do_dialog(t);
    if (std::strcmp(action, "resume") == 0)
        return do_resume(t);
    if (std::strcmp(action, "close") == 0)
        return do_close(t);
    if (std::strcmp(action, "quit") == 0)
        return do_quit(t);
    put("error", std::string("unknown action ") + action);
    return false;
}

bool start(const char* exe, PROCESS_INFORMATION* pi)
{
    std::string command = std::string("\"") + exe + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA si = {sizeof si};
    return CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != FALSE;
}

// Records every further box (answered OK or No) until the updater exits.
void drain_until_exit(Target& t)
{
    thaw(t);
    PollPause pause;
    while (!past_deadline() && !exited(t)) {
        HWND box = find_window(t.pi.dwThreadId, false);
        if (box != nullptr) {
            Children c = record_box(box, t.dialog);
            char key[64];
            key_for(key, sizeof key, "unexpected");
            put(key, "1");
            answer_box(box, c, c.buttons.size() > 1 ? IDNO : IDOK);
        }
        pause.wait();
    }
}

// Final exit code, or the deadline.
int finish(Target& t)
{
    if (!exited(t)) {
        put("timeout", "1");
        TerminateProcess(t.pi.hProcess, 1);
        return 3;
    }
    DWORD code = 0;
    GetExitCodeProcess(t.pi.hProcess, &code);
    put_int("exit", static_cast<LONG>(code));
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lx", code);
    put("exit_hex", hex);
    return 0;
}

// A second updater started while the first holds its mutex (asking its
// question) must leave at once and show nothing.
void run_second(Target& first, const char* exe)
{
    HWND box = wait_window(first, false);
    if (box == nullptr)
        return;
    Children c = record_box(box, nullptr);
    Target second = {{}, nullptr, false};
    if (!start(exe, &second.pi)) {
        put("second.started", "0");
        return;
    }
    int windows = 0;
    while (!past_deadline() && !exited(second)) {
        if (find_window(second.pi.dwThreadId, false) || find_window(second.pi.dwThreadId, true))
            ++windows;
        Sleep(1);
    }
    DWORD code = 0;
    GetExitCodeProcess(second.pi.hProcess, &code);
    put_int("second.exit", exited(second) ? static_cast<LONG>(code) : 999);
    put_int("second.windows", windows);
    if (!exited(second))
        TerminateProcess(second.pi.hProcess, 1);
    answer_box(box, c, IDNO);
}

bool hold_mutex(const char* holder, const char* name, PROCESS_INFORMATION* pi)
{
    std::string command = std::string("\"") + holder + "\" \"" + name + "\" 60";
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA si = {sizeof si};
    if (!CreateProcessA(holder, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi))
        return false;
    while (!past_deadline()) {
        HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, name);
        if (m != nullptr) {
            CloseHandle(m);
            return true;
        }
        Sleep(5);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    out_file = std::fopen(argv[1], "w");
    if (out_file == nullptr)
        return 2;
    deadline_tick = GetTickCount() + static_cast<DWORD>(std::atoi(argv[2])) * 1000;
    const char* exe = argv[3];
    int i = 4;
    bool second = false;
    PROCESS_INFORMATION holder = {};
    if (i < argc && std::strcmp(argv[i], "--no-icon") == 0) {
        check_icons = false;
        ++i;
    }
    if (i + 2 < argc && std::strcmp(argv[i], "--hold") == 0) {
        put_int("hold", hold_mutex(argv[i + 2], argv[i + 1], &holder) ? 1 : 0);
        i += 3;
    }
    if (i < argc && std::strcmp(argv[i], "--second") == 0) {
        second = true;
        ++i;
    }
    Target t = {{}, nullptr, false};
    if (!start(exe, &t.pi)) {
        put("error", "cannot start the updater");
        return 2;
    }
    if (second)
        run_second(t, exe);
    for (; i < argc && !past_deadline(); ++i) {
        if (!run_action(t, argv[i])) {
            put("failed_action", argv[i]);
            break;
        }
    }
    drain_until_exit(t);
    int rc = finish(t);
    if (holder.hProcess != nullptr)
        TerminateProcess(holder.hProcess, 0);
    std::fclose(out_file);
    return rc;
}
