# Source conventions shared by every directory, so that adding a file needs no
# CMake edit:
#   *_win32.cpp  only in the Win32 tree      *_posix.cpp  only in the native tree
#   *_avx2.cpp   compiled with -mavx2         *_sse2.cpp   compiled with -msse2
# Processor-specific files are chosen at run time from the CPU's features, so
# only they get the wider instruction set.
function(updater_collect out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND result ${found})
  endforeach()
  if(WIN32)
    list(FILTER result EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER result EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  foreach(f IN LISTS result)
    if(f MATCHES "_avx2\\.cpp$")
      if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86|i686|AMD64|amd64")
        set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-mavx2")
      endif()
    elseif(f MATCHES "_sse2\\.cpp$")
      if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86|i686|AMD64|amd64")
        set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-msse2")
      endif()
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# GoogleTest from Debian's source package, built the same way in both trees.
function(updater_add_gtest)
  if(TARGET gtest)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
