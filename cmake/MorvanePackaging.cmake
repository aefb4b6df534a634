# Installation (cmake --install BUILD --prefix P) and packages (cpack): a
# Debian package of the native build, a zip archive of the Windows build.
# Where the files go: MorvaneInstallLayout.cmake.

# morvane-host, the plug-ins and the stand-in host's libraries; installed,
# they find each other relative to their own folders.
install(TARGETS morvane-host RUNTIME DESTINATION ${MORVANE_INSTALL_BINDIR})
set_target_properties(morvane-host PROPERTIES INSTALL_RPATH "$ORIGIN/${MORVANE_PLUGINDIR_FROM_BIN}")
foreach(library Tarvel Velkora morvane_standin morvane_win32)
    get_target_property(type ${library} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
        # Import libraries (Windows) are for linking against the stand-in
        # host, which no user of the package does.
        install(TARGETS ${library}
                RUNTIME DESTINATION ${MORVANE_INSTALL_PLUGINDIR}
                LIBRARY DESTINATION ${MORVANE_INSTALL_PLUGINDIR}
                ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
        set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
    endif()
endforeach()

install(FILES README.md DESTINATION ${MORVANE_INSTALL_DOCDIR})
# The licence: in the Debian package as its copyright file, with the
# changelog that Debian's policy asks for (gzip -9n: no name, no time).
if(WIN32)
    install(FILES LICENSE DESTINATION ${MORVANE_INSTALL_DOCDIR})
else()
    find_program(MORVANE_GZIP gzip REQUIRED)
    set(changelog "${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz")
    add_custom_command(OUTPUT "${changelog}"
                       COMMAND ${MORVANE_GZIP} -9nc "${PROJECT_SOURCE_DIR}/packaging/debian/changelog" > "${changelog}"
                       DEPENDS "${PROJECT_SOURCE_DIR}/packaging/debian/changelog"
                       COMMENT "Compressing the Debian changelog")
    add_custom_target(morvane_changelog ALL DEPENDS "${changelog}")
    install(FILES packaging/debian/copyright "${changelog}" DESTINATION ${MORVANE_INSTALL_DOCDIR})
endif()
install(DIRECTORY docs examples DESTINATION ${MORVANE_INSTALL_DOCDIR} PATTERN CMakeLists.txt EXCLUDE)

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR Morvane)
set(CPACK_PACKAGE_CONTACT "Morvane developers <dev@morvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pivot and node-name utility plug-ins for a 3D modelling host")
# One line of the package's description a line of this text (Debian wants
# them at most 80 characters long).
set(CPACK_PACKAGE_DESCRIPTION "Tarvel moves the pivot of a node by two clicked points and aligns
nodes to their namesakes; Velkora saves and loads the names of all scene
nodes. morvane-host runs both plug-ins, through their panels, with a
stand-in host on glTF 2.0 scenes (.gltf and .glb) and on scene files of
its own.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win32)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
    # The dependencies, from the libraries that the files need.
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/MorvaneCPackProject.cmake" CONTENT "\
set(MORVANE_DEB_FILES \"$<TARGET_FILE:morvane-host>;$<TARGET_FILE:Tarvel>;$<TARGET_FILE:Velkora>;\
$<TARGET_FILE:morvane_standin>;$<TARGET_FILE:morvane_win32>\")
set(MORVANE_DEB_LIBDIR \"$<TARGET_FILE_DIR:morvane_standin>\")
set(MORVANE_DEB_WORK_DIR \"${CMAKE_BINARY_DIR}/shlibdeps\")
include(\"${PROJECT_SOURCE_DIR}/cmake/MorvaneDebianDepends.cmake\")
")
    set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/MorvaneCPackProject.cmake")
    # The package is for users of this project, not an upload to Debian,
    # so its first changelog entry closes no bug (see the overrides).
    install(FILES packaging/debian/lintian-overrides DESTINATION share/lintian/overrides RENAME morvane)
endif()
include(CPack)
