# Writes the manual page OUT (gzip-compressed) of the morvane-host HOST.
#   cmake -DHOST=... -DVERSION=... -DHELP2MAN=... -DAWK=... -DGZIP=...
#         -DSOURCE_DIR=<this folder> -DSESSIONS=<docs/sessions.md> -DOUT=... -P make_manual.cmake
cmake_minimum_required(VERSION 3.25)

cmake_path(REMOVE_EXTENSION OUT LAST_ONLY OUTPUT_VARIABLE page)
set(sessions_part "${page}.sessions.h2m")

execute_process(
    COMMAND ${AWK} "-vsections=The language=SESSION LANGUAGE|The transcript=TRANSCRIPT|Files and errors=CHECKS AND ERRORS"
            -f "${SOURCE_DIR}/markdown-to-man.awk" "${SESSIONS}"
    OUTPUT_FILE "${sessions_part}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the sessions part of the manual page could not be made from ${SESSIONS}")
endif()

# help2man reads the usage in its own form (help-in-gnu-form.sh), and the
# copyright from --version.
set(ENV{MORVANE_HOST} "${HOST}")
execute_process(
    COMMAND ${HELP2MAN} --no-info --section=1 --locale=C.UTF-8
            "--name=run the Tarvel and Velkora plug-ins on a scene file, through their panels"
            "--include=${sessions_part}" "--include=${SOURCE_DIR}/morvane-host.h2m"
            "--output=${page}" "${SOURCE_DIR}/help-in-gnu-form.sh"
    RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed (${status}): ${errors}")
endif()

# The exit statuses are a section of their own, as in other manual pages;
# help2man makes the paragraph of --help that gives them a subsection.
file(READ "${page}" text)
string(REPLACE ".SS \"Exit status:\"" ".SH \"EXIT STATUS\"" text "${text}")
string(FIND "${text}" ".SH \"EXIT STATUS\"" at)
if(at EQUAL -1)
    message(FATAL_ERROR "--help gives no exit statuses")
endif()
file(WRITE "${page}" "${text}")

execute_process(COMMAND ${GZIP} -9 -n -c "${page}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed (${status})")
endif()
