# docs/gltf.md finds the hinge of examples/room.gltf's door from the command
# line alone: the `list` it shows is what `list` prints, and the `pivot` it
# then runs does its job on the example.
#   -DHOST=<morvane-host> -DSOURCE_DIR=<project> -DWORK_DIR=<scratch folder> -P docs_hinge_example.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/examples")
file(COPY "${SOURCE_DIR}/examples/room.gltf" "${SOURCE_DIR}/examples/room.bin" DESTINATION "${WORK_DIR}/examples")
file(READ "${SOURCE_DIR}/docs/gltf.md" docs)

execute_process(COMMAND "${HOST}" list examples/room.gltf WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE listed ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REGEX REPLACE "\n$" "" listed "${listed}")
string(REPLACE "\n" "\n    " shown "${listed}")
set(shown "    $ morvane-host list examples/room.gltf\n    ${shown}\n")
string(FIND "${docs}" "${shown}" at)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "" OR at EQUAL -1)
    message(FATAL_ERROR "docs/gltf.md should show what list prints (status ${status}, ${errors}):\n${shown}")
endif()

string(REGEX MATCH "\n    (morvane-host pivot examples/room.gltf [^\n]*)" ignored "${docs}")
separate_arguments(pivot UNIX_COMMAND "${CMAKE_MATCH_1}")
list(POP_FRONT pivot)
execute_process(COMMAND "${HOST}" ${pivot} -q WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE out ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT out MATCHES "^changed 1 node; written ")
    message(FATAL_ERROR "the pivot of docs/gltf.md: status ${status}: ${out}${errors}")
endif()
