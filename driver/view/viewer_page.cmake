# The viewer page, ready to serve, in viewer/ beside morvane-host: the
# page's own files and the parts of three.js that it imports, from the npm
# package that tools/viewer/package-lock.json pins (installed by
# scripts/install-viewer.sh). Nothing is fetched when the page runs.
set(MORVANE_VIEWER_DIR ${CMAKE_BINARY_DIR}/bin/viewer)
set(MORVANE_THREE_DIR ${PROJECT_SOURCE_DIR}/tools/viewer/node_modules/three)
set(viewer_page_files index.html start.js view_state.js viewer.js viewport.js frame.js placements.js drawn_nodes.js
    merged_batch.js instanced_copies.js gizmos.js picking.js test_hooks.js gltf_scene.js snapping.js panel_view.js
    moving_view.js reduced_batches.js kept_picture.js)
set(viewer_three_files
    LICENSE
    build/three.module.js
    build/three.core.js
    examples/jsm/controls/OrbitControls.js
    examples/jsm/loaders/GLTFLoader.js
    examples/jsm/loaders/DRACOLoader.js
    examples/jsm/loaders/KTX2Loader.js
    examples/jsm/utils/WorkerPool.js
    examples/jsm/libs/ktx-parse.module.js
    examples/jsm/libs/zstddec.module.js
    examples/jsm/libs/basis/basis_transcoder.js
    examples/jsm/libs/basis/basis_transcoder.wasm
    examples/jsm/math/ColorSpaces.js
    examples/jsm/libs/draco/gltf/draco_decoder.js
    examples/jsm/libs/draco/gltf/draco_decoder.wasm
    examples/jsm/libs/draco/gltf/draco_wasm_wrapper.js
    examples/jsm/libs/meshopt_decoder.module.js
    examples/jsm/environments/RoomEnvironment.js
    examples/jsm/helpers/ViewHelper.js
    examples/jsm/utils/BufferGeometryUtils.js
    examples/jsm/utils/SkeletonUtils.js)

set(viewer_outputs)
foreach(file IN LISTS viewer_page_files)
    add_custom_command(OUTPUT ${MORVANE_VIEWER_DIR}/${file}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/view/page/${file} ${MORVANE_VIEWER_DIR}/${file}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/view/page/${file}
        COMMENT "Viewer page: ${file}")
    list(APPEND viewer_outputs ${MORVANE_VIEWER_DIR}/${file})
endforeach()
set(viewer_three_outputs)
set(viewer_three_copies)
foreach(file IN LISTS viewer_three_files)
    list(APPEND viewer_three_outputs ${MORVANE_VIEWER_DIR}/three/${file})
    get_filename_component(folder ${MORVANE_VIEWER_DIR}/three/${file} DIRECTORY)
    list(APPEND viewer_three_copies COMMAND ${CMAKE_COMMAND} -E make_directory ${folder})
    list(APPEND viewer_three_copies COMMAND ${CMAKE_COMMAND} -E copy ${MORVANE_THREE_DIR}/${file}
                                            ${MORVANE_VIEWER_DIR}/three/${file})
endforeach()
add_custom_command(OUTPUT ${viewer_three_outputs}
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/install-viewer.sh
    ${viewer_three_copies}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/viewer/package-lock.json
    COMMENT "Viewer page: three.js from tools/viewer")
# Part of every full build, though not of morvane-host's own (make demo
# builds that alone, without npm).
add_custom_target(viewer_page ALL DEPENDS ${viewer_outputs} ${viewer_three_outputs})

if(WIN32)
    set(MORVANE_INSTALL_VIEWERDIR viewer)
else()
    set(MORVANE_INSTALL_VIEWERDIR share/morvane/viewer)
endif()
install(DIRECTORY ${MORVANE_VIEWER_DIR}/ DESTINATION ${MORVANE_INSTALL_VIEWERDIR})
