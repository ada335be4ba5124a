# The adapter library on Windows: the ordinal loader the program links, the stand-in FTCSPI.dll
# built from the virtual bridge and supply, and the Windows tests and benchmark of both.

add_library(brenvik_adapter_win32 STATIC ${CMAKE_SOURCE_DIR}/device/ftcspi_library_win32.cpp)
target_link_libraries(brenvik_adapter_win32 PUBLIC brenvik_core)

# Exports by ordinal only (.def file), __stdcall, runtime linked in; lands in bin beside the
# program, so the program loads it exactly as it would load the vendor's library.
add_library(ftcspi_stand_in SHARED ${CMAKE_SOURCE_DIR}/virtual_supply/dll/exports.cpp
                                   ${CMAKE_SOURCE_DIR}/virtual_supply/dll/ftcspi.def)
target_link_libraries(ftcspi_stand_in PRIVATE brenvik_virtual_supply)
set_target_properties(ftcspi_stand_in PROPERTIES OUTPUT_NAME FTCSPI PREFIX "")

# Loader and stand-in together, run from bin where FTCSPI.dll lies.
add_executable(adapter_tests ${CMAKE_SOURCE_DIR}/tests/windows/adapter_loader_test.cpp)
target_link_libraries(adapter_tests PRIVATE brenvik_adapter_win32 brenvik_wintest_support
                                            GTest::gtest_main)
add_dependencies(adapter_tests ftcspi_stand_in)

# The same loader where no FTCSPI.dll can be found.
add_executable(adapter_missing_tests ${CMAKE_SOURCE_DIR}/tests/windows/adapter_missing_test.cpp)
target_link_libraries(adapter_missing_tests PRIVATE brenvik_adapter_win32 GTest::gtest
                                                    GTest::gtest_main)
set_target_properties(adapter_missing_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                       ${CMAKE_BINARY_DIR}/no-adapter)

# Scenario, control and state files as an outside test would write them, named relative to the
# test's working folder (bin), so no host path has to be translated.
set(BRENVIK_ADAPTER_TEST_DIR ${CMAKE_BINARY_DIR}/adapter-test)
file(MAKE_DIRECTORY ${BRENVIK_ADAPTER_TEST_DIR})
configure_file(${CMAKE_SOURCE_DIR}/tests/windows/adapter_scenario.txt
               ${BRENVIK_ADAPTER_TEST_DIR}/scenario.txt COPYONLY)
brenvik_add_wine_test(NAME adapter COMMAND adapter_tests TIMEOUT 60)
set_tests_properties(adapter PROPERTIES ENVIRONMENT
                     "BRENVIK_VSUPPLY_SCENARIO=../adapter-test/scenario.txt;BRENVIK_VSUPPLY_STATE=../adapter-test/state.txt;BRENVIK_VSUPPLY_TRACE=../adapter-test/trace.txt")
brenvik_add_wine_test(NAME adapter.missing COMMAND adapter_missing_tests TIMEOUT 60)
set_tests_properties(adapter.missing PROPERTIES WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/no-adapter)

add_executable(adapter_transaction_bench ${CMAKE_SOURCE_DIR}/bench/adapter/transaction_bench.cpp)
target_link_libraries(adapter_transaction_bench PRIVATE brenvik_adapter_win32)
add_dependencies(adapter_transaction_bench ftcspi_stand_in)
