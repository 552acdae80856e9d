#!/usr/bin/env bash
# Runs the shell sessions of README.md (its ```console blocks) with the built tool and checks
# that every command prints what the README shows under it.
#
#   shell_tour.sh README TOOL_DIR WORK_DIR
#
# In a session, a line beginning with "$ " is a command and the lines up to the next command
# or the end of the block are what it prints (standard output and error together), exactly.
# A command with a here-document (<<'EOF' or <<EOF) takes the lines through the closing word
# as its input instead. A line holding only "..." stands for any number of lines, for output
# that differs between machines (free memory). A block whose info string carries the word
# "skip" is not run.
#
# Every command runs with "bash -c" in WORK_DIR, emptied first and shared by all sessions in
# the order of the README, so a file written by one command is there for the next. TOOL_DIR,
# where the fieldkit program is, comes first in PATH; FIELDKIT_DEVICE_ROOT and
# FIELDKIT_MODULE_FILE are unset, so the device root is "/" as on a fresh shell.
set -uo pipefail

if [ $# -ne 3 ]; then
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
readme=$1
tool_dir=$(cd "$2" && pwd) || exit 2
work=$3

[ -x "$tool_dir/fieldkit" ] || { echo "shell_tour: no fieldkit program in $tool_dir" >&2; exit 2; }
rm -rf "$work" && mkdir -p "$work" || exit 2
work=$(cd "$work" && pwd)

ran=0
failed=0
skipped=0

# True when the actual lines match the expected ones, "..." lines matching any run of lines.
matches() {
    local -n want=$1 got=$2
    local i=0 j=0 star_i=-1 star_j=0
    # Two pointers with backtracking to the last "...", as in glob matching.
    while [ "$j" -lt "${#got[@]}" ]; do
        if [ "$i" -lt "${#want[@]}" ] && [ "${want[$i]}" = "..." ]; then
            star_i=$i
            star_j=$j
            i=$((i + 1))
        elif [ "$i" -lt "${#want[@]}" ] && [ "${want[$i]}" = "${got[$j]}" ]; then
            i=$((i + 1))
            j=$((j + 1))
        elif [ "$star_i" -ge 0 ]; then
            i=$((star_i + 1))
            star_j=$((star_j + 1))
            j=$star_j
        else
            return 1
        fi
    done
    while [ "$i" -lt "${#want[@]}" ] && [ "${want[$i]}" = "..." ]; do
        i=$((i + 1))
    done
    [ "$i" -eq "${#want[@]}" ]
}

command=""
line_no=0
command_line=0
expected=()

# Runs the pending command, if any, and compares its output with `expected`.
finish() {
    [ -n "$command" ] || return 0
    local out=$work/.output
    (cd "$work" && env -u FIELDKIT_DEVICE_ROOT -u FIELDKIT_MODULE_FILE PATH="$tool_dir:$PATH" \
        bash -c "$command" </dev/null >"$out" 2>&1)
    local actual=()
    mapfile -t actual <"$out"
    # Output whose last line has no line break would run into the prompt: not what is shown.
    if [ -s "$out" ] && [ -n "$(tail -c 1 "$out")" ]; then
        actual+=("(no line break at the end)")
    fi
    ran=$((ran + 1))
    if ! matches expected actual; then
        failed=$((failed + 1))
        {
            echo "README.md:$command_line: \$ $command"
            echo "  README shows:"
            printf '    |%s\n' "${expected[@]}"
            echo "  the tool printed:"
            printf '    |%s\n' "${actual[@]}"
        } >&2
    fi
    command=""
    expected=()
}

in_block=0
skip_block=0
heredoc=""
while IFS= read -r line || [ -n "$line" ]; do
    line_no=$((line_no + 1))
    if [ "$in_block" -eq 0 ]; then
        if [[ "$line" =~ ^\`\`\`console([[:space:]].*)?$ ]]; then
            in_block=1
            skip_block=0
            [[ " ${BASH_REMATCH[1]} " == *" skip "* ]] && skip_block=1
            [ "$skip_block" -eq 1 ] && skipped=$((skipped + 1))
        fi
        continue
    fi
    if [ -n "$heredoc" ]; then
        command+=$'\n'"$line"
        [ "$line" = "$heredoc" ] && heredoc=""
        continue
    fi
    if [ "$line" = '```' ]; then
        [ "$skip_block" -eq 0 ] && finish
        command=""
        expected=()
        in_block=0
        continue
    fi
    [ "$skip_block" -eq 1 ] && continue
    if [[ "$line" == '$ '* ]]; then
        finish
        command=${line#\$ }
        command_line=$line_no
        if [[ "$command" =~ \<\<-?\'?([A-Za-z_][A-Za-z0-9_]*)\'? ]]; then
            heredoc=${BASH_REMATCH[1]}
        fi
        continue
    fi
    if [ -z "$command" ]; then
        echo "README.md:$line_no: output before any command in a console block" >&2
        failed=$((failed + 1))
        continue
    fi
    expected+=("$line")
done <"$readme"

if [ "$in_block" -eq 1 ]; then
    echo "README.md: a console block is never closed" >&2
    failed=$((failed + 1))
fi
if [ "$ran" -eq 0 ]; then
    echo "shell_tour: no command found in README.md's console blocks" >&2
    exit 1
fi
echo "shell_tour: $ran commands run, $failed wrong; $skipped blocks marked skip"
[ "$failed" -eq 0 ]
