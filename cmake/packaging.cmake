# Installation and packages: a ZIP for Windows users (strrepl.exe with a
# README.txt and LICENSE.txt in CR LF), a Debian package elsewhere.
#
# Both are reproducible: two builds of one commit, in any folders, give the
# same bytes (tests/reproducible.sh). Every time stored in a package is
# SOURCE_DATE_EPOCH, or else the last commit's time (cpack-options.cmake);
# compressed files are made with gzip -n, which stores neither name nor time;
# cpack-pre-build.cmake and cpack-post-build.cmake take out what CPack would
# take from the build machine.
include(GNUInstallDirs)

# Folders made by installing: 0755, less what the umask takes away (for the
# packages cpack-pre-build.cmake puts that back).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRREPL_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})

set(STRREPL_MAINTAINER "The strrepl developers <strrepl@users.noreply.invalid>")

# Every document that names a version must name this one.
function(strrepl_check_version file pattern)
    file(READ ${PROJECT_SOURCE_DIR}/${file} text)
    if(NOT text MATCHES "${pattern}" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "${file} is out of date: it names version '${CMAKE_MATCH_1}', "
                            "the project is ${PROJECT_VERSION}")
    endif()
endfunction()
strrepl_check_version(doc/debian/changelog "^strrepl \\(([^)]+)\\)")
strrepl_check_version(doc/strrepl.1 "^\\.TH [^\n]*\"strrepl ([^\"]+)\"")

if(STRREPL_OS STREQUAL windows)
    # For Windows users: the program, the batch file that calls it, what it
    # is and its licence, in CR LF (Notepad before Windows 10 needs it, and
    # cmd misreads labels in a batch file without it).
    set(windows ${CMAKE_CURRENT_BINARY_DIR}/windows)
    # Which of the two this ZIP holds, in README.txt.
    if(STRREPL_ARCH STREQUAL x64)
        set(STRREPL_WINDOWS_BUILD "64-bit build, for 64-bit Windows from XP x64 and Server 2003 on")
    else()
        set(STRREPL_WINDOWS_BUILD "32-bit build, for every Windows from XP on, 32-bit or 64-bit")
    endif()
    # The most strrepl-set.bat takes after its name, which it sets itself.
    file(STRINGS ${PROJECT_SOURCE_DIR}/doc/strrepl-set.bat most REGEX "^@set \"most=[0-9]+\"")
    if(NOT most MATCHES "=([0-9]+)")
        message(FATAL_ERROR "doc/strrepl-set.bat: no @set \"most=...\" line")
    endif()
    set(STRREPL_HELPER_MOST ${CMAKE_MATCH_1})
    configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${windows}/README.txt
                   @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${windows}/LICENSE.txt
                   @ONLY NEWLINE_STYLE CRLF)
    install(TARGETS strrepl RUNTIME DESTINATION .)
    # Stripping writes SOURCE_DATE_EPOCH into the header as the link time,
    # which the linker left at 0 (no time at all, cmake/windows.cmake): put
    # the 0 back.
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_COMMAND}\" -E env SOURCE_DATE_EPOCH=0
                \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/strrepl.exe\"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()")
    # In CR LF as checked out (.gitattributes).
    install(FILES ${PROJECT_SOURCE_DIR}/doc/strrepl-set.bat ${windows}/README.txt
            ${windows}/LICENSE.txt DESTINATION .)
    find_program(STRREPL_ZIP zip)
    set(CPACK_STRREPL_ZIP "${STRREPL_ZIP}")
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME ${STRREPL_SYSTEM})
    # It unpacks into one folder, strrepl-<version>-windows-x86 (or -x64).
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    find_program(GZIP gzip REQUIRED)
    set(debian ${CMAKE_CURRENT_BINARY_DIR}/debian)

    # The man page and changelog compressed as Debian wants them.
    set(compressed)
    foreach(source IN ITEMS doc/strrepl.1 doc/debian/changelog)
        get_filename_component(name ${source} NAME)
        add_custom_command(
            OUTPUT ${debian}/${name}.gz
            COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${debian}/${name}
            COMMAND ${GZIP} -n -9 -f ${debian}/${name}
            DEPENDS ${PROJECT_SOURCE_DIR}/${source}
            COMMENT "Compressing ${source}"
            VERBATIM)
        list(APPEND compressed ${debian}/${name}.gz)
    endforeach()
    add_custom_target(debian-docs ALL DEPENDS ${compressed})

    # The machine-readable copyright file: the licence terms as a paragraph
    # of continuation lines, blank lines as " .".
    string(STRIP "${STRREPL_LICENSE_TERMS}" license_terms)
    string(REGEX REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
    string(REGEX REPLACE "\n" "\n " STRREPL_LICENSE_TEXT " ${license_terms}")
    configure_file(${PROJECT_SOURCE_DIR}/doc/debian/copyright.in ${debian}/copyright @ONLY)

    install(TARGETS strrepl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${debian}/strrepl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${debian}/copyright ${debian}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # The .deb's alone: cmake --install leaves it out.
    install(FILES ${PROJECT_SOURCE_DIR}/doc/debian/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME strrepl
            COMPONENT debian EXCLUDE_FROM_ALL)
    # Stripping leaves the compilers' version notes in .comment.
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/strrepl\"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()")

    set(CPACK_GENERATOR DEB)
    set(CPACK_INSTALL_CMAKE_PROJECTS
        "${CMAKE_BINARY_DIR};strrepl;Unspecified;/;${CMAKE_BINARY_DIR};strrepl;debian;/")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # Follows the summary (CPACK_PACKAGE_DESCRIPTION_SUMMARY) in the control
    # file: paragraphs of plain text, wrapped as they should show.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
strrepl writes a string with every occurrence of a second string replaced
by a third, and adds nothing: no line end, no escapes, no patterns. Matching
is exact and byte for byte, leftmost first and never overlapping, and the
replacement is never scanned again.

It is meant for shell scripts and other programs that need a literal
replacement without escaping the search string for a regular expression
engine. The result streams straight out, however long it is, and a run
costs little more than starting an empty program.]])
endif()

set(CPACK_PACKAGE_NAME strrepl)
set(CPACK_PACKAGE_VENDOR "The strrepl developers")
set(CPACK_PACKAGE_CONTACT "${STRREPL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-options.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-pre-build.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-post-build.cmake)
find_package(Git QUIET)
set(CPACK_STRREPL_GIT "${GIT_EXECUTABLE}")
set(CPACK_STRREPL_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
include(CPack)
