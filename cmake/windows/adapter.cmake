# The adapter library on Windows: the ordinal loader the program links, the stand-in FTCSPI.dll
# built from the virtual bridge and supply, and the benchmark of both. The program's own Wine
# tests (gui) exercise both, with and without the library beside the program.

add_library(brenvik_adapter_win32 STATIC ${CMAKE_SOURCE_DIR}/device/ftcspi_library_win32.cpp)
target_link_libraries(brenvik_adapter_win32 PUBLIC brenvik_device)

# Exports by ordinal only (.def file), __stdcall, runtime linked in; lands in bin beside the
# program, so the program loads it exactly as it would load the vendor's library.
add_library(ftcspi_stand_in SHARED ${CMAKE_SOURCE_DIR}/virtual_supply/dll/exports.cpp
                                   ${CMAKE_SOURCE_DIR}/virtual_supply/dll/ftcspi.def)
target_link_libraries(ftcspi_stand_in PRIVATE brenvik_virtual_supply brenvik_framework)
set_target_properties(ftcspi_stand_in PROPERTIES OUTPUT_NAME FTCSPI PREFIX "")

add_executable(adapter_transaction_bench ${CMAKE_SOURCE_DIR}/bench/adapter/transaction_bench.cpp)
target_link_libraries(adapter_transaction_bench PRIVATE brenvik_adapter_win32)
add_dependencies(adapter_transaction_bench ftcspi_stand_in)
