# `cmake --install` into a scratch prefix puts the package where the interpreter looks for
# that prefix: importing it from <prefix>/FIELDKIT_PYTHON_INSTALL_DIR finds the installed copy,
# compiled part, stubs and all.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${errors}")
endif()
set(site ${WORK_DIR}/${SITE_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${site} PYTHONDONTWRITEBYTECODE=1
        ${PYTHON} -c [=[
import pathlib, sys, fieldkit
package = pathlib.Path(fieldkit.__file__).parent
assert package == pathlib.Path(sys.argv[1], "fieldkit"), package
assert {"__init__.pyi", "py.typed"} <= {p.name for p in package.iterdir()}
assert fieldkit._fieldkit.__file__.startswith(str(package))
print(fieldkit.lat_to_dms(45.5))
]=] ${site}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT printed STREQUAL "45°30'00.00000\"N\n")
    message(FATAL_ERROR "the installed package does not import from ${site}:\n${printed}${errors}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
