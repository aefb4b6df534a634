# Runs one golden case of morvane-host and compares everything it did.
#
#   cmake -DHOST=<morvane-host> -DCASE_DIR=<case folder> -DCOMMON_DIR=<folder>
#         -DWORK_DIR=<scratch folder> [-DLINKS=name=target;...] -P driver_session_case.cmake
#
# A case folder holds:
#   args              the arguments of morvane-host, one a line
#   expected-stdout   the transcript, compared byte for byte
#   expected-stderr   optional (default: empty)
#   expected-status   optional exit status (default: 0)
#   file-size-limit   optional: the run's limit on the size of a file it
#                     writes, in blocks (ulimit -f), with SIGXFSZ as a new
#                     process has it
#   expected-FILE     FILE must be written by the run, with exactly these bytes
#   any other file    an input, copied beside the files of COMMON_DIR
# The run happens in WORK_DIR, made afresh with the inputs and the LINKS
# (symbolic links to built files). Afterwards WORK_DIR must hold the
# inputs unchanged and exactly the files that have an expected- copy.
# On a mismatch the actual output is left in WORK_DIR as actual-* and both
# sides are printed.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(GLOB common LIST_DIRECTORIES false "${COMMON_DIR}/*")
file(COPY ${common} DESTINATION "${WORK_DIR}")
file(GLOB inputs LIST_DIRECTORIES false RELATIVE "${CASE_DIR}" "${CASE_DIR}/*")
set(expected_files "")
foreach(name IN LISTS inputs)
    if(name MATCHES "^expected-(.*)$")
        set(target "${CMAKE_MATCH_1}")
        if(NOT target MATCHES "^(stdout|stderr|status)$")
            list(APPEND expected_files "${target}")
        endif()
    elseif(NOT name MATCHES "^(args|file-size-limit)$")
        file(COPY "${CASE_DIR}/${name}" DESTINATION "${WORK_DIR}")
    endif()
endforeach()
foreach(link IN LISTS LINKS)
    string(REGEX MATCH "^([^=]+)=(.*)$" ignored "${link}")
    file(CREATE_LINK "${CMAKE_MATCH_2}" "${WORK_DIR}/${CMAKE_MATCH_1}" SYMBOLIC)
endforeach()

file(GLOB_RECURSE before LIST_DIRECTORIES false RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
set(input_hashes "")
foreach(name IN LISTS before)
    if(NOT IS_SYMLINK "${WORK_DIR}/${name}")
        file(SHA256 "${WORK_DIR}/${name}" hash)
        list(APPEND input_hashes "${name}=${hash}")
    endif()
endforeach()

file(STRINGS "${CASE_DIR}/args" arguments)
set(launcher "")
if(EXISTS "${CASE_DIR}/file-size-limit")
    file(STRINGS "${CASE_DIR}/file-size-limit" blocks)
    set(launcher sh -c "trap - XFSZ && ulimit -f ${blocks} && exec \"$0\" \"$@\"")
endif()
execute_process(COMMAND ${launcher} "${HOST}" ${arguments}
                WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE actual_stdout ERROR_VARIABLE actual_stderr RESULT_VARIABLE actual_status)

set(failures "")
function(compare what expected actual)
    if(NOT expected STREQUAL actual)
        file(WRITE "${WORK_DIR}/actual-${what}" "${actual}")
        string(APPEND failures "\n--- ${what}: expected\n${expected}\n--- ${what}: actual\n${actual}\n")
        set(failures "${failures}" PARENT_SCOPE)
    endif()
endfunction()

set(expected_stdout "")
set(expected_stderr "")
set(expected_status 0)
if(EXISTS "${CASE_DIR}/expected-stdout")
    file(READ "${CASE_DIR}/expected-stdout" expected_stdout)
endif()
if(EXISTS "${CASE_DIR}/expected-stderr")
    file(READ "${CASE_DIR}/expected-stderr" expected_stderr)
endif()
if(EXISTS "${CASE_DIR}/expected-status")
    file(STRINGS "${CASE_DIR}/expected-status" expected_status LIMIT_COUNT 1)
endif()
compare(status "${expected_status}" "${actual_status}")
compare(stdout "${expected_stdout}" "${actual_stdout}")
compare(stderr "${expected_stderr}" "${actual_stderr}")

foreach(entry IN LISTS input_hashes)
    string(REGEX MATCH "^([^=]+)=(.*)$" ignored "${entry}")
    set(name "${CMAKE_MATCH_1}")
    if(NOT EXISTS "${WORK_DIR}/${name}")
        string(APPEND failures "\n--- the input ${name} was removed\n")
    else()
        file(SHA256 "${WORK_DIR}/${name}" hash)
        if(NOT hash STREQUAL CMAKE_MATCH_2 AND NOT name IN_LIST expected_files)
            string(APPEND failures "\n--- the input ${name} was changed\n")
        endif()
    endif()
endforeach()
foreach(name IN LISTS expected_files)
    if(NOT EXISTS "${WORK_DIR}/${name}")
        string(APPEND failures "\n--- ${name} was not written\n")
    else()
        file(READ "${CASE_DIR}/expected-${name}" expected_text)
        file(READ "${WORK_DIR}/${name}" actual_text)
        if(NOT expected_text STREQUAL actual_text)
            string(APPEND failures "\n--- ${name}: expected\n${expected_text}\n--- ${name}: actual (${WORK_DIR}/${name})\n${actual_text}\n")
        endif()
    endif()
endforeach()
file(GLOB_RECURSE after LIST_DIRECTORIES false RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
foreach(name IN LISTS after)
    if(NOT name IN_LIST before AND NOT name IN_LIST expected_files AND NOT name MATCHES "^actual-")
        string(APPEND failures "\n--- an unexpected file was written: ${name}\n")
    endif()
endforeach()

if(NOT failures STREQUAL "")
    message(FATAL_ERROR "case ${CASE_DIR} failed:${failures}")
endif()
