# The dialog layer, the application shell and the Brenvik-USB program, with their Windows tests,
# the probe tool and the start-up benchmark programs.

enable_language(RC)

# The dialog layer, and the Windows half of the shell in the shell's own library (the entry point
# goes to the program).
file(GLOB BRENVIK_FRAMEWORK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/framework/*.cpp)
add_library(brenvik_framework STATIC ${BRENVIK_FRAMEWORK_SOURCES})
target_include_directories(brenvik_framework PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(brenvik_framework PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                    _WIN32_WINNT=0x0601)
target_link_libraries(brenvik_framework PUBLIC brenvik_ui comctl32 comdlg32 gdi32 msimg32 ole32
                                             shell32 user32 windowscodecs)
add_dependencies(brenvik_framework brenvik_framework_layer)

file(GLOB BRENVIK_SHELL_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/*_win32.cpp)
list(FILTER BRENVIK_SHELL_WIN32_SOURCES EXCLUDE REGEX "/shell/main_win32\\.cpp$")
target_sources(brenvik_shell PRIVATE ${BRENVIK_SHELL_WIN32_SOURCES})
# Without the vendor's library the window reaches the bridge through the driver's library.
target_link_libraries(brenvik_shell PUBLIC brenvik_framework brenvik_usb_pipes)

# The resources are compiled once and linked into the program and the in-process tests.
add_library(brenvik_resources OBJECT ${CMAKE_SOURCE_DIR}/res/brenvik.rc)
target_include_directories(brenvik_resources PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/brenvik.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/brenvik.ico;${CMAKE_SOURCE_DIR}/res/brenvik.manifest;${CMAKE_SOURCE_DIR}/res/maker.h;${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_BINARY_DIR}/generated/res/version.h")

add_executable(Brenvik-USB WIN32 ${CMAKE_SOURCE_DIR}/shell/main_win32.cpp
                                 $<TARGET_OBJECTS:brenvik_resources>)
target_link_libraries(Brenvik-USB PRIVATE brenvik_shell brenvik_adapter_win32)
# The stand-in adapter library lies beside the program in every build, as the vendor's would.
add_dependencies(Brenvik-USB ftcspi_stand_in)
# So do the pictures the window paints (drawn by scripts/make_images.py), which the program
# opens from its current directory.
file(GLOB BRENVIK_IMAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/images/*.png)
add_custom_target(brenvik_images
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${BRENVIK_IMAGES} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    DEPENDS ${BRENVIK_IMAGES} VERBATIM)
add_dependencies(Brenvik-USB brenvik_images)
target_link_options(Brenvik-USB PRIVATE -municode)

# The program driver (tools/driver): drives a running program from a test, the probe or a
# benchmark. Beside it, the Windows tests' own helper that runs a dialog on a thread of the test.
file(GLOB BRENVIK_PROGRAM_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/driver/*.cpp)
add_library(brenvik_program_driver STATIC ${BRENVIK_PROGRAM_DRIVER_SOURCES})
target_link_libraries(brenvik_program_driver PUBLIC brenvik_framework)
file(GLOB BRENVIK_WINTEST_SUPPORT_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/windows/support/*.cpp)
add_library(brenvik_wintest_support STATIC ${BRENVIK_WINTEST_SUPPORT_SOURCES})
target_link_libraries(brenvik_wintest_support PUBLIC brenvik_program_driver brenvik_shell)

# Tests that run the main window and the dialog layer inside the test program (it carries the
# program's resources), one program and CTest entry per file.
foreach(file shell_window_test shell_framework_test)
    brenvik_add_wine_test_file(${CMAKE_SOURCE_DIR}/tests/windows/${file}.cpp TIMEOUT 90
                               SOURCES $<TARGET_OBJECTS:brenvik_resources>
                               LIBRARIES brenvik_virtual_supply DEPENDS Brenvik-USB)
endforeach()

# Console tool with which scripts wait for the window, read the status line and close the program.
add_executable(brenvik-probe ${CMAKE_SOURCE_DIR}/tools/probe/probe.cpp)
target_link_libraries(brenvik-probe PRIVATE brenvik_program_driver)
target_link_options(brenvik-probe PRIVATE -municode)

# Start-up benchmark (bench/startup/run.sh): a minimal dialog program built like Brenvik-USB, and
# the timer that starts both. Not registered with CTest.
add_executable(startup-minimal WIN32 ${CMAKE_SOURCE_DIR}/bench/startup/minimal_dialog.cpp
                                     ${CMAKE_SOURCE_DIR}/bench/startup/minimal_dialog.rc)
target_include_directories(startup-minimal PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(startup-minimal PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(startup-minimal PRIVATE comctl32)
target_link_options(startup-minimal PRIVATE -municode)

add_executable(startup-timer ${CMAKE_SOURCE_DIR}/bench/startup/startup_timer.cpp)
target_link_libraries(startup-timer PRIVATE brenvik_program_driver)
target_link_options(startup-timer PRIVATE -municode)

# Painting benchmark (bench/look/run.sh): repaint cost of the main window with and without its
# pictures, and a GDI object, handle and memory soak of repaints and monitor ticks. Not
# registered with CTest.
add_executable(look-bench ${CMAKE_SOURCE_DIR}/bench/look/look_bench.cpp
                          $<TARGET_OBJECTS:brenvik_resources>)
target_link_libraries(look-bench PRIVATE brenvik_wintest_support brenvik_virtual_supply)
target_link_options(look-bench PRIVATE -municode)
add_dependencies(look-bench Brenvik-USB)
