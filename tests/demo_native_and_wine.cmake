# Runs the demonstration session with the native morvane-host and with the
# Windows one under Wine, each in a scratch copy of the examples, and
# compares their transcripts, final scenes and saved names.
#   -DNATIVE_HOST=... -DWINDOWS_HOST=... -DRUN_WINE=... -DEXAMPLES=... -DWORK_DIR=...
foreach(var NATIVE_HOST WINDOWS_HOST RUN_WINE EXAMPLES WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()
if(NOT EXISTS "${NATIVE_HOST}")
    message(FATAL_ERROR "no native morvane-host at ${NATIVE_HOST}: build the native preset first")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/demo_runs.cmake)

morvane_run_demo(native "${WORK_DIR}/native" "${EXAMPLES}" "${NATIVE_HOST}")
morvane_run_demo(windows "${WORK_DIR}/windows" "${EXAMPLES}" bash "${RUN_WINE}" "${WINDOWS_HOST}")
morvane_compare_demos(native windows "${WORK_DIR}")
string(FIND "${native_transcript.txt}" "save dialog chose \"out/names.txt\"" saved)
string(FIND "${native_transcript.txt}" "open dialog chose \"examples/renamed.txt\"" loaded)
if(saved EQUAL -1 OR loaded EQUAL -1)
    message(SEND_ERROR "the transcript does not show both file dialogs choosing their files")
endif()
