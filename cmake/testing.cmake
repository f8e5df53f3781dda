# What a test needs to run a program of this build: strrepl_program_test,
# for the tests and the benchmarks' one pass. Included when testing, before
# either folder.
find_program(BASH bash REQUIRED)
set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
if(STRREPL_OS STREQUAL windows AND NOT emulator)
    message(FATAL_ERROR "The tests of a Windows build run under Wine: install wine, or "
                        "configure with -D BUILD_TESTING=OFF")
endif()
# A Wine prefix of the tests' own, away from the user's Wine programs.
set(wine_prefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(probe)
if(STRREPL_ARCH STREQUAL x86)
    set(probe ${BASH} ${PROJECT_SOURCE_DIR}/tests/x86-probe.sh)
endif()

# strrepl_program_test(NAME LABELS label... [FIXTURES fixture...]
#                      [SETS_UP fixture] COMMAND command...)
# A test that runs programs of this build, with all they need. A COMMAND
# that starts with a program's target runs it under the emulator (Wine, for
# a Windows build), as add_test does; a script is given the emulator among
# its arguments. On Windows the test runs in the tests' own prefix (fixture
# wine, which wine-start sets up), Wine's own diagnostics off, since they
# would mix with the program's standard error; in a 32-bit x86 build it
# starts with x86-probe.sh, and where the machine runs no 32-bit x86 program
# at all CTest reports it as skipped (the reason in its log), never as
# failed.
function(strrepl_program_test name)
    cmake_parse_arguments(PARSE_ARGV 1 test "" SETS_UP "LABELS;FIXTURES;COMMAND")
    list(POP_FRONT test_COMMAND program)
    if(TARGET ${program})
        set(program ${emulator} $<TARGET_FILE:${program}>)
    endif()
    add_test(NAME ${name} COMMAND ${probe} ${program} ${test_COMMAND})
    set_tests_properties(${name} PROPERTIES LABELS "${test_LABELS}")
    if(probe)
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
    if(STRREPL_OS STREQUAL windows)
        # One at a time: two of them at once in one prefix made Wine now and
        # then lose a program's run (about 1 in 30 runs of cli and strrepl-set
        # together; none in 60 one after the other).
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-prefix
                             ENVIRONMENT "WINEDEBUG=-all;WINEPREFIX=${wine_prefix}")
        if(test_SETS_UP)
            set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${test_SETS_UP})
        else()
            list(APPEND test_FIXTURES wine)
        endif()
    endif()
    if(test_FIXTURES)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${test_FIXTURES}")
    endif()
endfunction()
