# The demonstration session run by two copies of morvane-host, to show that
# they behave alike (included by the tests that compare them).
#
#   morvane_run_demo(<side> <dir> <examples> <command>...)
#     Runs <command> examples/workshop.json examples/demo.session --diff -o out/demo.json
#     in <dir>, made afresh with a copy of the folder <examples>. Fails when the
#     run fails or leaves out an output; sets <side>_<output> in the caller for
#     each of MORVANE_DEMO_OUTPUTS, line ends aside (the Windows programs write CR LF).
#   morvane_compare_demos(<side> <other side> <where>)
#     Reports (SEND_ERROR) each output that differs between the two runs.
set(MORVANE_DEMO_OUTPUTS transcript.txt out/demo.json out/names.txt)

function(morvane_run_demo side dir examples)
    file(REMOVE_RECURSE "${dir}")
    file(MAKE_DIRECTORY "${dir}/out")
    file(COPY "${examples}/" DESTINATION "${dir}/examples")
    execute_process(COMMAND ${ARGN} examples/workshop.json examples/demo.session --diff -o out/demo.json
                    WORKING_DIRECTORY "${dir}" OUTPUT_FILE "${dir}/transcript.txt" ERROR_VARIABLE errors
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "the ${side} morvane-host failed (${status}): ${errors}")
    endif()
    foreach(output IN LISTS MORVANE_DEMO_OUTPUTS)
        if(NOT EXISTS "${dir}/${output}")
            message(FATAL_ERROR "the ${side} run made no ${output}")
        endif()
        file(READ "${dir}/${output}" text)
        string(REPLACE "\r\n" "\n" text "${text}")
        set(${side}_${output} "${text}" PARENT_SCOPE)
    endforeach()
endfunction()

function(morvane_compare_demos side other where)
    set(agree TRUE)
    foreach(output IN LISTS MORVANE_DEMO_OUTPUTS)
        if(NOT "${${side}_${output}}" STREQUAL "${${other}_${output}}")
            message(SEND_ERROR "${output} differs between the ${side} and the ${other} run (see ${where})")
            set(agree FALSE)
        endif()
    endforeach()
    if(agree)
        message(STATUS "the ${side} and the ${other} run agree: transcripts, scenes and names")
    endif()
endfunction()
