# Writes the site's service worker, SITE_DIR/sw.js, from sw.js.in beside this
# script: the list of the files in SITE_DIR (all but sw.js) with their SHA-256,
# and a version made from that list, so that any change to any file gives a
# new worker with a new cache.
#   cmake -DSITE_DIR=build/web/site -P ui/web/site/service-worker.cmake
if(NOT IS_DIRECTORY "${SITE_DIR}")
    message(FATAL_ERROR "SITE_DIR is not a folder: ${SITE_DIR}")
endif()
get_filename_component(SITE_DIR "${SITE_DIR}" ABSOLUTE)
file(GLOB_RECURSE names RELATIVE "${SITE_DIR}" LIST_DIRECTORIES false "${SITE_DIR}/*")
list(REMOVE_ITEM names sw.js)
list(SORT names)
set(files "")
set(manifest "")
foreach(name IN LISTS names)
    file(SHA256 "${SITE_DIR}/${name}" sha256)
    string(APPEND files "\n  ['${name}', '${sha256}'],")
    string(APPEND manifest "${sha256}  ${name}\n")
endforeach()
set(KORAVEL_SITE_FILES "[${files}\n]")
string(SHA256 version "${manifest}")
string(SUBSTRING "${version}" 0 16 KORAVEL_SITE_VERSION)
configure_file("${CMAKE_CURRENT_LIST_DIR}/sw.js.in" "${SITE_DIR}/sw.js" @ONLY)
