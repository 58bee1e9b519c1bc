#!/bin/sh
# The manual pages: they render without a warning from man and groff, and
# they name every command and option the programs' own usage lists, so that a
# new option cannot be left out of them.
#
#   man_pages_test.sh render PAGE...
#   man_pages_test.sh options MURL13 MURL13_TOOL MAN_FOLDER
set -u
fail=0
case "$1" in
render)
    shift
    for page in "$@"; do
        errors=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
        text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
        if [ -n "$errors" ]; then echo "$page: $errors"; fail=1; fi
        case "$text" in *NAME*SYNOPSIS*DESCRIPTION*) ;; *) echo "$page: renders no NAME, SYNOPSIS and DESCRIPTION"; fail=1 ;; esac
    done
    ;;
options)
    demo=$2 tool=$3 man=$4
    # Every --option of a usage text must appear in the page (as \-\-option).
    named() { # PAGE USAGE-TEXT
        for option in $(printf '%s\n' "$2" | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
            escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
            grep -qE -- "$escaped([^a-z-]|\$)" "$1" || { echo "$1 does not name $option"; fail=1; }
        done
    }
    named "$man/murl13.6" "$("$demo" --help)"
    tool_usage=$("$tool" --help)
    named "$man/murl13-tool.6" "$tool_usage"
    for command in $(printf '%s\n' "$tool_usage" | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p'); do
        grep -q "^\.B $command\b" "$man/murl13-tool.6" || { echo "murl13-tool.6 does not describe $command"; fail=1; }
        named "$man/murl13-tool.6" "$("$tool" "$command" --help)"
    done
    ;;
esac
exit $fail
