# An import library that binds CreateMappedBitmap to comctl32 by ordinal 8,
# the way the framework imports it; the toolchain's libcomctl32 binds it by
# name. It goes on the link line ahead of comctl32, so the linker takes the
# function from it. The 32-bit symbol carries its stdcall decoration (five
# arguments, 20 bytes).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(mapped_bitmap_symbol CreateMappedBitmap@20)
else()
  set(mapped_bitmap_symbol CreateMappedBitmap)
endif()
set(comctl32_ordinals_def ${CMAKE_BINARY_DIR}/comctl32-ordinals.def)
set(TOVRA_COMCTL32_ORDINALS ${CMAKE_BINARY_DIR}/lib/libcomctl32_ordinals.a)
file(WRITE ${comctl32_ordinals_def} "LIBRARY COMCTL32.dll\nEXPORTS\n  ${mapped_bitmap_symbol} @8 NONAME\n")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
execute_process(COMMAND ${CMAKE_DLLTOOL} -d ${comctl32_ordinals_def} -l ${TOVRA_COMCTL32_ORDINALS}
                RESULT_VARIABLE dlltool_result)
if(NOT dlltool_result EQUAL 0)
  message(FATAL_ERROR "${CMAKE_DLLTOOL} could not make ${TOVRA_COMCTL32_ORDINALS}")
endif()
