# Installs the build tree into a scratch prefix, builds the consumer with make and the flags
# pkg-config reads from the installed fieldkit.pc, and checks what it prints; also that the
# file names that prefix, and the thread library for a static link (the tests build the
# static library).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE pc ${prefix}/*/fieldkit.pc)
if(NOT pc MATCHES "/pkgconfig/fieldkit.pc$")
    message(FATAL_ERROR "no pkgconfig/fieldkit.pc installed under ${prefix}: '${pc}'")
endif()
get_filename_component(pc_dir ${pc} DIRECTORY)
set(env ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir})

run(${env} ${PKG_CONFIG} --variable=prefix fieldkit)
if(NOT last_output STREQUAL prefix)
    message(FATAL_ERROR "fieldkit.pc names the prefix '${last_output}', not ${prefix}")
endif()
run(${env} ${PKG_CONFIG} --static --libs fieldkit)
if(NOT last_output MATCHES "-lfieldkit" OR NOT last_output MATCHES "-lpthread")
    message(FATAL_ERROR "pkg-config --static --libs fieldkit gave '${last_output}'")
endif()

file(MAKE_DIRECTORY ${WORK_DIR}/make)
run(${env} CXX=${CXX} ${MAKE} -s -f ${SOURCE_DIR}/Makefile -C ${WORK_DIR}/make)
run(${WORK_DIR}/make/consumer)
if(NOT last_output STREQUAL "45°30'00.00000\"N")
    message(FATAL_ERROR "consumer printed '${last_output}'")
endif()
message(STATUS "consumer printed ${last_output}")
