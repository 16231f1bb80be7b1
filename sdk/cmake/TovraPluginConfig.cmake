# TovraPlugin, the CMake package of a tovracaller release's plug-in kit: the
# header tovra_plugin.h and tovra_add_plugin, which builds a plug-in DLL the
# library loads. An author's whole CMakeLists.txt:
#
#   cmake_minimum_required(VERSION 3.21)
#   project(upper LANGUAGES C)
#   find_package(TovraPlugin REQUIRED)
#   tovra_add_plugin(upper upper.c)      # UPPER.dll
get_filename_component(_tovra_plugin_sdk "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TovraPlugin_INCLUDE_DIR "${_tovra_plugin_sdk}")
if(NOT TARGET TovraPlugin::header)
  add_library(TovraPlugin::header INTERFACE IMPORTED)
  set_target_properties(TovraPlugin::header PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_tovra_plugin_sdk}")
endif()
unset(_tovra_plugin_sdk)

# tovra_add_plugin(NAME source...): the plug-in that the call $tovra[NAME,...]
# reaches. Its file is NAME in capitals, as the library asks for it, with no
# "lib" prefix; it exports load, request and unload undecorated (the header
# declares them extern "C" and cdecl) and imports no runtime DLL that a host's
# folder lacks: the compiler's runtime is linked in.
function(tovra_add_plugin name)
  if(NOT ARGN)
    message(FATAL_ERROR "tovra_add_plugin(${name}): no source files")
  endif()
  add_library(${name} SHARED ${ARGN})
  string(TOUPPER "${name}" file_name)
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME "${file_name}")
  target_link_libraries(${name} PRIVATE TovraPlugin::header)
  if(MSVC)
    set_target_properties(${name} PROPERTIES MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  elseif(WIN32)
    # -static: libgcc, libstdc++ and winpthread inside the DLL. --kill-at: an
    # entry point declared __stdcall by mistake still gets its plain name.
    target_link_options(${name} PRIVATE -static -Wl,--kill-at)
  endif()
endfunction()
