# Installs a shared build (BUILD_DIR, with the tool) into a scratch prefix, moves the whole
# prefix elsewhere and runs the tool from there: it must find its library through the path
# from its own folder, not through the prefix it was installed under, nor the build tree, nor
# LD_LIBRARY_PATH. ldd must show the library loaded from inside the moved prefix, so a
# libfieldkit installed on the system cannot stand in for it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(moved ${WORK_DIR}/moved/elsewhere)

include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
if(NOT EXISTS ${prefix}/bin/fieldkit)
    message(FATAL_ERROR "no bin/fieldkit installed from ${BUILD_DIR}: not a build with the tool?")
endif()
file(GLOB_RECURSE shared ${prefix}/*/libfieldkit.so*)
if(NOT shared)
    message(FATAL_ERROR "no libfieldkit.so installed from ${BUILD_DIR}: is it a shared build?")
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})

set(env ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH)
run(${env} ${moved}/bin/fieldkit lat 45.5)
set(printed "${last_output}")
if(NOT printed STREQUAL "45°30'00.00000\"N")
    message(FATAL_ERROR "the moved tool printed '${printed}'")
endif()
run(${env} ldd ${moved}/bin/fieldkit)
string(REGEX MATCH "libfieldkit[^\n]*" line "${last_output}")
if(NOT line MATCHES "=> ${moved}/")
    message(FATAL_ERROR "the moved tool loads '${line}', not the library under ${moved}")
endif()
message(STATUS "the moved tool printed ${printed}")
