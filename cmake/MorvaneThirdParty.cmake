# Third-party packages, all from Debian.
#
# Native builds find the installed packages. Cross builds (32-bit Windows)
# cannot use the build machine's libraries and must not see its /usr/include,
# so they build GoogleTest from Debian's sources (package googletest) with
# the cross compiler and use nlohmann-json's headers from a copy of their own.
#
#   morvane_provide_nlohmann_json()  defines nlohmann_json::nlohmann_json
#   morvane_provide_googletest()     defines GTest::gtest, GTest::gtest_main,
#                                    GTest::gmock and GTest::gmock_main

set(MORVANE_NLOHMANN_JSON_HEADERS /usr/include/nlohmann CACHE PATH
    "nlohmann-json's header folder, copied for cross builds")
set(MORVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest's source tree, built for cross builds")

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
