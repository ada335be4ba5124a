# brenvik.exe: the command line as a 32-bit console program beside Brenvik-USB.exe, loading
# FTCSPI.dll by ordinal like the window, and its Wine test through the stand-in library.

add_executable(brenvik ${CMAKE_SOURCE_DIR}/cli/main.cpp
                       ${CMAKE_SOURCE_DIR}/cli/installed_library_win32.cpp)
target_link_libraries(brenvik PRIVATE brenvik_cli brenvik_adapter_win32)
add_dependencies(brenvik ftcspi_stand_in)

# brenvik.exe status through the stand-in FTCSPI.dll beside it: exit 0 only when the connection
# and a whole status block came through the library's ordinals.
brenvik_add_wine_test(NAME cli.status COMMAND brenvik ARGS status TIMEOUT 60)
set_tests_properties(cli.status PROPERTIES ENVIRONMENT "BRENVIK_VSUPPLY_STATE=none")
