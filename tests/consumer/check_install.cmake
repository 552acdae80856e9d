# Installs the build tree into a scratch prefix, builds the consumer project against it with
# find_package, and checks what the consumer prints.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
set(printed "${last_output}")
if(NOT printed STREQUAL "45°30'00.00000\"N")
    message(FATAL_ERROR "consumer printed '${printed}'")
endif()
message(STATUS "consumer printed ${printed}")
