# brenvik.exe: the command line as a 32-bit console program beside Brenvik-USB.exe, loading
# FTCSPI.dll by ordinal like the window, and its Wine test through the stand-in library.

add_executable(brenvik ${CMAKE_SOURCE_DIR}/cli/main.cpp
                       ${CMAKE_SOURCE_DIR}/cli/installed_library_win32.cpp
                       ${CMAKE_SOURCE_DIR}/cli/no_external_commands.cpp)
target_link_libraries(brenvik PRIVATE brenvik_cli brenvik_adapter_win32 brenvik_win32)
add_dependencies(brenvik ftcspi_stand_in)

# brenvik.exe status through the stand-in FTCSPI.dll beside it: exit 0 only when the connection
# and a whole status block came through the library's ordinals.
brenvik_add_wine_test(NAME cli.status COMMAND brenvik ARGS status TIMEOUT 60)
set_tests_properties(cli.status PROPERTIES ENVIRONMENT "BRENVIK_VSUPPLY_STATE=none")

# brenvik.exe alone in a folder, with no FTCSPI.dll there or anywhere the system looks: exit 1,
# and the message names the library and the folders searched.
if(TEST wine.start)
    set(no_library [[rm -rf "$3" && mkdir "$3" && cp "$2" "$3" && cd "$3" || exit 2
output="$("$1" brenvik.exe status)"
status=$?
printf "%s\n" "$output"
[ "$status" -eq 1 ] || exit 1
printf "%s\n" "$output" | grep -q "^brenvik: no adapter library: FTCSPI.dll was not found in .*brenvik-no-library, .* or the folders on PATH; install"]])
    add_test(NAME cli.no_library
             COMMAND sh -c "${no_library}" sh ${CMAKE_BINARY_DIR}/wine-run.sh $<TARGET_FILE:brenvik>
                     ${CMAKE_BINARY_DIR}/brenvik-no-library)
    set_tests_properties(cli.no_library PROPERTIES TIMEOUT 60 RESOURCE_LOCK wine_desktop
                                                   FIXTURES_REQUIRED wine)
endif()
