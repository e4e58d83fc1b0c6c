// Stands in for the running game: owns a named mutex until it is ended, or
// for at most the given number of seconds.
//   hold_mutex.exe NAME SECONDS
#include <windows.h>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
    if (mutex == nullptr)
        return 1;
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    CloseHandle(mutex);
    return 0;
}
