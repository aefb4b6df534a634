# Runs morvane-host on one glTF sample file (Debian's assimp-testmodels).
#
#   cmake -DHOST=<morvane-host> -DNODE=<node> -DVALIDATOR=<compare.mjs> -DSAMPLE=<file>
#         -DWORK_DIR=<scratch folder> [-DEXPECT_ERROR=<text>] -P gltf_sample_case.cmake
#
# A file the tools can read: its names saved and loaded again, written in
# its own folder, give the same bytes; written into another folder, its
# names are the sample's. That copy, and one where the first node's pivot
# was edited, are checked against the sample by tools/gltf-validator/
# compare.mjs: the Khronos glTF Validator finds no message in them that the
# sample does not have (so every URI still reaches its file), and three.js
# places every mesh, camera and light as in the sample, at rest and as its
# animations play.
# With VALIDATOR empty, the validator and three.js are left out.
# A file the tools cannot read (EXPECT_ERROR): exit status 4, a message
# holding EXPECT_ERROR, and nothing written.
cmake_minimum_required(VERSION 3.25)

get_filename_component(sample_folder "${SAMPLE}" DIRECTORY)
get_filename_component(name "${SAMPLE}" NAME)
get_filename_component(extension "${SAMPLE}" LAST_EXT)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/other/folder")
file(COPY "${sample_folder}/" DESTINATION "${WORK_DIR}/in")

function(host expected_status)
    execute_process(COMMAND "${HOST}" ${ARGN} WORKING_DIRECTORY "${WORK_DIR}"
                    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
    if(NOT status EQUAL expected_status)
        message(FATAL_ERROR "morvane-host ${ARGN}: status ${status}, expected ${expected_status}\n${out}${err}")
    endif()
    set(host_errors "${err}" PARENT_SCOPE)
endfunction()

if(DEFINED EXPECT_ERROR)
    host(4 save-names "in/${name}" names.txt)
    string(FIND "${host_errors}" "${EXPECT_ERROR}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "expected a message with \"${EXPECT_ERROR}\", got: ${host_errors}")
    endif()
    host(4 align "in/${name}" --select 1 -o "in/written${extension}")
    if(EXISTS "${WORK_DIR}/names.txt" OR EXISTS "${WORK_DIR}/in/written${extension}")
        message(FATAL_ERROR "a file was written for a scene that could not be read")
    endif()
    return()
endif()

host(0 save-names "in/${name}" names.txt)
host(0 load-names "in/${name}" names.txt -o "in/written${extension}")
file(SHA256 "${WORK_DIR}/in/${name}" before)
file(SHA256 "${WORK_DIR}/in/written${extension}" after)
if(NOT before STREQUAL after)
    message(FATAL_ERROR "saving and loading the names changed the file (see ${WORK_DIR}/in/written${extension})")
endif()

host(0 load-names "in/${name}" names.txt -o "other/folder/${name}")
host(0 save-names "other/folder/${name}" names-again.txt)
file(READ "${WORK_DIR}/names.txt" names)
file(READ "${WORK_DIR}/names-again.txt" names_again)
if(NOT names STREQUAL names_again)
    message(FATAL_ERROR "the file written into another folder has other names")
endif()
set(checked "in/${name}" "other/folder/${name}")
string(REGEX MATCHALL "\n" lines "${names}")
list(LENGTH lines line_count)
if(line_count GREATER 1)
    host(0 pivot "in/${name}" --select 1 --axis Y --from 0.25,-0.5,1 --to 1.5,2,-4 -o "other/folder/pivoted${extension}")
    list(APPEND checked --pivoted=1 "in/${name}" "other/folder/pivoted${extension}")
endif()
if(VALIDATOR STREQUAL "")
    return()
endif()
execute_process(COMMAND "${NODE}" "${VALIDATOR}" "--host=${HOST}" ${checked} WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the written files differ from the sample in meaning:\n${report}")
endif()
