# Post-link checks of the bare updater image (cmake -P):
#   IMAGE    the executable
#   LIMIT    largest allowed size in bytes: the caption block starts right after
#   OBJDUMP  objdump that reads PE files
# Fails the build when the image is too large or imports a DLL that is not
# part of Windows (a runtime DLL would be missing on the user's machine).
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
file(SIZE "${IMAGE}" size)
if(size GREATER LIMIT)
  math(EXPR over "${size} - ${LIMIT}")
  message(FATAL_ERROR "updater image is ${size} bytes, ${over} bytes beyond ${LIMIT} "
                      "(0x28000), where the caption block begins: make it smaller")
endif()

set(system_dlls kernel32.dll user32.dll advapi32.dll msvcrt.dll gdi32.dll ntdll.dll
    shell32.dll ole32.dll oleaut32.dll comctl32.dll version.dll)
execute_process(COMMAND "${OBJDUMP}" -p "${IMAGE}"
                OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${IMAGE} failed")
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
message(STATUS "updater image: ${size} of ${LIMIT} bytes; imports ${imports}")
