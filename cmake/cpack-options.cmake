# Read by cpack before it builds each package (CPACK_PROJECT_CONFIG_FILE).
#
# Every time stored in a package is SOURCE_DATE_EPOCH, which CPack honours:
# the caller's if set, else the time of the last commit, so that two builds of
# one commit make the same bytes. (strrepl.exe's header holds no time at all:
# its link leaves it out, cmake/windows.cmake.)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "")
    if(CPACK_STRREPL_GIT)
        execute_process(COMMAND "${CPACK_STRREPL_GIT}" log -1 --format=%ct
                        WORKING_DIRECTORY "${CPACK_STRREPL_SOURCE_DIR}"
                        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(epoch MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    else()
        message(WARNING "Neither SOURCE_DATE_EPOCH nor a commit to take it from: "
                        "the package will hold the files' own times")
    endif()
endif()

# A ZIP stores local times: make them the same in every time zone.
set(ENV{TZ} UTC0)
