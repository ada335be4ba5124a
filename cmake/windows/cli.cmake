# brenvik.exe: the command line as a 32-bit console program beside Brenvik-USB.exe, loading
# FTCSPI.dll by ordinal like the window, and its Wine test through the stand-in library.

add_executable(brenvik ${CMAKE_SOURCE_DIR}/cli/main.cpp
                       ${CMAKE_SOURCE_DIR}/cli/installed_library_win32.cpp)
target_link_libraries(brenvik PRIVATE brenvik_cli brenvik_adapter_win32)
add_dependencies(brenvik ftcspi_stand_in)
