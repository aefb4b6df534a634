# Runs the demonstrations with --svg, as `make demo` does, and renders each
# picture to PNG with rsvg-convert (Debian package librsvg2-bin): the
# pictures must be SVG that a renderer draws.
#   -DHOST=... -DRSVG=... -DEXAMPLES=... -DWORK_DIR=...
cmake_minimum_required(VERSION 3.25)

if(NOT RSVG)
    message(FATAL_ERROR "rsvg-convert is missing (Debian package librsvg2-bin; scripts/install-deps.sh installs it)")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/out")
file(COPY "${EXAMPLES}/" DESTINATION "${WORK_DIR}/examples")
foreach(demo IN ITEMS "workshop.json;demo.session" "room.gltf;room.session")
    list(GET demo 0 scene)
    list(GET demo 1 session)
    execute_process(COMMAND "${HOST}" "examples/${scene}" "examples/${session}" --svg "out/${scene}.svg"
                    WORKING_DIRECTORY "${WORK_DIR}" OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "morvane-host ${scene} ${session}: status ${status}\n${out}")
    endif()
    execute_process(COMMAND "${RSVG}" -o "out/${scene}.png" "out/${scene}.svg"
                    WORKING_DIRECTORY "${WORK_DIR}" OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
    if(EXISTS "${WORK_DIR}/out/${scene}.png")
        file(READ "${WORK_DIR}/out/${scene}.png" magic LIMIT 4 HEX)
    endif()
    if(NOT status EQUAL 0 OR NOT out STREQUAL "" OR NOT magic STREQUAL "89504e47")
        message(FATAL_ERROR "rsvg-convert cannot render out/${scene}.svg (status ${status}):\n${out}")
    endif()
endforeach()
