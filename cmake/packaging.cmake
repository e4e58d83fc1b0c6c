# make package (scripts/package.sh runs cpack in both trees):
#   native tree  patchtool_<version>_amd64.deb: this tree's install (patchtool,
#                the man page, the docs) and the Win32 tree's (the bare stub in
#                share/updater/, where the installed patchtool looks for it)
#   Win32 tree   patchtool-<version>-win32.zip: patchtool.exe beside
#                updater.exe, where it looks when it has no share/ folder, the
#                README and the license
# cmake/package_stage.cmake then gives the staged files what Debian asks of a
# package and what makes two runs give the same bytes.
if(UPDATER_SANITIZE OR UPDATER_FUZZ)
  return()  # only the release builds ship
endif()
set(CPACK_PACKAGE_NAME patchtool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmora updater authors")
set(CPACK_PACKAGE_CONTACT "The Velmora updater authors <updater@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "builds, inspects and applies patches of the Velmora game")
set(CPACK_PACKAGE_DESCRIPTION [[
patchtool is the publisher's tool for the Velmora updater: it builds a
self-contained updater.exe from the bare updater shipped with it, a caption
and the new release's files (only what changed since earlier releases, when
told of them), inspects a built patch, verifies an installation against its
hash list, and applies a patch to an installation without the Windows program.]])
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_VERBATIM_VARIABLES ON)
# cpack installs what make package has already built: a build of its own
# would race the tests that use the same trees while the packages' test runs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/package_stage.cmake)
# Read by package_stage.cmake.
set(CPACK_UPDATER_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_UPDATER_STRIP ${CMAKE_STRIP})

if(WIN32)
  if(NOT TARGET patchtool OR NOT TARGET updater)
    return()
  endif()
  # Only in the zip: make install keeps the stub in share/updater/.
  install(PROGRAMS $<TARGET_FILE:patchtool> $<TARGET_FILE:updater> DESTINATION .
          COMPONENT windows EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .
          COMPONENT windows EXCLUDE_FROM_ALL)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME patchtool-${PROJECT_VERSION}-win32)
  # Packed as a component: cpack then adds its files in name order, not in the
  # order the file system lists them, which differs from one machine to the next.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL windows)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  get_filename_component(build_trees ${CMAKE_BINARY_DIR} DIRECTORY)
  set(UPDATER_WIN32_TREE ${build_trees}/win32 CACHE PATH
      "Win32 build tree whose bare updater.exe the .deb carries")
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/;${UPDATER_WIN32_TREE};${PROJECT_NAME};ALL;/")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
endif()
include(CPack)
