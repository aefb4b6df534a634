# For the scripts that compare a native run with one under Wine: stops
# unless every variable named is set and the native morvane-host is built.
macro(require_native_and_wine_inputs)
    foreach(var ${ARGN})
        if(NOT DEFINED ${var})
            message(FATAL_ERROR "${var} is not set")
        endif()
    endforeach()
    if(NOT EXISTS "${NATIVE_HOST}")
        message(FATAL_ERROR "no native morvane-host at ${NATIVE_HOST}: build the native preset first")
    endif()
endmacro()
