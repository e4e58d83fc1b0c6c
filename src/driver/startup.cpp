#include "driver/startup.h"

#include <cstdint>
#include <cstring>
#include "driver/install_folder.h"
#include "driver/messages.h"
#include "ui/caption.h"
#include "ui/progress_dialog.h"

const char UPDATER_MUTEX_NAME[] = "Updater for Velmora is executing.";
const char ENGINE_MUTEX_NAME[] = "Quillon for Velmora is executing.";

namespace {

// The two named mutexes of the run. Ownership of a name lasts until its
// handle is closed or the process ends; closing here keeps the order fixed on
// every path: the engine's name first, then the updater's own.
struct RunMutexes {
    const StartupSystem& sys;
    HANDLE own = nullptr;
    HANDLE engine = nullptr;

    explicit RunMutexes(const StartupSystem& s) : sys(s) {}
    RunMutexes(const RunMutexes&) = delete;
    RunMutexes& operator=(const RunMutexes&) = delete;
    ~RunMutexes()
    {
        if (engine != nullptr)
            sys.close_handle(engine);
        if (own != nullptr)
            sys.close_handle(own);
    }
};

// Every way out ends the run log with the exit code and why, written before
// any box: a player who kills the updater at its last box leaves a whole log.
int leave(const StartupSystem& sys, int code, const char* why)
{
    sys.log_exit(code, why);
    return code;
}

int warn_and_exit(const StartupSystem& sys, const char* text, int code, const char* why)
{
    leave(sys, code, why);
    sys.message_box(text, caption_buffer, STYLE_WARNING);
    return code;
}

// An UpdateResult as the signed 32-bit exit code it stands for
// (0x80000006 -> -2147483642), without relying on a narrowing conversion.
int exit_code_for(UpdateResult result)
{
    if (result <= 0x7FFFFFFFu)
        return static_cast<int>(result);
    return -static_cast<int>(~result) - 1;
}

// Steps from the created dialog to the report. The dialog may destroy itself
// during the update (WM_CLOSE clears dialog_handle), so it is destroyed here
// only if it still exists, and always before the report, which has no owner.
UpdateResult run_with_dialog(const StartupSystem& sys, const char* folder, int show)
{
    sys.gather_monitors();
    sys.set_window_text(dialog_handle, caption_buffer);
    sys.center_window(dialog_handle);
    sys.show_window(dialog_handle, show);

    UpdateResult result = sys.run_update(folder);
    sys.log_exit(exit_code_for(result), update_result_name(result));

    if (dialog_handle != nullptr) {
        sys.destroy_window(dialog_handle);
        dialog_handle = nullptr;
    }
    ResultReport report = report_for_result(result);
    if (report.text != nullptr)
        sys.message_box(report.text, caption_buffer, report.style);
    sys.release_monitors();
    return result;
}

}  // namespace

int run_startup(const StartupSystem& sys, HINSTANCE instance, int show)
{
    sys.restrict_library_search();
    sys.log_note("updater started", nullptr);
    RunMutexes mutexes(sys);
    DWORD error = 0;
    mutexes.own = sys.create_owned_mutex(UPDATER_MUTEX_NAME, &error);
    if (error != 0)  // another updater runs: leave without a word to the player
        return leave(sys, EXIT_ALREADY_RUNNING, "another updater is running");

    if (!sys.load_caption(caption_buffer)) {
        std::memcpy(caption_buffer, MSG_ERROR_CAPTION, std::strlen(MSG_ERROR_CAPTION) + 1);
        return warn_and_exit(sys, MSG_VERSION_INFO_FAILED, EXIT_NO_CAPTION, "the caption block cannot be read");
    }
    // The block is a fixed field: one without a NUL must still end inside it.
    caption_buffer[CAPTION_SIZE - 1] = 0;
    sys.log_note("caption", caption_buffer);

    mutexes.engine = sys.create_owned_mutex(ENGINE_MUTEX_NAME, &error);
    if (error != 0)
        return warn_and_exit(sys, MSG_GAME_RUNNING, EXIT_GAME_RUNNING,
                             "the game, its launcher or its uninstaller is running");

    char folder[INSTALL_FOLDER_SIZE];
    if (!sys.find_install_folder(folder, VENDOR_KEY, PRODUCT_KEY))
        return warn_and_exit(sys, MSG_NOT_INSTALLED, EXIT_NOT_INSTALLED, "the installation is not registered");
    sys.log_note("installation folder", folder);

    if (sys.message_box(MSG_CONFIRM_UPDATE, caption_buffer, STYLE_CONFIRM) != IDYES)
        return leave(sys, EXIT_DECLINED, "the player did not confirm the update");

    dialog_handle = sys.create_dialog(instance);
    if (dialog_handle == nullptr)
        return warn_and_exit(sys, MSG_DIALOG_FAILED, EXIT_DIALOG_FAILED, "the progress dialog cannot be created");

    return exit_code_for(run_with_dialog(sys, folder, show));
}
