# Read by cpack (CPACK_PROJECT_CONFIG_FILE) before it makes the Debian
# package: the package's Depends field, from the libraries that the built
# programs and plug-ins need, as dpkg-shlibdeps finds them. cpack's own
# dpkg-shlibdeps step is left off, since with it cpack also writes
# maintainer scripts that call ldconfig, as for libraries in /usr/lib;
# the libraries in /usr/lib/morvane are private to morvane-host.
#
# Set before: MORVANE_DEB_FILES (the ELF files), MORVANE_DEB_LIBDIR (where
# the project's own libraries among them lie), MORVANE_DEB_WORK_DIR.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
find_program(MORVANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT MORVANE_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is missing (Debian package dpkg-dev)")
endif()
# dpkg-shlibdeps runs in a source tree: a folder with a debian/control.
file(MAKE_DIRECTORY "${MORVANE_DEB_WORK_DIR}/debian")
file(WRITE "${MORVANE_DEB_WORK_DIR}/debian/control" "")
execute_process(COMMAND "${MORVANE_DPKG_SHLIBDEPS}" --ignore-missing-info "-l${MORVANE_DEB_LIBDIR}" -O
                        ${MORVANE_DEB_FILES}
                WORKING_DIRECTORY "${MORVANE_DEB_WORK_DIR}"
                OUTPUT_VARIABLE found ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT found MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps found no dependencies (status ${status}):\n${errors}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
