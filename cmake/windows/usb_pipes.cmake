# The pipe through the bridge driver's ftd2xx.dll, under Wine, where no driver is installed: the
# test and a library of the driver's name lie in a folder of their own, which is also the current
# folder, so the test fails if the pipe ever loads from anywhere but the system folder.

set(BRENVIK_D2XX_TEST_DIR ${CMAKE_BINARY_DIR}/bin/d2xx-test)
add_library(fake_ftd2xx SHARED ${CMAKE_SOURCE_DIR}/tests/windows/fake_ftd2xx.cpp)
set_target_properties(fake_ftd2xx PROPERTIES OUTPUT_NAME ftd2xx PREFIX ""
                                             RUNTIME_OUTPUT_DIRECTORY ${BRENVIK_D2XX_TEST_DIR})
add_executable(usb_pipes_tests ${CMAKE_SOURCE_DIR}/tests/windows/usb_pipes_test.cpp)
set_target_properties(usb_pipes_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${BRENVIK_D2XX_TEST_DIR})
target_link_libraries(usb_pipes_tests PRIVATE brenvik_usb_pipes GTest::gtest_main)
add_dependencies(usb_pipes_tests fake_ftd2xx)
brenvik_add_wine_test(NAME usb_pipes.d2xx COMMAND usb_pipes_tests TIMEOUT 60)
set_tests_properties(usb_pipes.d2xx PROPERTIES WORKING_DIRECTORY ${BRENVIK_D2XX_TEST_DIR})
