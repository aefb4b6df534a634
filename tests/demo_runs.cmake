# The demonstration sessions run by two copies of morvane-host, to show that
# they behave alike (included by the tests that compare them).
#
#   morvane_run_demo(<side> <dir> <examples> <command>...)
#     Runs, in <dir> made afresh with a copy of the folder <examples>, both
#     demonstrations as `make demo` runs them:
#       <command> examples/workshop.json examples/demo.session --diff -o out/demo.json
#       <command> examples/room.gltf examples/room.session --diff -o out/room.gltf
#     Fails when a run fails or leaves out an output; sets <side>_<output> in
#     the caller for each of MORVANE_DEMO_OUTPUTS, line ends aside (the
#     Windows programs write CR LF).
#   morvane_compare_demos(<side> <other side> <where>)
#     Reports (SEND_ERROR) each output that differs between the two runs.
set(MORVANE_DEMO_OUTPUTS transcript.txt out/demo.json out/names.txt room-transcript.txt out/room.gltf out/room-names.txt)

function(morvane_run_demo side dir examples)
    file(REMOVE_RECURSE "${dir}")
    file(MAKE_DIRECTORY "${dir}/out")
    file(COPY "${examples}/" DESTINATION "${dir}/examples")
    foreach(demo IN ITEMS "transcript.txt;workshop.json;demo.session;demo.json"
                          "room-transcript.txt;room.gltf;room.session;room.gltf")
        list(GET demo 0 transcript)
        list(GET demo 1 scene)
        list(GET demo 2 session)
        list(GET demo 3 output)
        execute_process(COMMAND ${ARGN} examples/${scene} examples/${session} --diff -o out/${output}
                        WORKING_DIRECTORY "${dir}" OUTPUT_FILE "${dir}/${transcript}" ERROR_VARIABLE errors
                        RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "the ${side} morvane-host failed (${status}) on examples/${session}: ${errors}")
        endif()
    endforeach()
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
