# Post-link checks of the bare updater image (cmake -P):
#   IMAGE    the executable
#   LIMIT    largest allowed size in bytes: the caption block starts right after
#   OBJDUMP  objdump that reads PE files
# Fails the build when the image is too large, imports a DLL that is not
# part of Windows (a runtime DLL would be missing on the user's machine), or
# has lost address space layout randomisation or no-execute data, which an
# elevated program must keep.
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
file(SIZE "${IMAGE}" size)
if(size GREATER LIMIT)
  math(EXPR over "${size} - ${LIMIT}")
  message(FATAL_ERROR "updater image is ${size} bytes, ${over} bytes beyond ${LIMIT} "
                      "(0x28000), where the caption block begins: make it smaller")
endif()

set(system_dlls kernel32.dll user32.dll advapi32.dll msvcrt.dll gdi32.dll ntdll.dll
    shell32.dll ole32.dll oleaut32.dll comctl32.dll version.dll)
# objdump translates its headings ("Characteristics", "DLL Name") into the
# user's language; the matches below read the untranslated ones.
set(ENV{LC_ALL} C)
set(ENV{LANGUAGE} C)
execute_process(COMMAND "${OBJDUMP}" -p "${IMAGE}"
                OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${IMAGE} failed")
endif()
# DllCharacteristics: IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE (0x40) and
# NX_COMPAT (0x100). (The linker drops DYNAMIC_BASE itself when it leaves the
# relocations out, so the flag stands for a movable image.)
string(REGEX MATCH "DllCharacteristics[ \t]+([0-9a-fA-F]+)" found "${dump}")
if(NOT found)
  message(FATAL_ERROR "no DllCharacteristics in the headers of ${IMAGE}")
endif()
set(dll_flags_hex "${CMAKE_MATCH_1}")
math(EXPR dll_flags "0x${dll_flags_hex}")
math(EXPR dynamic_base "${dll_flags} & 0x40")
math(EXPR nx_compat "${dll_flags} & 0x100")
if(dynamic_base EQUAL 0 OR nx_compat EQUAL 0)
  message(FATAL_ERROR "updater image has DllCharacteristics 0x${dll_flags_hex}: DYNAMIC_BASE (0x40) "
                      "and NX_COMPAT (0x100) must both be set; link with --dynamicbase --nxcompat")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no import table found in ${IMAGE}")
endif()
set(imports)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  list(APPEND imports ${dll})
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "updater imports ${dll}, which is not a system DLL; "
                        "link it statically")
  endif()
endforeach()
list(JOIN imports ", " imports)
message(STATUS "updater image: ${size} of ${LIMIT} bytes; imports ${imports}; "
               "DllCharacteristics 0x${dll_flags_hex}")
