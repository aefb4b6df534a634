# Runs the demonstrations as `make demo` does, and has the Khronos glTF
# Validator check the glTF scene written from examples/room.gltf: no error
# that the example does not have, and its buffer still found from out/.
#   -DHOST=... -DNODE=... -DVALIDATOR=... -DEXAMPLES=... -DWORK_DIR=...
include(${CMAKE_CURRENT_LIST_DIR}/demo_runs.cmake)

morvane_run_demo(native "${WORK_DIR}" "${EXAMPLES}" "${HOST}")
if(VALIDATOR STREQUAL "")
    return()  # the sanitizer build: the demonstration runs, unchecked
endif()
execute_process(COMMAND "${NODE}" "${VALIDATOR}" examples/room.gltf out/room.gltf WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the validator finds new errors in out/room.gltf:\n${report}")
endif()
