# Windows tests of the configuration files: the INI layer and the whole-file replacement on the
# platform's own file system, and agreement with the platform's profile functions.
file(GLOB BRENVIK_CONFIG_WINDOWS_TESTS CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/windows/config_*_test.cpp)
if(BRENVIK_CONFIG_WINDOWS_TESTS)
    add_executable(config_windows_tests ${BRENVIK_CONFIG_WINDOWS_TESTS})
    target_link_libraries(config_windows_tests PRIVATE brenvik_core GTest::gtest
                                                       GTest::gtest_main)
    brenvik_add_wine_test(NAME config_windows_tests COMMAND config_windows_tests)
endif()
