# Run by CPack on the staged files, just before it packs them
# (CPACK_PRE_BUILD_SCRIPTS). CMake makes the folders on the way to each
# installed file with mkdir(), so they take the umask of whoever runs cpack:
# under umask 077 every folder in the package would be 0700. Files get their
# modes from the install rules and are left alone.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
# An empty root would make the pattern below "/*".
if(root STREQUAL "" OR NOT IS_DIRECTORY "${root}")
    message(FATAL_ERROR "no staging folder to set the permissions in: '${root}'")
endif()
# Never follow a link out of the staging folder.
cmake_policy(SET CMP0009 NEW)
file(GLOB_RECURSE folders LIST_DIRECTORIES true "${root}/*")
foreach(folder IN LISTS folders)
    if(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}")
        file(CHMOD "${folder}" DIRECTORY_PERMISSIONS
             OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
endforeach()
