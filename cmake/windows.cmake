# strrepl.exe: what it says it is, and the PE header that lets every Windows
# from XP on start it, 32-bit and 64-bit. Included once the strrepl target
# exists; tests/pe-check.sh holds the result to this.
if(NOT STRREPL_OS STREQUAL windows)
    return()
endif()

enable_language(RC)
set(STRREPL_FILE_DESCRIPTION "strrepl - replace every occurrence of a string")
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)
target_sources(strrepl PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version.rc)

# The oldest Windows of each: XP is 5.1, and refuses a program whose
# subsystem version is any newer; 64-bit Windows began with XP x64 and
# Server 2003, 5.2, the least that Windows' own linker writes for x64. Set
# here, not left to the linker, whose default varies (GNU ld's 4.0 would do
# for x86; LLVM's 6.0 would not).
if(STRREPL_ARCH STREQUAL x64)
    set(minor 2)
    # ASLR over the whole 64-bit address space.
    set(high_entropy -Wl,--high-entropy-va)
else()
    set(minor 1)
endif()
target_link_options(strrepl PRIVATE
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,${minor}
    -Wl,--major-os-version,5,--minor-os-version,${minor}
    -Wl,--dynamicbase,--nxcompat ${high_entropy}
    # The link time in the header would make every build different.
    -Wl,--no-insert-timestamp)
