# Windows side of the build: the program, the stand-in adapter library, and the Windows tests,
# which run under Wine when cross-compiling from Linux.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# GoogleTest for Windows test programs, built from source (Debian's googletest package installs
# it under /usr/src/googletest; on Windows point BRENVIK_GTEST_SOURCE_DIR at a checkout or let
# find_package locate an installed one).
set(BRENVIK_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources for the Windows tests")
if(EXISTS "${BRENVIK_GTEST_SOURCE_DIR}/CMakeLists.txt")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${BRENVIK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock gmock_main)
        if(NOT TARGET GTest::${lib})
            add_library(GTest::${lib} ALIAS ${lib})
        endif()
    endforeach()
else()
    find_package(GTest REQUIRED)
endif()

# Cross-compiled tests run under Wine in a private 32-bit prefix inside the build folder, never
# the user's own. The wrapper script knows the prefix; CTest puts it in front of every test
# command through the target's emulator.
if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
    set(BRENVIK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_SOURCE_DIR}/scripts/wine/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

    # The prefix is made (or refreshed) once per test run and wineserver is kept alive through
    # the run with -p, because every Wine process start otherwise pays for a server start.
    add_test(NAME wine.start COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --start)
    set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
    add_test(NAME wine.stop COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --stop)
    set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endif()

# brenvik_add_wine_test(NAME <ctest name> COMMAND <target> [ARGS ...] [TIMEOUT <seconds>])
# Registers one CTest entry for a Windows test program. Entries share one virtual desktop and
# most of them start the single-instance program, so they run one at a time.
function(brenvik_add_wine_test)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;COMMAND;TIMEOUT" "ARGS")
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT 120)
    endif()
    add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND} ${arg_ARGS}
             WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT} RESOURCE_LOCK wine_desktop)
    if(TEST wine.start)
        set_tests_properties(${arg_NAME} PROPERTIES FIXTURES_REQUIRED wine)
    endif()
endfunction()

# brenvik_add_wine_test_file(<source> TIMEOUT <seconds> [LIBRARIES ...] [SOURCES ...]
#                            [DEPENDS ...])
# One test program and one CTest entry for one Windows test file, named after it
# (tests/windows/gui_apply_test.cpp: gui_apply_test.exe, entry gui.apply), so a window or box
# that stays open fails that file's entry alone and the others still run.
function(brenvik_add_wine_test_file source)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "LIBRARIES;SOURCES;DEPENDS")
    get_filename_component(program ${source} NAME_WE)
    string(REGEX REPLACE "_test$" "" name ${program})
    string(REGEX REPLACE "^([a-z]+)_" "\\1." name ${name})
    add_executable(${program} ${source} ${arg_SOURCES})
    target_link_libraries(${program} PRIVATE brenvik_wintest_support ${arg_LIBRARIES}
                                             GTest::gtest_main)
    if(arg_DEPENDS)
        add_dependencies(${program} ${arg_DEPENDS})
    endif()
    brenvik_add_wine_test(NAME ${name} COMMAND ${program} TIMEOUT ${arg_TIMEOUT})
endfunction()

# The project's version (major.two-digit minor, 1.05) is the only one: the resource script and the
# installer take it from here. The numeric version resource gives each digit of the minor a field
# of its own, 1.05 as 1,0,5,0.
if(NOT PROJECT_VERSION MATCHES "^([0-9]+)\\.([0-9])([0-9])$")
    message(FATAL_ERROR "Version ${PROJECT_VERSION} is not major.two-digit minor")
endif()
set(BRENVIK_VERSION_FIELDS "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, 0")
configure_file(${CMAKE_SOURCE_DIR}/res/version.h.in ${CMAKE_BINARY_DIR}/generated/res/version.h @ONLY)

file(GLOB BRENVIK_WINDOWS_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/windows/*.cmake)
foreach(part IN LISTS BRENVIK_WINDOWS_PARTS)
    include(${part})
endforeach()
