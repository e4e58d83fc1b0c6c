// The updater's entry: everything it does lives in the driver library.
#include "driver/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    return run_startup(win32_startup_system(), instance, show);
}
