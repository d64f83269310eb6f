# GoogleTest for both builds and the ctest plumbing that runs Windows tests under Wine.
include(GoogleTest)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest as sources; build them with the cross compiler.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # 32-bit programs need Wine's 32-bit half, which only starts where the kernel runs 32-bit x86
    # programs (scripts/setup.sh installs it there). Elsewhere the tests under Wine are built and
    # listed as not run; the x86-64 build runs them.
    set(QDV_WINE_TEST_PROPERTIES FIXTURES_REQUIRED wine)
    set(wine_session_properties "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        execute_process(COMMAND /usr/lib/wine/wine --version
            RESULT_VARIABLE wine32 OUTPUT_QUIET ERROR_QUIET)
        if(NOT wine32 EQUAL 0)
            message(STATUS "Wine runs no 32-bit programs here: tests under Wine are disabled")
            list(APPEND QDV_WINE_TEST_PROPERTIES DISABLED TRUE)
            set(wine_session_properties DISABLED TRUE)
        endif()
    endif()

    # One private prefix per build tree. Its Wine session is started before any test under Wine
    # and ended after the last: started by a test's program, the session's processes would hold
    # that test's output open and ctest would wait for them to end (up to two minutes a test;
    # cmake/wine-session.sh tells the whole story). Making a new prefix takes 10-30 s.
    set(QDV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix used by the tests")
    set(QDV_TEST_ENV "WINEPREFIX=${QDV_WINEPREFIX}")
    add_test(NAME wine_session_start COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine-session.sh fresh)
    set_tests_properties(wine_session_start PROPERTIES
        FIXTURES_SETUP wine TIMEOUT 300 ENVIRONMENT "${QDV_TEST_ENV}" ${wine_session_properties})
    add_test(NAME wine_session_end COMMAND wineserver -k)
    set_tests_properties(wine_session_end PROPERTIES
        FIXTURES_CLEANUP wine ENVIRONMENT "${QDV_TEST_ENV}" ${wine_session_properties})
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
            TIMEOUT 120 ENVIRONMENT "${QDV_TEST_ENV}" ${QDV_WINE_TEST_PROPERTIES})
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
    endif()
endfunction()

# qdv_check_imports(<name> <binary> [EXPORTS <def file>]): fails when the 32-bit Windows binary
# imports a function that Windows XP's system DLLs lack (the list in tests/win/imports) or, given
# a .def file, when it does not export exactly the names listed there. The binary may be a
# generator expression.
function(qdv_check_imports name binary)
    cmake_parse_arguments(C "" "EXPORTS" "" ${ARGN})
    set(checker ${PROJECT_SOURCE_DIR}/tests/win/imports/check_imports.py)
    set(args --objdump ${CMAKE_OBJDUMP} --allowed ${PROJECT_SOURCE_DIR}/tests/win/imports/windows-xp.txt)
    if(C_EXPORTS)
        list(APPEND args --exports ${C_EXPORTS})
    endif()
    add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${checker} ${args} ${binary})
endfunction()
