# Compiled resources (.res) of the deliverables, made with the MinGW resource
# compiler on every platform, so the stand-in Windows and real Windows read
# the same templates and strings.
#
#   morvane_compile_resources(<name> <rcfile> [INCLUDE_DIRS dirs...])
#     Compiles <rcfile> to <build dir>/<name>.res and adds the custom target
#     <name>; its property MORVANE_RES_FILE holds the path of the .res.
#   morvane_use_resources(<target> <name> <macro>)
#     Makes <target> depend on the .res of <name> and defines <macro> as the
#     quoted path of that .res for its sources.

find_program(MORVANE_WINDRES NAMES i686-w64-mingw32-windres REQUIRED)
# windres runs the C preprocessor over the .rc; the MinGW one knows <windows.h>.
find_program(MORVANE_RC_PREPROCESSOR NAMES i686-w64-mingw32-gcc REQUIRED)

function(morvane_compile_resources name rcfile)
    cmake_parse_arguments(ARG "" "" "INCLUDE_DIRS" ${ARGN})
    get_filename_component(rc_path "${rcfile}" ABSOLUTE)
    get_filename_component(rc_dir "${rc_path}" DIRECTORY)
    set(res_path "${CMAKE_CURRENT_BINARY_DIR}/${name}.res")
    set(dep_path "${CMAKE_CURRENT_BINARY_DIR}/${name}.res.d")

    set(include_args "--include-dir=${rc_dir}")
    foreach(dir IN LISTS ARG_INCLUDE_DIRS)
        get_filename_component(abs_dir "${dir}" ABSOLUTE)
        list(APPEND include_args "--include-dir=${abs_dir}")
    endforeach()

    set(preprocessor_args
        --preprocessor=${MORVANE_RC_PREPROCESSOR}
        --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
        --preprocessor-arg=-MMD --preprocessor-arg=-MF --preprocessor-arg=${dep_path}
        --preprocessor-arg=-MT --preprocessor-arg=${res_path})

    add_custom_command(
        OUTPUT "${res_path}"
        COMMAND ${MORVANE_WINDRES} ${preprocessor_args} ${include_args} -O res -i "${rc_path}" -o "${res_path}"
        MAIN_DEPENDENCY "${rc_path}"
        DEPFILE "${dep_path}"
        COMMENT "Compiling resources ${name}.res"
        VERBATIM)
    add_custom_target(${name} DEPENDS "${res_path}")
    set_target_properties(${name} PROPERTIES MORVANE_RES_FILE "${res_path}")
endfunction()

function(morvane_use_resources target name macro)
    add_dependencies(${target} ${name})
    get_target_property(res_path ${name} MORVANE_RES_FILE)
    target_compile_definitions(${target} PRIVATE ${macro}="${res_path}")
endfunction()
