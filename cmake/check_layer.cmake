# Run as a build step of every layer (cmake -P): fails when a file of FOLDER includes a header of
# a folder that is not below it. Arguments: SOURCE_DIR, FOLDER, ALLOWED (folders it may include,
# itself among them), WIN32_ALLOWED (further folders its Windows files, ending in _win32, may
# include), STAMP (touched when every include is allowed).

cmake_minimum_required(VERSION 3.25)

file(GLOB files ${SOURCE_DIR}/${FOLDER}/*.h ${SOURCE_DIR}/${FOLDER}/*.cpp)
set(violations "")
foreach(file IN LISTS files)
    set(allowed ${ALLOWED})
    if(file MATCHES "_win32\\.(h|cpp)$")
        list(APPEND allowed ${WIN32_ALLOWED})
    endif()
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"/]+)/.*$" "\\1" folder "${line}")
        if(NOT folder IN_LIST allowed)
            file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
            string(STRIP "${line}" line)
            string(APPEND violations "\n  ${name}: ${line}")
        endif()
    endforeach()
endforeach()
if(violations)
    message(FATAL_ERROR "${FOLDER}/ may include only ${ALLOWED}; these reach elsewhere:"
                        "${violations}")
endif()
file(TOUCH ${STAMP})
