# Distribution: the installer Brenvik-USB-<version>-setup.exe (NSIS) and the portable archive
# Brenvik-USB-<version>-portable.zip, written to BRENVIK_PACKAGE_DIR by installer/package.cmake,
# and their tests under Wine in a prefix of their own.

find_program(BRENVIK_MAKENSIS makensis)
if(NOT BRENVIK_MAKENSIS)
    message(WARNING "makensis not found (Debian package nsis): no installer, no packaging tests")
    return()
endif()

set(BRENVIK_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package CACHE PATH "Where the packages are written")

# The maker's name, web address and copyright year as res/maker.h defines them for the program.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/maker.h)
foreach(field MAKER_NAME MAKER_URL COPYRIGHT_YEAR)
    file(STRINGS ${CMAKE_SOURCE_DIR}/res/maker.h line REGEX "^#define BRENVIK_${field} \"[^\"]*\"$")
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\"$" "\\1" BRENVIK_${field} "${line}")
endforeach()

string(REPLACE ", " "." brenvik_version_dotted "${BRENVIK_VERSION_FIELDS}")
# Always run: the script itself skips the work when the packages are up to date. The images come
# from the program folder as the build leaves them, so no list of them is kept here.
add_custom_target(brenvik_package ALL
    COMMAND ${CMAKE_COMMAND} -DBIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
            -DWORK=${CMAKE_BINARY_DIR}/package-work -DOUT=${BRENVIK_PACKAGE_DIR}
            -DVERSION=${PROJECT_VERSION} -DVERSION_FIELDS=${brenvik_version_dotted}
            "-DMAKER=${BRENVIK_MAKER_NAME}" "-DMAKER_URL=${BRENVIK_MAKER_URL}"
            -DYEAR=${BRENVIK_COPYRIGHT_YEAR}
            -DWITH_CLI=$<TARGET_EXISTS:brenvik> -DMAKENSIS=${BRENVIK_MAKENSIS}
            -P ${CMAKE_SOURCE_DIR}/installer/package.cmake
    COMMENT "Packaging Brenvik-USB ${PROJECT_VERSION}"
    VERBATIM)
add_dependencies(brenvik_package Brenvik-USB ftcspi_stand_in)
# The console companion is defined by another part of the build, possibly after this one.
cmake_language(DEFER CALL cmake_language EVAL CODE
               "if(TARGET brenvik)\n add_dependencies(brenvik_package brenvik)\nendif()")

if(NOT (CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX))
    return()
endif()

# The packaging tests install, start and remove the program like a technician, in a Wine prefix
# of their own that every run makes anew, so no earlier installation and none of the other
# tests' files can hide a fault.
set(brenvik_package_wine ${CMAKE_BINARY_DIR}/package-wine-run.sh)
block()
    set(BRENVIK_WINEPREFIX ${BRENVIK_PACKAGE_DIR}/wineprefix)
    configure_file(${CMAKE_SOURCE_DIR}/scripts/wine/wine-run.sh.in ${brenvik_package_wine} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
endblock()

add_executable(package_tests ${CMAKE_SOURCE_DIR}/tests/windows/package_test.cpp)
target_link_libraries(package_tests PRIVATE brenvik_wintest_support GTest::gtest_main ole32 shell32
                                            uuid)
add_dependencies(package_tests brenvik_package)

# A new prefix and a freshly unpacked archive for every run ($1 the prefix's wrapper, $2 cmake,
# $3 the archive).
# Shell lines end in newlines: a semicolon would split the command's list.
set(prepare [["$1" --stop
rm -rf wineprefix portable && mkdir portable && cd portable && "$2" -E tar xf "$3" &&
exec "$1" --start]])
add_test(NAME package.start
         COMMAND sh -c "${prepare}" sh ${brenvik_package_wine} ${CMAKE_COMMAND}
                 ${BRENVIK_PACKAGE_DIR}/Brenvik-USB-${PROJECT_VERSION}-portable.zip
         WORKING_DIRECTORY ${BRENVIK_PACKAGE_DIR})
set_tests_properties(package.start PROPERTIES FIXTURES_SETUP package TIMEOUT 300)
# The prefix's virtual desktop is a window of its own on the shared display: it exists only while
# no other Wine test runs, from the test's first window until the prefix stops right after it.
set(run_then_stop [["$1" "$2"
status=$?
"$1" --stop
exit $status]])
add_test(NAME package
         COMMAND sh -c "${run_then_stop}" sh ${brenvik_package_wine} $<TARGET_FILE:package_tests>
         WORKING_DIRECTORY ${BRENVIK_PACKAGE_DIR})
set_tests_properties(package PROPERTIES FIXTURES_REQUIRED package RESOURCE_LOCK wine_desktop
                                        TIMEOUT 300)
add_test(NAME package.stop COMMAND ${brenvik_package_wine} --stop)
set_tests_properties(package.stop PROPERTIES FIXTURES_CLEANUP package TIMEOUT 60)
