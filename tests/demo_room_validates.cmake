# Runs the demonstrations as `make demo` does, and has tools/gltf-validator/
# compare.mjs check the glTF scene written from examples/room.gltf: no
# validator message that the example does not have, its buffer still found
# from out/, and three.js placing what the session did not move as before.
#   -DHOST=... -DNODE=... -DVALIDATOR=... -DEXAMPLES=... -DWORK_DIR=...
include(${CMAKE_CURRENT_LIST_DIR}/demo_runs.cmake)

morvane_run_demo(native "${WORK_DIR}" "${EXAMPLES}" "${HOST}")
if(VALIDATOR STREQUAL "")
    return()  # the sanitizer build: the demonstration runs, unchecked
endif()
# The session aligns the props, nodes 5 and 6, and edits the door's pivot.
execute_process(COMMAND "${NODE}" "${VALIDATOR}" "--host=${HOST}" --moved=5,6 --pivoted=7 examples/room.gltf out/room.gltf WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "out/room.gltf differs from the example in meaning:\n${report}")
endif()
