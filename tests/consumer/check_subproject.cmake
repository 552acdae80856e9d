# Builds fieldkit inside a parent project (tests/consumer/parent) that installs an export set
# with its own program linked to fieldkit::fieldkit: the parent must configure (fieldkit in an
# export set of its own), build, install into a scratch prefix and run. Also that fieldkit
# builds only its library there, not its tool, tests or reference, which a parent did not ask
# for. HOW is add_subdirectory or FetchContent; with CONFIGURE_ONLY set, the parent is only
# configured and generated, where a missing export set shows.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)

include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/parent -B ${build}
    -DFIELDKIT_SOURCE=${FIELDKIT_SOURCE} -DFIELDKIT_HOW=${HOW}
    -G "Unix Makefiles" -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=${prefix})
# Every target fieldkit defines is a target of the parent's build too, listed by `help`.
run(${CMAKE_COMMAND} --build ${build} --target help)
foreach(target fieldkit_tool fieldkit_cli fieldkit_text_tests docs fieldkit_man)
    if(last_output MATCHES "(^|\n)\\.\\.\\. ${target}(\n|$)")
        message(FATAL_ERROR "a parent project gets fieldkit's target ${target}")
    endif()
endforeach()
if(NOT last_output MATCHES "(^|\n)\\.\\.\\. app(\n|$)")
    message(FATAL_ERROR "no target app in the parent:\n${last_output}")
endif()
if(CONFIGURE_ONLY)
    message(STATUS "${HOW}: the parent configures with its export set")
    return()
endif()

run(${CMAKE_COMMAND} --build ${build} -j 2)
run(${CMAKE_COMMAND} --install ${build})
run(${prefix}/bin/app)
if(NOT last_output STREQUAL "45°30'00.00000\"N")
    message(FATAL_ERROR "the installed app printed '${last_output}'")
endif()
if(NOT EXISTS ${prefix}/include/fieldkit/fieldkit.h)
    message(FATAL_ERROR "fieldkit's headers are not installed under ${prefix}/include")
endif()
foreach(file appTargets.cmake fieldkitConfig.cmake fieldkitTargets.cmake)
    file(GLOB_RECURSE found ${prefix}/*/${file})
    if(NOT found)
        message(FATAL_ERROR "no ${file} installed under ${prefix}")
    endif()
endforeach()
if(EXISTS ${prefix}/bin/fieldkit)
    message(FATAL_ERROR "the parent installed fieldkit's tool, which it did not ask for")
endif()
message(STATUS "${HOW}: the parent's installed app printed ${last_output}")
