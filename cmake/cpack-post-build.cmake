# Run by cpack once a package is made (CPACK_POST_BUILD_SCRIPTS): takes out
# what would differ from one build machine to another.

# A .deb, which CPack makes with two things that depend on the build machine:
# - Installed-Size, which it sums from the sizes the file system gives, its
#   directories' included (4 KiB each on ext4, less on tmpfs);
# - the ar headers' modes, copied from the files it wrote under the umask.
# Made again here from CPack's members: Installed-Size counted as
# dpkg-gencontrol counts it (each file's size in KiB rounded up, 1 for anything
# else), the control archive with fixed owner, modes and times, and ar headers
# as dpkg-deb writes them.
function(strrepl_normalise_deb package)
    foreach(tool IN ITEMS ar tar gzip cat)
        find_program(${tool}_program ${tool} REQUIRED)
    endforeach()
    if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
        message(WARNING "SOURCE_DATE_EPOCH unset: ${package} is left as CPack made it")
        return()
    endif()
    set(epoch $ENV{SOURCE_DATE_EPOCH})

    set(work "${package}.parts")
    file(REMOVE_RECURSE "${work}")
    file(MAKE_DIRECTORY "${work}/control" "${work}/data")
    execute_process(COMMAND "${ar_program}" x "${package}"
                    WORKING_DIRECTORY "${work}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${tar_program}" -xf ../control.tar.gz
                    WORKING_DIRECTORY "${work}/control" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${tar_program}" -xf ../data.tar.gz
                    WORKING_DIRECTORY "${work}/data" COMMAND_ERROR_IS_FATAL ANY)

    set(size 1)
    file(GLOB_RECURSE contents LIST_DIRECTORIES true "${work}/data/*")
    foreach(path IN LISTS contents)
        if(IS_SYMLINK "${path}" OR NOT IS_DIRECTORY "${path}")
            file(SIZE "${path}" bytes)
            math(EXPR size "${size} + (${bytes} + 1023) / 1024")
        else()
            math(EXPR size "${size} + 1")
        endif()
    endforeach()

    file(READ "${work}/control/control" control)
    if(NOT control MATCHES "\nInstalled-Size: [0-9]+\n")
        message(FATAL_ERROR "${package}: no Installed-Size in its control file")
    endif()
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${size}\n"
           control "${control}")
    file(WRITE "${work}/control/control" "${control}")
    execute_process(COMMAND "${tar_program}" -cf ../control.tar --sort=name --format=gnu
                            --owner=root:0 --group=root:0 --mode=0644 --mtime=@${epoch}
                            ./control ./md5sums
                    WORKING_DIRECTORY "${work}/control" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${work}/control.tar.gz")
    execute_process(COMMAND "${gzip_program}" -n -9 control.tar
                    WORKING_DIRECTORY "${work}" COMMAND_ERROR_IS_FATAL ANY)

    # ar: the magic, then per member a 60-byte header (name 16, time 12,
    # uid 6, gid 6, mode 8, size 10, "`\n") and the member, padded to even.
    set(parts "${work}/magic")
    file(WRITE "${work}/magic" "!<arch>\n")
    file(WRITE "${work}/pad" "\n")
    foreach(member IN ITEMS debian-binary control.tar.gz data.tar.gz)
        if(NOT EXISTS "${work}/${member}")
            message(FATAL_ERROR "${package}: no ${member}")
        endif()
        file(SIZE "${work}/${member}" bytes)
        set(header "")
        foreach(field IN ITEMS "${member}|16" "${epoch}|12" "0|6" "0|6" "100644|8" "${bytes}|10")
            string(REGEX MATCH "^(.*)[|]([0-9]+)$" field "${field}")
            string(SUBSTRING "${CMAKE_MATCH_1}                " 0 ${CMAKE_MATCH_2} field)
            string(APPEND header "${field}")
        endforeach()
        file(WRITE "${work}/${member}.header" "${header}`\n")
        list(APPEND parts "${work}/${member}.header" "${work}/${member}")
        math(EXPR odd "${bytes} % 2")
        if(odd)
            list(APPEND parts "${work}/pad")
        endif()
    endforeach()
    execute_process(COMMAND "${cat_program}" ${parts} OUTPUT_FILE "${package}"
                    COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${work}")
endfunction()

# A ZIP: CPack stores the files in the order the file system lists them, which
# differs between file systems, and with the builder's user and group ids.
# Written again here with Info-ZIP: sorted, times from SOURCE_DATE_EPOCH, and
# no extra fields (-X), so names, modes, times and contents alone.
function(strrepl_normalise_zip package)
    if(NOT CPACK_STRREPL_ZIP)
        message(WARNING "zip not found: ${package} lists its files in the file system's order")
        return()
    endif()
    # Names are stored from the folder the ZIP unpacks into, if it has one.
    set(staged "${CPACK_TEMPORARY_DIRECTORY}")
    set(root "${staged}")
    if(CPACK_INCLUDE_TOPLEVEL_DIRECTORY)
        get_filename_component(root "${staged}" DIRECTORY)
    endif()
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${staged}/*")
    list(SORT files)
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
        execute_process(COMMAND touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" ${files}
                        WORKING_DIRECTORY "${root}" COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE "${package}")
    # zip stores local times (TZ is UTC here, cmake/cpack-options.cmake).
    execute_process(COMMAND "${CPACK_STRREPL_ZIP}" -q -X -D "${package}" ${files}
                    WORKING_DIRECTORY "${root}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "\\.deb$")
        strrepl_normalise_deb("${package}")
    elseif(package MATCHES "\\.zip$")
        strrepl_normalise_zip("${package}")
    endif()
endforeach()
