# Header-only libraries from Debian's packages: nlohmann-json3-dev (JSON) and
# libcli11-dev (command line), installed by scripts/install-deps.sh. They live
# in /usr/include, which the cross compiler must not search as a whole (it
# would take the C library's headers for its own), so the Win32 tree sees them
# through a folder in its build tree that holds links to just these two.
add_library(header_libraries INTERFACE)
foreach(header nlohmann/json.hpp CLI/CLI.hpp)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/install-deps.sh")
  endif()
endforeach()
if(CMAKE_CROSSCOMPILING)
  set(linked ${CMAKE_BINARY_DIR}/header_libraries)
  file(MAKE_DIRECTORY ${linked})
  foreach(folder nlohmann CLI)
    file(CREATE_LINK /usr/include/${folder} ${linked}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(header_libraries SYSTEM INTERFACE ${linked})
endif()
