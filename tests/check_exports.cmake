# Checks that a built plug-in library exports exactly the four Lib
# functions, undecorated, and nothing else.
#   cmake -DLIBRARY=<file> -DFORMAT=elf|pe -DTOOL=<nm or objdump> -P check_exports.cmake
set(expected LibClassDesc LibDescription LibNumberClasses LibVersion)

if(FORMAT STREQUAL "elf")
    execute_process(COMMAND ${TOOL} -D --defined-only ${LIBRARY}
                    OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
    string(REGEX MATCHALL "[^\n]+" lines "${listing}")
    set(exported)
    foreach(line IN LISTS lines)
        # "<address> <type> <name>"
        if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ @]+)")
            list(APPEND exported ${CMAKE_MATCH_1})
        endif()
    endforeach()
else()
    execute_process(COMMAND ${TOOL} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
    # The export name table: lines such as "	[   0] LibClassDesc".
    string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]*\\[[ 0-9]+\\] [^\n]+\n)*)" table "${listing}")
    # The "[ n]" prefixes go before the lines become a list: an unpaired
    # bracket in a list element would hide the separators after it.
    string(REGEX REPLACE "[ \t]*\\[[ 0-9]+\\] " "" names "${CMAKE_MATCH_1}")
    string(REGEX MATCHALL "[^\n]+" exported "${names}")
endif()

if(failed)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
endif()
list(SORT exported)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${LIBRARY} exports [${exported}], expected exactly [${expected}]")
endif()
message(STATUS "${LIBRARY} exports exactly: ${exported}")
