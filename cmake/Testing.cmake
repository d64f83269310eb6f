# GoogleTest for both builds and the ctest plumbing that runs Windows tests under Wine.
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest as sources; build them with the cross compiler.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # One private prefix per build tree, created by the first test of a run and shut down at the end.
    set(QDV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix used by the tests")
    set(QDV_TEST_ENV "WINEPREFIX=${QDV_WINEPREFIX}")
    add_test(NAME wine_session_end COMMAND wineserver -k)
    set_tests_properties(wine_session_end PROPERTIES
        FIXTURES_CLEANUP wine ENVIRONMENT "${QDV_TEST_ENV}")
else()
    find_package(GTest REQUIRED)
    set(QDV_TEST_ENV "")
endif()

# qdv_add_test(<name> SOURCES ... LIBS ...): one GoogleTest executable. Natively every case is
# its own ctest test; under Wine the executable is one test, which saves a Wine start per case.
function(qdv_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    qdv_strict(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            TIMEOUT 300 FIXTURES_REQUIRED wine ENVIRONMENT "${QDV_TEST_ENV}")
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
    endif()
endfunction()
