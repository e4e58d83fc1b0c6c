# The in-memory file tree (memory_files.h) and the link options that put it in
# place of the posix layer's file functions. Only the fuzz targets and the
# tree's own test link it, so no shipped program carries it and the posix
# functions never ask which is in use.
#
#   updater_link_memory_files(TARGET)  links the tree into TARGET
#
# The --wrap list comes from the TREE_TAKES lines of memory_files_seam.cpp, so
# the functions the tree takes over are named in one place.
if(NOT TARGET memory_files)
  add_library(memory_files OBJECT
    ${CMAKE_CURRENT_LIST_DIR}/memory_files_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/memory_files_seam.cpp)
  target_link_libraries(memory_files PUBLIC core)
  target_include_directories(memory_files PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/memory_files_seam.cpp)

  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/memory_files_seam.cpp taken REGEX "TREE_TAKES\\(\"[^\"]+\"\\);")
  set(MEMORY_FILES_WRAP)
  foreach(line IN LISTS taken)
    string(REGEX REPLACE ".*TREE_TAKES\\(\"([^\"]+)\"\\);.*" "\\1" symbol "${line}")
    list(APPEND MEMORY_FILES_WRAP "LINKER:--wrap=${symbol}")
  endforeach()
  set(MEMORY_FILES_WRAP ${MEMORY_FILES_WRAP} CACHE INTERNAL "")
endif()

function(updater_link_memory_files target)
  target_link_libraries(${target} memory_files)
  target_link_options(${target} PRIVATE ${MEMORY_FILES_WRAP})
endfunction()
