# The system strrepl is built for, decided here once, from what the
# toolchain says (CMAKE_SYSTEM_NAME, CMAKE_SYSTEM_PROCESSOR); the rest of the
# build asks only what this sets:
#   STRREPL_OS      linux or windows
#   STRREPL_ARCH    x86 or x64 (on Linux another processor by its own name)
#   STRREPL_SYSTEM  the two joined (linux-x64, windows-x86, windows-x64):
#                   the Windows ZIP's name carries it
#   CPACK_DEBIAN_PACKAGE_ARCHITECTURE   amd64, set for Linux on x86-64
#                   alone: for another processor it stays unset, and CPack
#                   takes that of the machine that packages (dpkg
#                   --print-architecture), right for a native build
# and what the linker takes of the flags only some linkers know
# (STRREPL_LINKER_RELRO, STRREPL_LINKER_RELR, STRREPL_LINKER_GC_SECTIONS,
# STRREPL_LINKER_WRAP), with strrepl_wrap, which links a test's calls of
# system functions to its own.
#
# Included right after project(), which enables no language: a toolchain for
# a system strrepl does not build stops here, before its compiler is looked
# for, whether or not that compiler exists.

# Each pair strrepl builds, as toolchains name its processor. On Linux any
# processor: nothing there depends on it, the hardening that does is probed,
# and the Debian package takes dpkg's name for one other than x86-64.
if(CMAKE_SYSTEM_NAME STREQUAL Linux)
    set(STRREPL_OS linux)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
        set(STRREPL_ARCH x64)
        set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    else()
        string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" STRREPL_ARCH)
    endif()
elseif(CMAKE_SYSTEM_NAME STREQUAL Windows AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86|X86|i[3-6]86)$")
    set(STRREPL_OS windows)
    set(STRREPL_ARCH x86)
elseif(CMAKE_SYSTEM_NAME STREQUAL Windows AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(STRREPL_OS windows)
    set(STRREPL_ARCH x64)
else()
    message(FATAL_ERROR "strrepl does not build for ${CMAKE_SYSTEM_NAME} on "
        "'${CMAKE_SYSTEM_PROCESSOR}' (CMAKE_SYSTEM_NAME and CMAKE_SYSTEM_PROCESSOR, as the "
        "toolchain sets them). It builds for Linux and for Windows on x86 (x86, i686) and "
        "x86-64 (AMD64, x86_64): cmake/platform.cmake.")
endif()
set(STRREPL_SYSTEM ${STRREPL_OS}-${STRREPL_ARCH})

enable_language(CXX)
# For Windows, what the toolchain says must be what its compiler makes: the
# program's header is set for it (cmake/windows.cmake).
if(STRREPL_OS STREQUAL windows)
    if(STRREPL_ARCH STREQUAL x86)
        set(pointer_size 4)
    else()
        set(pointer_size 8)
    endif()
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL pointer_size)
        message(FATAL_ERROR "The toolchain says ${STRREPL_SYSTEM}, but its compiler "
            "(${CMAKE_CXX_COMPILER}) makes ${CMAKE_SIZEOF_VOID_P}-byte pointers, not ${pointer_size}")
    endif()
    if(NOT MINGW)
        message(FATAL_ERROR "strrepl builds for Windows with MinGW-w64's GCC alone, "
            "not with ${CMAKE_CXX_COMPILER_ID} (${CMAKE_CXX_COMPILER})")
    endif()
endif()

# Whether the linker takes a flag: a warning counts as a no, since GNU ld only
# warns of a -z keyword it does not know. Without one, strrepl is built
# without what it gives, and says so.
include(CheckLinkerFlag)
function(strrepl_linker_takes variable flag)
    check_linker_flag(CXX "-Wl,--fatal-warnings;${flag}" ${variable})
endfunction()
strrepl_linker_takes(STRREPL_LINKER_WRAP -Wl,--wrap=strrepl_probe)
if(STRREPL_OS STREQUAL linux)
    strrepl_linker_takes(STRREPL_LINKER_RELRO -Wl,-z,relro,-z,now)
    if(NOT STRREPL_LINKER_RELRO)
        message(WARNING "The linker takes no -z relro -z now: strrepl's relocations will be "
                        "neither bound at start-up nor read-only after it")
    endif()
    # Relocations packed as bitmaps: a position-independent start-up then
    # reads a fraction of the table.
    strrepl_linker_takes(STRREPL_LINKER_RELR -Wl,-z,pack-relative-relocs)
    # The scan and the sink over wide units are for the tests alone: the
    # tool's link drops what it never calls.
    strrepl_linker_takes(STRREPL_LINKER_GC_SECTIONS -Wl,--gc-sections)
    if(NOT STRREPL_LINKER_RELR OR NOT STRREPL_LINKER_GC_SECTIONS)
        message(STATUS "The linker takes no -z pack-relative-relocs or no --gc-sections: "
                       "strrepl's start-up reads more relocations, or it keeps the tests' code")
    endif()
endif()

# strrepl_wrap(TARGET FUNCTION...) links TARGET's calls of each system
# FUNCTION to __wrap_SYMBOL, SYMBOL being what the object code calls: the
# function on Linux, its import table entry on Windows. Each FUNCTION is a
# name, on Windows with `@` and the size of its arguments in bytes (32-bit
# x86 names a stdcall function with it). TARGET's code finds its own
# function and the real one by their assembler names, STRREPL_WRAP_<name>
# and STRREPL_REAL_<name>.
function(strrepl_wrap target)
    if(NOT STRREPL_LINKER_WRAP)
        message(FATAL_ERROR "${target} needs a linker that takes --wrap (GNU ld, gold, "
                            "LLD); configure with -D BUILD_TESTING=OFF to build without it")
    endif()
    foreach(function IN LISTS ARGN)
        string(REGEX REPLACE "@.*" "" name "${function}")
        set(underscore "")
        if(STRREPL_OS STREQUAL linux)
            set(symbol ${name})
        elseif(STRREPL_ARCH STREQUAL x64)
            set(symbol __imp_${name})
        else()
            # __imp__WriteFile@20 in the object, whose every C name starts
            # with an underscore; --wrap takes the C name.
            set(symbol _imp__${function})
            set(underscore _)
        endif()
        target_link_options(${target} PRIVATE -Wl,--wrap=${symbol})
        target_compile_definitions(${target} PRIVATE
            "STRREPL_WRAP_${name}=\"${underscore}__wrap_${symbol}\""
            "STRREPL_REAL_${name}=\"${underscore}__real_${symbol}\"")
    endforeach()
endfunction()
