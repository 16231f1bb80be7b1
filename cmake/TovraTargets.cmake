# Compiler options shared by every target, and helpers for plug-ins and tests.

add_library(tovra_options INTERFACE)
if(MSVC)
  target_compile_options(tovra_options INTERFACE /W4)
else()
  target_compile_options(tovra_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
endif()
if(WIN32)
  # Plain ANSI Win32 calls throughout; nothing of the library is Unicode.
  target_compile_definitions(tovra_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
endif()

if(TOVRA_SANITIZE AND NOT WIN32)
  set(TOVRA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tovra_options INTERFACE ${TOVRA_SANITIZER_FLAGS})
  target_link_options(tovra_options INTERFACE ${TOVRA_SANITIZER_FLAGS})
endif()


# A plug-in or other library that the tovracaller library loads at run time:
# built without a "lib" prefix, beside everything else, named as its file.
function(tovra_add_loadable name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;DEFINITIONS;LIBRARIES" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "")
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  if(NOT WIN32)
    set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN;$ORIGIN/..")
  endif()
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  target_link_libraries(${name} PRIVATE tovra_options ${ARG_LIBRARIES})
endfunction()
