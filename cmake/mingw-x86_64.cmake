# Cross toolchain for the 64-bit Win32 test tree (build/win64). The shipped
# programs are 32-bit (cmake/mingw-i686.cmake); this tree builds the core, the
# Win32 layer's tests and patchtool.exe as 64-bit programs only so that they
# can be run under Wine's 64-bit loader on machines that cannot run 32-bit
# programs. It ships nothing.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under the 64-bit Wine loader in a prefix of their own
# (build/wine/prefix64), never the 32-bit tree's.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64-run.sh)
