# Windows builds with mingw-w64 (cmake/toolchain-mingw-*.cmake).
#
# The i686 tree holds the deliverables; this machine cannot run 32-bit code,
# so that tree is checked statically (bench_add_pe_check). The x86_64 tree is
# built from the same sources and its tests run under Wine 8 through
# scripts/wine-run, in one throw-away prefix per build tree (bench_add_wine_test).

# Every program and library carries its C++ runtime (libstdc++, libgcc,
# winpthread) and needs nothing beside it but Windows' own DLLs.
add_link_options(-static)
# Shipped files without the runtime libraries' debugging sections.
add_link_options($<$<CONFIG:Release>:-s>)
# Windows XP SP3 is the oldest system the programs load on: the headers offer
# nothing newer, and the PE headers ask for XP (5.1; 5.2, XP x64, for the
# x86_64 build that runs the tests).
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bench_pe_version 5.2)
else()
  set(bench_pe_version 5.1)
endif()
string(REPLACE "." ";" bench_pe_version_parts ${bench_pe_version})
list(GET bench_pe_version_parts 0 bench_pe_major)
list(GET bench_pe_version_parts 1 bench_pe_minor)
add_link_options(-Wl,--major-os-version,${bench_pe_major},--minor-os-version,${bench_pe_minor}
  -Wl,--major-subsystem-version,${bench_pe_major},--minor-subsystem-version,${bench_pe_minor})

# The thread library's GetTickCount64 (Vista) replaced by one on GetTickCount,
# linked as an object into every program and DLL (an archive member would
# come too late: the thread library is the last on the link line).
add_library(bench_tick_count64 OBJECT ${PROJECT_SOURCE_DIR}/common/tick_count64_win32.cpp)
link_libraries("$<$<IN_LIST:$<TARGET_PROPERTY:TYPE>,EXECUTABLE$<SEMICOLON>SHARED_LIBRARY$<SEMICOLON>MODULE_LIBRARY>:bench_tick_count64>")

set(BENCH_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)
set(BENCH_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(BENCH_PE_CHECK ${PROJECT_SOURCE_DIR}/scripts/pe-check)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(BENCH_WINE_TESTS ON)
else()
  set(BENCH_WINE_TESTS OFF)
endif()

if(BUILD_TESTING AND BENCH_WINE_TESTS)
  # GoogleTest built with this toolchain from Debian's sources (package googletest).
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its sources are not ours to keep warning-free.
  set_property(TARGET gtest gtest_main PROPERTY COMPILE_OPTIONS -w)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()

  # One prefix for the tree's tests, made fresh before them and its server
  # ended after them.
  add_test(NAME WinePrefixMade COMMAND ${BENCH_WINE_RUN} init ${BENCH_WINE_PREFIX})
  set_tests_properties(WinePrefixMade PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300 LABELS windows)
  add_test(NAME WinePrefixStopped COMMAND ${BENCH_WINE_RUN} stop ${BENCH_WINE_PREFIX})
  set_tests_properties(WinePrefixStopped PROPERTIES FIXTURES_CLEANUP wine_prefix LABELS windows)
endif()

# bench_add_wine_test(NAME name COMMAND program [args...] [WINE_OPTIONS opts...] [LABELS ...])
# A test that runs a program of this tree under Wine in the tree's prefix.
# WINE_OPTIONS go to scripts/wine-run (--dir, --com, --boxes, --xvfb).
function(bench_add_wine_test)
  cmake_parse_arguments(arg "" "NAME" "COMMAND;WINE_OPTIONS;LABELS" ${ARGN})
  if(NOT BENCH_WINE_TESTS)
    return()
  endif()
  list(POP_FRONT arg_COMMAND program)
  if(TARGET ${program})
    set(program $<TARGET_FILE:${program}>)
  endif()
  add_test(NAME ${arg_NAME}
    COMMAND ${BENCH_WINE_RUN} ${arg_WINE_OPTIONS} ${BENCH_WINE_PREFIX} ${program} ${arg_COMMAND})
  set_tests_properties(${arg_NAME} PROPERTIES FIXTURES_REQUIRED wine_prefix LABELS "windows;${arg_LABELS}")
endfunction()

# bench_add_gtest_under_wine(target): the whole GoogleTest program as one test
# (listing its cases would run Wine at build time).
function(bench_add_gtest_under_wine target)
  bench_add_wine_test(NAME ${target} COMMAND ${target} ${ARGN})
endfunction()

# bench_add_pe_check(target [WINDOWED|CONSOLE] [EXPORTS names...] [RESOURCES manifest|version...]
#                    [DLL_IMPORTS dll names...])
# A static check of a Windows binary of this tree: the machine it is for, its
# subsystem (windowed or console), that it imports only Windows' own DLLs (and DLL_IMPORTS' dll,
# only those names from it), its export table and its resources
# (scripts/pe-check).
function(bench_add_pe_check target)
  cmake_parse_arguments(arg "WINDOWED;CONSOLE" "" "EXPORTS;RESOURCES;DLL_IMPORTS" ${ARGN})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(machine x86-64)
  else()
    set(machine i386)
  endif()
  set(options --machine ${machine} --objdump ${CMAKE_OBJDUMP})
  if(arg_WINDOWED)
    list(APPEND options --windowed)
  elseif(arg_CONSOLE)
    list(APPEND options --console)
  endif()
  if(arg_EXPORTS)
    list(JOIN arg_EXPORTS "," exports)
    list(APPEND options --exports ${exports})
  endif()
  if(arg_DLL_IMPORTS)
    list(POP_FRONT arg_DLL_IMPORTS dll)
    list(JOIN arg_DLL_IMPORTS "," names)
    list(APPEND options --dll-imports ${dll}:${names})
  endif()
  foreach(resource IN LISTS arg_RESOURCES)
    list(APPEND options --resource ${resource})
  endforeach()
  add_test(NAME ${target}_pe_check COMMAND ${BENCH_PE_CHECK} ${options} $<TARGET_FILE:${target}>)
  set_tests_properties(${target}_pe_check PROPERTIES LABELS "windows;static")
endfunction()

# bench_add_version_resource(target DESCRIPTION text [EXTRA rc-lines])
# Version record 1.0.0.0 with the description (UTF-8, Russian is fine).
function(bench_add_version_resource target)
  cmake_parse_arguments(arg "" "DESCRIPTION;EXTRA" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(BENCH_RC_FILE_TYPE VFT_DLL)
  else()
    set(BENCH_RC_FILE_TYPE VFT_APP)
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(BENCH_RC_INTERNAL_NAME ${output_name})
  if(type STREQUAL "SHARED_LIBRARY")
    set(BENCH_RC_FILE_NAME ${output_name}.dll)
  else()
    set(BENCH_RC_FILE_NAME ${output_name}.exe)
  endif()
  set(BENCH_RC_VERSION 1.0.0.0)
  set(BENCH_RC_VERSION_COMMAS 1,0,0,0)
  set(BENCH_RC_DESCRIPTION ${arg_DESCRIPTION})
  set(BENCH_RC_EXTRA "${arg_EXTRA}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# bench_windows_program(target DESCRIPTION text): a windowed program (no
# console) with the manifest for common controls 6, the controls set up at
# start, and the version record.
function(bench_windows_program target)
  cmake_parse_arguments(arg "" "DESCRIPTION" "" ${ARGN})
  set(manifest ${PROJECT_SOURCE_DIR}/cmake/windows/common-controls.manifest)
  bench_add_version_resource(${target} DESCRIPTION "${arg_DESCRIPTION}"
    EXTRA "1 24 \"${manifest}\"")
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc APPEND PROPERTY OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/common/common_controls_at_start_win32.cpp)
  target_link_libraries(${target} PRIVATE comctl32)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
