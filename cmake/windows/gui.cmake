# Windows tests of the whole program as a user sees it: each test starts Brenvik-USB.exe from a
# folder of its own with the stand-in FTCSPI.dll (or, for the program tests, with no adapter
# library at all), drives its window and file dialogs, and ends it.
# Beside them, the configuration files on the platform's own file system.

# Each file is a program and a CTest entry of its own. Every wait inside a test ends well before
# the entry's timeout, so a message box nobody answers fails the test that left it.
file(GLOB BRENVIK_GUI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/gui_*.cpp)
foreach(source IN LISTS BRENVIK_GUI_TEST_SOURCES)
    brenvik_add_wine_test_file(${source} TIMEOUT 120 DEPENDS Brenvik-USB ftcspi_stand_in)
endforeach()
brenvik_add_wine_test_file(${CMAKE_SOURCE_DIR}/tests/windows/config_files_test.cpp TIMEOUT 60)
