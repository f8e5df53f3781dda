# Run by cpack between installing into its staging folder and packing it
# (CPACK_PRE_BUILD_SCRIPTS).
#
# The folders made while installing take their modes from the builder's umask
# (a umask of 027 gives 0750); a package's folders are 0755 wherever it was
# built (CPACK_STRREPL_DIRECTORY_PERMISSIONS, cmake/packaging.cmake). Files get
# their modes from the install rules.
foreach(staged IN LISTS CPACK_TEMPORARY_DIRECTORY)
    file(GLOB_RECURSE folders LIST_DIRECTORIES true "${staged}/*")
    foreach(folder IN LISTS folders)
        if(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}")
            file(CHMOD "${folder}" DIRECTORY_PERMISSIONS ${CPACK_STRREPL_DIRECTORY_PERMISSIONS})
        endif()
    endforeach()
endforeach()
