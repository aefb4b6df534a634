# The hardening that Debian's packages have, for every ELF file the native
# builds make: fortified C library calls where the code is optimised and not
# sanitized (they need optimisation, and get in the sanitizers' way; the
# fuzz targets are sanitized), and a relocation table
# that is read-only once the program has started (full RELRO, bind now).
if(WIN32 OR CMAKE_CROSSCOMPILING OR MSVC)
    return()
endif()
if(NOT MORVANE_BUILD_FUZZ AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    set(optimised "$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<NOT:$<CONFIG:Debug>>>")
    add_compile_options("$<${optimised}:-U_FORTIFY_SOURCE>" "$<${optimised}:-D_FORTIFY_SOURCE=2>")
endif()
add_link_options(LINKER:-z,relro,-z,now)
