# The dialog layer, the application shell and the Brenvik-USB program, with their Windows tests,
# the probe tool and the start-up benchmark programs.

enable_language(RC)

# Dialog layer and every Windows-only part of the shell (the entry point goes to the program).
file(GLOB BRENVIK_FRAMEWORK_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/framework/*.cpp ${CMAKE_SOURCE_DIR}/shell/*_win32.cpp)
list(FILTER BRENVIK_FRAMEWORK_SOURCES EXCLUDE REGEX "/shell/main_win32\\.cpp$")
add_library(brenvik_framework STATIC ${BRENVIK_FRAMEWORK_SOURCES})
target_include_directories(brenvik_framework PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(brenvik_framework PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                    _WIN32_WINNT=0x0601)
target_link_libraries(brenvik_framework PUBLIC brenvik_core comctl32 comdlg32 gdi32 user32)

# The resources are compiled once and linked into the program and the in-process tests.
add_library(brenvik_resources OBJECT ${CMAKE_SOURCE_DIR}/res/brenvik.rc)
target_include_directories(brenvik_resources PRIVATE ${CMAKE_SOURCE_DIR})
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/brenvik.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/brenvik.ico;${CMAKE_SOURCE_DIR}/res/brenvik.manifest;${CMAKE_SOURCE_DIR}/res/maker.h;${CMAKE_SOURCE_DIR}/res/resource.h")

add_executable(Brenvik-USB WIN32 ${CMAKE_SOURCE_DIR}/shell/main_win32.cpp
                                 $<TARGET_OBJECTS:brenvik_resources>)
target_link_libraries(Brenvik-USB PRIVATE brenvik_framework brenvik_adapter_win32)
# The stand-in adapter library lies beside the program in every build, as the vendor's would.
add_dependencies(Brenvik-USB ftcspi_stand_in)
target_link_options(Brenvik-USB PRIVATE -municode)
