# strrepl.exe: what it says it is, and the PE header that lets every 32-bit
# Windows from XP on start it. Included once the strrepl target exists;
# tests/pe-check.sh holds the result to this.
if(NOT MINGW)
    return()
endif()

enable_language(RC)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE copyright REGEX "^Copyright \\(c\\) ")
string(REGEX REPLACE "^Copyright \\(c\\) " "" STRREPL_COPYRIGHT "${copyright}")
set(STRREPL_FILE_DESCRIPTION "strrepl - replace every occurrence of a string")
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)
target_sources(strrepl PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version.rc)

target_link_options(strrepl PRIVATE
    # Windows XP is 5.1 and refuses a program whose subsystem version is any
    # newer. Set here, not left to the linker, whose default varies (GNU ld's
    # 4.0 would do; LLVM's 6.0 would not).
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,1
    -Wl,--major-os-version,5,--minor-os-version,1
    # The link time in the header would make every build different.
    -Wl,--no-insert-timestamp)
