# Third-party packages, all from Debian.
#
# Native builds find the installed packages. Cross builds (32-bit Windows)
# cannot use the build machine's libraries and must not see its /usr/include,
# so they build GoogleTest from Debian's sources (package googletest) with
# the cross compiler and use nlohmann-json's headers from a copy of their own.
#
# The viewer's HTTP server is cpp-httplib: natively Debian's shared library
# (libcpp-httplib-dev, whose header holds declarations only); on Windows the
# header-only httplib.h of Debian's source package of the same version,
# which scripts/install-httplib-source.sh unpacks into the build tree.
#
#   morvane_provide_nlohmann_json()  defines nlohmann_json::nlohmann_json
#   morvane_provide_googletest()     defines GTest::gtest, GTest::gtest_main,
#                                    GTest::gmock and GTest::gmock_main
#   morvane_provide_httplib()        defines morvane_httplib, where the
#                                    native build finds the library; the
#                                    Windows build cannot do without it

set(MORVANE_NLOHMANN_JSON_HEADERS /usr/include/nlohmann CACHE PATH
    "nlohmann-json's header folder, copied for cross builds")
set(MORVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest's source tree, built for cross builds")
set(MORVANE_HTTPLIB_SOURCE ${CMAKE_SOURCE_DIR}/build/third_party/cpp-httplib CACHE PATH
    "The folder of cpp-httplib's header-only httplib.h, for Windows builds")

macro(morvane_provide_nlohmann_json)
    if(TARGET nlohmann_json::nlohmann_json)
        # already provided
    elseif(CMAKE_CROSSCOMPILING)
        if(NOT EXISTS "${MORVANE_NLOHMANN_JSON_HEADERS}/json.hpp")
            message(FATAL_ERROR "nlohmann-json headers not found in ${MORVANE_NLOHMANN_JSON_HEADERS} "
                                "(Debian package nlohmann-json3-dev)")
        endif()
        set(_morvane_json_include "${CMAKE_BINARY_DIR}/third_party/nlohmann_json/include")
        file(COPY "${MORVANE_NLOHMANN_JSON_HEADERS}" DESTINATION "${_morvane_json_include}")
        add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
        set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
            INTERFACE_INCLUDE_DIRECTORIES "${_morvane_json_include}")
    else()
        find_package(nlohmann_json 3 REQUIRED)
    endif()
endmacro()

macro(morvane_provide_googletest)
    if(TARGET GTest::gtest)
        # already provided
    elseif(CMAKE_CROSSCOMPILING)
        if(NOT EXISTS "${MORVANE_GOOGLETEST_SOURCE}/CMakeLists.txt")
            message(FATAL_ERROR "GoogleTest sources not found in ${MORVANE_GOOGLETEST_SOURCE} "
                                "(Debian package googletest)")
        endif()
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        # Only what the tests link is built; its headers count as system
        # headers, so the project's warnings do not apply to them.
        add_subdirectory("${MORVANE_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/third_party/googletest"
                         EXCLUDE_FROM_ALL SYSTEM)
        # GoogleTest's own CMake files name its targets GTest::<name>.
        foreach(_morvane_gtest_target gtest gtest_main gmock gmock_main)
            if(NOT TARGET GTest::${_morvane_gtest_target})
                add_library(GTest::${_morvane_gtest_target} ALIAS ${_morvane_gtest_target})
            endif()
        endforeach()
    else()
        find_package(GTest REQUIRED)
    endif()
endmacro()

macro(morvane_provide_httplib)
    if(TARGET morvane_httplib)
        # already provided
    elseif(WIN32)
        if(NOT EXISTS "${MORVANE_HTTPLIB_SOURCE}/httplib.h")
            message(FATAL_ERROR "cpp-httplib's httplib.h not found in ${MORVANE_HTTPLIB_SOURCE}: "
                                "scripts/install-httplib-source.sh unpacks it (make windows runs it)")
        endif()
        find_package(Threads REQUIRED)
        add_library(morvane_httplib INTERFACE)
        target_include_directories(morvane_httplib SYSTEM INTERFACE "${MORVANE_HTTPLIB_SOURCE}")
        target_link_libraries(morvane_httplib INTERFACE ws2_32 Threads::Threads)
        # Windows keeps the queue of a socket's first listen, which the
        # library makes: the viewer's queue (WatchedServer::kBacklog).
        # And <windows.h>, which the host's headers include first, leaves out
        # the old <winsock.h>, which the library's <winsock2.h> replaces.
        target_compile_definitions(morvane_httplib INTERFACE CPPHTTPLIB_LISTEN_BACKLOG=512 WIN32_LEAN_AND_MEAN)
    else()
        find_path(MORVANE_HTTPLIB_INCLUDE httplib.h)
        find_library(MORVANE_HTTPLIB_LIBRARY cpp-httplib)
        if(MORVANE_HTTPLIB_INCLUDE AND MORVANE_HTTPLIB_LIBRARY)
            find_package(Threads REQUIRED)
            add_library(morvane_httplib INTERFACE)
            target_include_directories(morvane_httplib SYSTEM INTERFACE ${MORVANE_HTTPLIB_INCLUDE})
            target_link_libraries(morvane_httplib INTERFACE ${MORVANE_HTTPLIB_LIBRARY} Threads::Threads)
        endif()
    endif()
endmacro()
