# The program's folders as layers: one library per folder, linked only to the folders below it.
# Every layer's build first checks that its files include nothing from a folder that is not
# below it (cmake/check_layer.cmake), so a header reaching upwards fails the build on every
# platform and compiler.

# brenvik_layer(<folder> [USES <lower folder>...] [WIN32_USES <folder>...] [CHECK_ONLY])
# Files ending in _win32 are the Windows layer: they stay out of the portable library and may
# also include the WIN32_USES folders. The layer may include the folders it USES and everything
# those may include, and res/ only when it is among them. CHECK_ONLY checks a folder whose
# library the Windows build defines (or that has none) on every build.
function(brenvik_layer folder)
    cmake_parse_arguments(PARSE_ARGV 1 arg "CHECK_ONLY" "" "USES;WIN32_USES")
    set(allowed ${folder})
    set(libraries)
    foreach(lower IN LISTS arg_USES)
        get_property(lower_allowed GLOBAL PROPERTY BRENVIK_LAYER_${lower})
        list(APPEND allowed ${lower} ${lower_allowed})
        if(TARGET brenvik_${lower})
            list(APPEND libraries brenvik_${lower})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    set_property(GLOBAL PROPERTY BRENVIK_LAYER_${folder} ${allowed})

    set(stamp ${CMAKE_BINARY_DIR}/layers/${folder}.checked)
    file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h
         ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DFOLDER=${folder}
                "-DALLOWED=${allowed}" "-DWIN32_ALLOWED=${arg_WIN32_USES}" -DSTAMP=${stamp}
                -P ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
        DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
        COMMENT "Checking the includes of ${folder}/"
        VERBATIM)
    if(arg_CHECK_ONLY)
        add_custom_target(brenvik_${folder}_layer ALL DEPENDS ${stamp})
        return()
    endif()
    add_custom_target(brenvik_${folder}_layer DEPENDS ${stamp})
    set(sources ${files})
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
    add_library(brenvik_${folder} STATIC ${sources})
    target_include_directories(brenvik_${folder} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(brenvik_${folder} PUBLIC ${libraries})
    add_dependencies(brenvik_${folder} brenvik_${folder}_layer)
    if(WIN32)
        target_compile_definitions(brenvik_${folder} PRIVATE UNICODE _UNICODE NOMINMAX
                                                              WIN32_LEAN_AND_MEAN)
    endif()
endfunction()
