# Compiler options shared by every target, and helpers for plug-ins and tests.

add_library(tovra_options INTERFACE)
if(MSVC)
  target_compile_options(tovra_options INTERFACE /W4)
else()
  target_compile_options(tovra_options INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wno-unused-parameter>)
endif()
if(WIN32)
  # Plain ANSI Win32 calls throughout; nothing of the library is Unicode.
  target_compile_definitions(tovra_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
endif()
if(WIN32 AND NOT MSVC)
  # The same bytes from every build of a commit: no link time in the PE
  # header, and source and build paths (in __FILE__ and debug information)
  # written relative, whatever folder the tree was built in. The build
  # directory's map comes last, so that it wins inside the source tree.
  target_compile_options(tovra_options INTERFACE
    $<$<COMPILE_LANGUAGE:C,CXX,ASM>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
  # A release links stripped: stripping later (strip, CPack) would write a
  # time into the header again.
  target_link_options(tovra_options INTERFACE -Wl,--no-insert-timestamp $<$<CONFIG:Release,MinSizeRel>:-s>)
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

# A Windows version resource for a file we ship: the project's version, the
# product, what the file is and the name it is built under.
#   tovra_version_resource(TARGET "description")
function(tovra_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  get_target_property(TOVRA_RC_NAME ${target} OUTPUT_NAME)
  if(NOT TOVRA_RC_NAME)
    set(TOVRA_RC_NAME ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(TOVRA_RC_FILE ${TOVRA_RC_NAME}.exe)
    set(TOVRA_RC_TYPE 0x1)  # VFT_APP
  else()
    set(TOVRA_RC_FILE ${TOVRA_RC_NAME}.dll)
    set(TOVRA_RC_TYPE 0x2)  # VFT_DLL
  endif()
  set(TOVRA_RC_DESCRIPTION "${description}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
endfunction()
