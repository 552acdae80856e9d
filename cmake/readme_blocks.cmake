# The README's fenced code blocks, read the same way for the two folders that use them:
# tests/readme builds and runs its programs, docs/ makes them the API reference's examples.
include_guard(GLOBAL)

# fieldkit_readme_blocks(<file> <prefix>) reads every fenced block of the Markdown <file> and
# sets, in the caller's scope, <prefix>_COUNT and, for each block N from 1 in the file's order:
#   <prefix>_<N>_LANGUAGE  the first word of the info string after the opening fence ("cpp"),
#                          or "skipped" when that string carries the word "skip"
#   <prefix>_<N>_BODY      the lines between the fences, each with its line break
# A block that is never closed stops the configuration. CMake configures again whenever the
# file changes.
function(fieldkit_readme_blocks file prefix)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    get_filename_component(name ${file} NAME)
    file(READ ${file} rest)
    set(count 0)
    while(TRUE)
        # A fence opens a block; its info string runs to the end of that line.
        string(FIND "${rest}" "\n```" at)
        if(at EQUAL -1)
            break()
        endif()
        math(EXPR at "${at} + 4")
        string(SUBSTRING "${rest}" ${at} -1 rest)
        string(FIND "${rest}" "\n" eol)
        string(SUBSTRING "${rest}" 0 ${eol} info)
        math(EXPR eol "${eol} + 1")
        string(SUBSTRING "${rest}" ${eol} -1 rest)
        # The block runs to the next fence at the start of a line, which closes it.
        string(FIND "${rest}" "```" close)
        if(NOT close EQUAL 0)
            string(FIND "${rest}" "\n```" close)
            if(close EQUAL -1)
                message(FATAL_ERROR "${name}: a ```${info} block is never closed")
            endif()
            math(EXPR close "${close} + 1")
        endif()
        string(SUBSTRING "${rest}" 0 ${close} body)
        string(SUBSTRING "${rest}" ${close} -1 rest)

        string(REGEX MATCH "^[a-z]*" language "${info}")
        if(" ${info} " MATCHES " skip ")
            set(language skipped)
        endif()
        math(EXPR count "${count} + 1")
        set(${prefix}_${count}_LANGUAGE "${language}" PARENT_SCOPE)
        set(${prefix}_${count}_BODY "${body}" PARENT_SCOPE)
    endwhile()
    set(${prefix}_COUNT ${count} PARENT_SCOPE)
endfunction()

# Writes `text` to `file` only when it changed, so that configuring again rebuilds nothing that
# uses the file.
function(fieldkit_write_if_changed file text)
    file(WRITE ${file}.new "${text}")
    configure_file(${file}.new ${file} COPYONLY)
    file(REMOVE ${file}.new)
endfunction()
