# run(command...): runs a command, stops the script with its output when it fails, and leaves
# what it printed, stripped, in last_output.
function(run)
    execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed: ${ARGV}\n${out}\n${err}")
    endif()
    string(STRIP "${out}" out)
    set(last_output "${out}" PARENT_SCOPE)
endfunction()
