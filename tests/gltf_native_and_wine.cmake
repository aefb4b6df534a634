# Runs glTF edits with the native morvane-host and with the Windows one
# under Wine, each in a scratch folder with the same inputs, and compares
# the written glTF and GLB files byte for byte, and the transcripts (line
# ends aside: the Windows programs write CR LF).
#   -DNATIVE_HOST=... -DWINDOWS_HOST=... -DRUN_WINE=... -DSAMPLES=... -DSCENES=... -DEXAMPLES=... -DWORK_DIR=...
include("${CMAKE_CURRENT_LIST_DIR}/native_and_wine_inputs.cmake")
require_native_and_wine_inputs(NATIVE_HOST WINDOWS_HOST RUN_WINE SAMPLES SCENES EXAMPLES WORK_DIR)

# Each run: its arguments, separated by "|". Every shortcut, and list, on a
# glTF file and on a GLB file; the glTF file in a folder whose name no ANSI
# code page holds, read, edited and written there, its names saved there
# and loaded back.
set(unicode "in/模型-Ωμέγα-Ünïcødé")
set(runs
    "list|${unicode}/room.gltf"
    "align|${unicode}/room.gltf|--select|5,6|-o|${unicode}/aligned.gltf"
    "pivot|${unicode}/aligned.gltf|--select-name|Door|--axis|Y|--from|1.05,0,-2.95|--to|1.05,2,-2.95|-o|${unicode}/pivoted.gltf"
    "save-names|${unicode}/pivoted.gltf|${unicode}/names"
    "load-names|${unicode}/pivoted.gltf|${unicode}/names.txt|-o|${unicode}/renamed.gltf"
    "pivot|in/cameras/Cameras.gltf|--select|2|--axis|Y|--from|1,2,3|--to|2,4,3.5|-o|out/cameras.gltf"
    "load-names|in/skin/simple_skin.gltf|in/names.txt|-o|out/skin.gltf"
    "load-names|in/room/trs_tree.gltf|in/names.txt|-o|out/tree.gltf"
    "align|out/tree.gltf|--select|2|-o|out/tree-aligned.gltf"
    "list|in/engine/2CylinderEngine.glb"
    "pivot|in/engine/2CylinderEngine.glb|--select|5|--axis|Z|--from|0.5,0.25,-1|--to|1,1,1|-o|out/engine.glb"
    "align|out/engine.glb|--select|5,6|-o|out/aligned.glb"
    "save-names|out/aligned.glb|out/engine-names.txt"
    "load-names|out/aligned.glb|out/engine-names.txt|-o|out/renamed.glb")
set(outputs ${unicode}/aligned.gltf ${unicode}/pivoted.gltf ${unicode}/names.txt ${unicode}/renamed.gltf
    out/cameras.gltf out/skin.gltf out/tree.gltf out/tree-aligned.gltf
    out/engine.glb out/aligned.glb out/engine-names.txt out/renamed.glb)

foreach(side native windows)
    set(dir "${WORK_DIR}/${side}")
    file(REMOVE_RECURSE "${dir}")
    file(MAKE_DIRECTORY "${dir}/out")
    file(COPY "${SAMPLES}/glTF2/cameras/" DESTINATION "${dir}/in/cameras")
    file(COPY "${SAMPLES}/glTF2/2CylinderEngine-glTF-Binary/" DESTINATION "${dir}/in/engine")
    file(COPY "${SAMPLES}/glTF2/simple_skin/" DESTINATION "${dir}/in/skin")
    file(COPY "${EXAMPLES}/room.gltf" "${EXAMPLES}/room.bin" DESTINATION "${dir}/${unicode}")
    # The corpus scene's animation names no sampler, which an align refuses;
    # the tree without it is what this run is about.
    file(READ "${SCENES}/trs_tree.gltf" tree)
    string(JSON tree REMOVE "${tree}" animations)
    file(WRITE "${dir}/in/room/trs_tree.gltf" "${tree}")
    file(WRITE "${dir}/in/names.txt" "Salle\nTable\nTable\nLampe \"à pied\"\n")
    if(side STREQUAL "native")
        set(command "${NATIVE_HOST}")
    else()
        # Wine reads the arguments in the Unix locale's encoding.
        set(command ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 bash "${RUN_WINE}" "${WINDOWS_HOST}")
    endif()
    set(transcript "")
    foreach(run IN LISTS runs)
        string(REPLACE "|" ";" arguments "${run}")
        execute_process(COMMAND ${command} ${arguments} WORKING_DIRECTORY "${dir}"
                        OUTPUT_VARIABLE out ERROR_VARIABLE errors RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "the ${side} morvane-host failed (${status}) on ${arguments}: ${errors}")
        endif()
        string(APPEND transcript "${out}")
    endforeach()
    string(REPLACE "\r\n" "\n" ${side}_transcript "${transcript}")
endforeach()

if(NOT native_transcript STREQUAL windows_transcript)
    message(SEND_ERROR "the transcripts differ:\n--- native\n${native_transcript}\n--- windows\n${windows_transcript}")
endif()
foreach(output IN LISTS outputs)
    if(output MATCHES "\\.txt$")
        # Names files end their lines as the platform's text files do: the
        # Windows one is the native one with each LF a CR LF.
        # Compared as bytes in hex, one a word (file(READ) as text drops CRs).
        file(READ "${WORK_DIR}/native/${output}" native_text HEX)
        file(READ "${WORK_DIR}/windows/${output}" windows_text HEX)
        string(REGEX REPLACE "(..)" "\\1 " native_hash "${native_text}")
        string(REGEX REPLACE "(..)" "\\1 " windows_hash "${windows_text}")
        string(REPLACE "0a " "0d 0a " native_hash "${native_hash}")
    else()
        file(SHA256 "${WORK_DIR}/native/${output}" native_hash)
        file(SHA256 "${WORK_DIR}/windows/${output}" windows_hash)
    endif()
    if(NOT native_hash STREQUAL windows_hash)
        message(SEND_ERROR "${output} differs between the native and the Windows run (see ${WORK_DIR})")
    endif()
endforeach()
