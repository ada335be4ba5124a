# Real-time monitoring soak of the running program under the platform (bench/soak/wine_soak.cpp).
# Not registered with CTest: it runs for ten minutes or more.
add_executable(wine_soak ${CMAKE_SOURCE_DIR}/bench/soak/wine_soak.cpp)
target_link_libraries(wine_soak PRIVATE brenvik_program_driver psapi)
target_link_options(wine_soak PRIVATE -municode)
add_dependencies(wine_soak Brenvik-USB ftcspi_stand_in)
