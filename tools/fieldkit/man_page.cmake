# Writes OUT from what TOOL prints for --manual-page, leaving OUT alone when the tool fails so
# a half-written page never looks up to date.
#
# The page shows the examples' output; the device root of the machine that builds it is no
# part of that.
unset(ENV{FIELDKIT_DEVICE_ROOT})
execute_process(COMMAND ${TOOL} --manual-page
    OUTPUT_FILE ${OUT}.tmp
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUT}.tmp)
    message(FATAL_ERROR "${TOOL} --manual-page failed: ${status}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
