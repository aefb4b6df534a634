# Standard input and output carry bytes on Windows as elsewhere: what the
# Windows morvane-host under Wine writes to "-" is the native one's bytes
# (a glTF text, a GLB), its names on a pipe are a names file's bytes (CR LF
# lines), and names piped from save-names into load-names come back
# without a CR: the scene written is the native one's.
#   -DNATIVE_HOST=... -DWINDOWS_HOST=... -DRUN_WINE=... -DSAMPLES=... -DEXAMPLES=... -DWORK_DIR=...
include("${CMAKE_CURRENT_LIST_DIR}/native_and_wine_inputs.cmake")
require_native_and_wine_inputs(NATIVE_HOST WINDOWS_HOST RUN_WINE SAMPLES EXAMPLES WORK_DIR)

foreach(side native windows)
    set(dir "${WORK_DIR}/${side}")
    file(REMOVE_RECURSE "${dir}")
    file(MAKE_DIRECTORY "${dir}")
    file(COPY "${EXAMPLES}/room.gltf" "${EXAMPLES}/room.bin" "${SAMPLES}/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb"
         DESTINATION "${dir}")
    if(side STREQUAL "native")
        set(host "${NATIVE_HOST}")
    else()
        set(host ${CMAKE_COMMAND} -E env MORVANE_WINE_STDIN=1 bash "${RUN_WINE}" "${WINDOWS_HOST}")
    endif()
    set(runs "room.gltf.out|-q|align|room.gltf|--select|5,6|-o|-"
             "engine.glb.out|-q|pivot|2CylinderEngine.glb|--select|5|--axis|Z|--from|0.5,0.25,-1|--to|1,1,1|-o|-"
             "names.out|save-names|room.gltf|-")
    foreach(run IN LISTS runs)
        string(REPLACE "|" ";" arguments "${run}")
        list(POP_FRONT arguments output)
        execute_process(COMMAND ${host} ${arguments} WORKING_DIRECTORY "${dir}" OUTPUT_FILE "${dir}/${output}"
                        ERROR_VARIABLE errors RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(SEND_ERROR "${side}: morvane-host ${arguments} failed (${status}): ${errors}")
        endif()
    endforeach()
    # The README's rename pipeline, names edited on the way by no one.
    execute_process(COMMAND ${host} save-names room.gltf -
                    COMMAND ${host} load-names room.gltf - -o renamed.gltf
                    WORKING_DIRECTORY "${dir}" ERROR_VARIABLE errors RESULTS_VARIABLE statuses)
    if(NOT statuses STREQUAL "0;0")
        message(SEND_ERROR "${side}: save-names | load-names failed (${statuses}): ${errors}")
    endif()
endforeach()

foreach(output room.gltf.out engine.glb.out renamed.gltf names.out)
    # Bytes in hex, one a word (file(READ) as text would drop CRs).
    file(READ "${WORK_DIR}/native/${output}" native HEX)
    file(READ "${WORK_DIR}/windows/${output}" windows HEX)
    string(REGEX REPLACE "(..)" "\\1 " native "${native}")
    string(REGEX REPLACE "(..)" "\\1 " windows "${windows}")
    if(output STREQUAL "names.out")
        # A names file's lines end in CR LF on Windows.
        string(REPLACE "0a " "0d 0a " native "${native}")
    endif()
    if(native STREQUAL "" OR NOT native STREQUAL windows)
        message(SEND_ERROR "${output}: the Windows run's bytes are not the native run's (see ${WORK_DIR})")
    endif()
endforeach()
