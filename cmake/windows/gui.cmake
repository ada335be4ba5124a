# Windows tests of the whole program as a user sees it: each test starts Brenvik-USB.exe from a
# folder of its own with the stand-in FTCSPI.dll (or, for the program tests, with no adapter
# library at all), drives its window and file dialogs, and ends it.
# Beside them, the configuration files on the platform's own file system.

file(GLOB BRENVIK_GUI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/gui_*.cpp)
add_executable(gui_tests ${BRENVIK_GUI_TEST_SOURCES}
                         ${CMAKE_SOURCE_DIR}/tests/windows/config_files_test.cpp)
target_link_libraries(gui_tests PRIVATE brenvik_wintest_support GTest::gtest_main)
add_dependencies(gui_tests Brenvik-USB ftcspi_stand_in)

# Every wait inside the tests ends well before this, so a message box nobody answers fails the
# test that left it rather than the whole run.
brenvik_add_wine_test(NAME gui COMMAND gui_tests TIMEOUT 600)
