# The adapter library on Windows: the ordinal loader the program links, the stand-in FTCSPI.dll
# built from the virtual bridge and supply, a copy of it whose names sit at the wrong ordinals,
# the conformance checker and the benchmark. The program's own Wine tests (gui) exercise them,
# with and without the library beside the program.

add_library(brenvik_adapter_win32 STATIC ${CMAKE_SOURCE_DIR}/device/ftcspi_library_win32.cpp)
target_link_libraries(brenvik_adapter_win32 PUBLIC brenvik_device)

# Exports under the vendor's names at the vendor's ordinals (.def file), __stdcall, runtime linked
# in; lands in bin beside the program, so the program loads it exactly as it would load the
# vendor's library.
add_library(ftcspi_stand_in SHARED ${CMAKE_SOURCE_DIR}/virtual_supply/dll/exports.cpp
                                   ${CMAKE_SOURCE_DIR}/virtual_supply/dll/ftcspi.def)
target_link_libraries(ftcspi_stand_in PRIVATE brenvik_virtual_supply brenvik_framework)
set_target_properties(ftcspi_stand_in PROPERTIES OUTPUT_NAME FTCSPI PREFIX "")

# The same library with every name one ordinal above the vendor's (bin/shifted-names), which the
# program must refuse before calling anything.
add_library(ftcspi_shifted_names SHARED ${CMAKE_SOURCE_DIR}/virtual_supply/dll/exports.cpp
                                        ${CMAKE_SOURCE_DIR}/virtual_supply/dll/ftcspi_shifted_names.def)
target_link_libraries(ftcspi_shifted_names PRIVATE brenvik_virtual_supply brenvik_framework)
set_target_properties(ftcspi_shifted_names PROPERTIES OUTPUT_NAME FTCSPI PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/shifted-names
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/shifted-names)

# scripts/check-adapter-library.sh runs it against any FTCSPI.dll; CTest against the stand-in.
add_executable(check-adapter-library
               ${CMAKE_SOURCE_DIR}/virtual_supply/check/check_adapter_library.cpp)
target_link_libraries(check-adapter-library PRIVATE brenvik_adapter_win32 brenvik_virtual_supply)
target_compile_definitions(check-adapter-library PRIVATE UNICODE _UNICODE)
target_link_options(check-adapter-library PRIVATE -municode)
add_dependencies(check-adapter-library ftcspi_stand_in)
brenvik_add_wine_test(NAME adapter.conformance COMMAND check-adapter-library TIMEOUT 60)
set_tests_properties(adapter.conformance PROPERTIES ENVIRONMENT "BRENVIK_VSUPPLY_STATE=none")

add_executable(adapter_transaction_bench ${CMAKE_SOURCE_DIR}/bench/adapter/transaction_bench.cpp)
target_link_libraries(adapter_transaction_bench PRIVATE brenvik_adapter_win32)
add_dependencies(adapter_transaction_bench ftcspi_stand_in)

# The Wine test of the library the program refuses, and of the bridge in use, starts the command
# line and the refused library beside the window.
cmake_language(DEFER CALL add_dependencies gui_adapter_library_test brenvik ftcspi_shifted_names)
