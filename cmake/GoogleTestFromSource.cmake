# GoogleTest for a cross build: Debian's libgtest-dev holds Linux libraries only, so the
# sources Debian's googletest package installs are built into this tree, under the names
# find_package(GTest) gives natively.
set(GLASSBENCH_GOOGLETEST_SOURCE /usr/src/googletest/googletest
    CACHE PATH "GoogleTest's sources, for builds that cannot use the system's libraries")
if(NOT EXISTS ${GLASSBENCH_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${GLASSBENCH_GOOGLETEST_SOURCE}: "
                        "install Debian's googletest package (scripts/setup.sh googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GLASSBENCH_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest 1.12 names its targets GTest::gtest and GTest::gtest_main itself; older sources
# do not.
foreach(_target gtest gtest_main)
    if(NOT TARGET GTest::${_target})
        add_library(GTest::${_target} ALIAS ${_target})
    endif()
endforeach()
