# The release bundle. `cmake --install` lays it out and `cpack -G ZIP` packs
# it as tovracaller-VERSION-win32.zip or tovracaller-VERSION-win64.zip:
#   tovracaller.dll, README.txt, CHANGELOG.txt, SHA256SUMS
#   tovra-surrogate32.exe, tovra-surrogate64.exe: the surrogates that run a
#             plug-in of either bitness in a process of its own, beside the
#             library that starts them from there
#   calc.dll, echo.dll, upper.dll, tally.dll: the sample plug-ins, built,
#             beside the library that finds them there
#   tools/    tovra-host.exe, tovra-doctor.exe, tovra-console.exe
#   sdk/      tovra_plugin.h, samples/ (the samples' sources) and cmake/ (the
#             TovraPlugin package and a mingw toolchain file of the bitness)
# Tests and their plug-ins have no install rules, so they are never in it.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TOVRA_RELEASE_BITS 64)
  set(TOVRA_RELEASE_TRIPLE x86_64-w64-mingw32)
  set(TOVRA_RELEASE_PROCESSOR x86_64)
  set(TOVRA_RELEASE_DEBIAN_ARCH x86-64)
else()
  set(TOVRA_RELEASE_BITS 32)
  set(TOVRA_RELEASE_TRIPLE i686-w64-mingw32)
  set(TOVRA_RELEASE_PROCESSOR i686)
  set(TOVRA_RELEASE_DEBIAN_ARCH i686)
endif()
set(TOVRA_RELEASE_NAME tovracaller-${PROJECT_VERSION}-win${TOVRA_RELEASE_BITS})

# Directories made by the installation get the same mode whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS tovracaller tovra-surrogate RUNTIME DESTINATION .)
if(TOVRA_OTHER_SURROGATE)
  math(EXPR other_bits "96 - ${TOVRA_RELEASE_BITS}")
  install(PROGRAMS ${CMAKE_BINARY_DIR}/bin/tovra-surrogate${other_bits}.exe DESTINATION .)
endif()
install(TARGETS tovra-host tovra-doctor tovra-console RUNTIME DESTINATION tools)
# The samples beside the library: the zip works as it is unpacked.
install(TARGETS calc echo upper tally RUNTIME DESTINATION .)
install(FILES sdk/tovra_plugin.h DESTINATION sdk)
install(FILES plugins/calc.c plugins/echo.c plugins/upper.c plugins/tally.cpp DESTINATION sdk/samples)

# Texts for people who open them in Notepad: CR LF line ends.
set(release_dir ${CMAKE_BINARY_DIR}/release)
configure_file(docs/host-readme.txt ${release_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(CHANGELOG.md ${release_dir}/CHANGELOG.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${release_dir}/README.txt ${release_dir}/CHANGELOG.txt DESTINATION .)

# The plug-in authors' CMake package, which refuses a compiler of the other
# bitness, and a toolchain file that picks the compilers of this bitness and
# finds the package.
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${release_dir}/TovraPluginConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(sdk/cmake/toolchain-mingw.cmake.in ${release_dir}/toolchain-mingw.cmake @ONLY)
install(FILES sdk/cmake/TovraPluginConfig.cmake ${release_dir}/TovraPluginConfigVersion.cmake
              ${release_dir}/toolchain-mingw.cmake
        DESTINATION sdk/cmake)

# SHA256SUMS, in the format `sha256sum -c` reads, for every file installed
# before it.
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  set(names "")
  foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    file(RELATIVE_PATH name "${root}" "${file}")
    list(APPEND names "${name}")
  endforeach()
  list(REMOVE_ITEM names SHA256SUMS)
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  set(sums "")
  foreach(name IN LISTS names)
    file(SHA256 "${root}/${name}" hash)
    string(APPEND sums "${hash}  ${name}\n")
  endforeach()
  file(WRITE "${root}/SHA256SUMS" "${sums}")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}/SHA256SUMS")
]])

# The zip's entries carry one time: SOURCE_DATE_EPOCH when cpack runs with
# it, else midnight UTC of the release's date, which CHANGELOG.md gives in
# the version's heading, "## 1.0.0 (2026-12-09)". The tree carries it, so a
# copy without git history (a source archive) packs the same zip.
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md release_heading REGEX "^## ${version_pattern} \\([0-9]+-[0-9]+-[0-9]+\\)$")
if(NOT release_heading MATCHES "\\(0*([0-9]+)-0*([0-9]+)-0*([0-9]+)\\)$")
  message(FATAL_ERROR "CHANGELOG.md has no heading \"## ${PROJECT_VERSION} (YYYY-MM-DD)\": the release's date "
                      "dates the zip's entries")
endif()
# Days since 1970-01-01 of a date in the proleptic Gregorian calendar,
# counted in 400-year eras from a year that begins in March.
set(year ${CMAKE_MATCH_1})
set(month ${CMAKE_MATCH_2})
set(day ${CMAKE_MATCH_3})
if(month LESS_EQUAL 2)
  math(EXPR year "${year} - 1")
  math(EXPR month "${month} + 9")
else()
  math(EXPR month "${month} - 3")
endif()
math(EXPR era "${year} / 400")
math(EXPR year_of_era "${year} - ${era} * 400")
math(EXPR day_of_era "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + (153 * ${month} + 2) / 5 + ${day} - 1")
math(EXPR TOVRA_SOURCE_DATE_EPOCH "(${era} * 146097 + ${day_of_era} - 719468) * 86400")
file(CONFIGURE OUTPUT ${release_dir}/CPackOptions.cmake CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} @TOVRA_SOURCE_DATE_EPOCH@)
endif()
set(ENV{TZ} UTC)
]] @ONLY)

# cpack adds the staged files in the order the file system lists them, which
# differs from one file system to another (tmpfs lists the newest first,
# ext4 by a hash of the name), so the same files could be packed in another
# order elsewhere. Once cpack has made the zip, its files are packed again
# in sorted order, at the one time above.
file(CONFIGURE OUTPUT ${release_dir}/SortZipEntries.cmake CONTENT [[
file(GLOB_RECURSE entries RELATIVE "${CPACK_TEMPORARY_DIRECTORY}" "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT entries)
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE "${zip}")
  # SOURCE_DATE_EPOCH, set for cpack, dates every entry's times alike.
  execute_process(COMMAND "@CMAKE_COMMAND@" -E tar cf "${zip}" --format=zip -- ${entries}
                  WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${zip} could not be packed in sorted order")
  endif()
endforeach()
]] @ONLY)
set(CPACK_POST_BUILD_SCRIPTS ${release_dir}/SortZipEntries.cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tovracaller)
set(CPACK_PACKAGE_VENDOR tovracaller)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${TOVRA_RELEASE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PROJECT_CONFIG_FILE ${release_dir}/CPackOptions.cmake)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
