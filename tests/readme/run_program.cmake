# Runs one of the README's C++ programs in a fresh folder (its device root lives there) and
# compares what it prints with the output the README shows for it, byte for byte.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${PROGRAM}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE printed
    ERROR_VARIABLE errors)
file(READ ${EXPECTED} expected)
get_filename_component(name ${PROGRAM} NAME)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "${name} failed (${status}):\n${errors}")
endif()
if(NOT printed STREQUAL expected)
    # Indented, so that CMake shows the lines as they are instead of as paragraphs.
    string(REPLACE "\n" "\n    |" printed "    |${printed}")
    string(REPLACE "\n" "\n    |" expected "    |${expected}")
    message(FATAL_ERROR "${name} prints:\n${printed}\n  but README.md shows:\n${expected}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
