#!/bin/sh
# The manual pages: they render without a warning from man and groff, with
# the project's version in the footer; they name every command and option the
# programs' own usage lists, so that a new option cannot be left out of them;
# and every example in them works as written from an installed tree, run in
# an empty folder elsewhere (so the song is found as installed).
#
#   man_pages_test.sh render VERSION PAGE...
#   man_pages_test.sh options MURL13 MURL13_TOOL MAN_FOLDER
#   man_pages_test.sh examples BUILD_FOLDER PAGE...
set -u
fail=0
case "$1" in
render)
    version=$2
    shift 2
    for page in "$@"; do
        errors=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
        text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
        if [ -n "$errors" ]; then echo "$page: $errors"; fail=1; fi
        case "$text" in *NAME*SYNOPSIS*DESCRIPTION*EXIT\ STATUS*) ;; *) echo "$page: renders no NAME, SYNOPSIS, DESCRIPTION and EXIT STATUS"; fail=1 ;; esac
        case "$text" in *FILES*) ;; *) echo "$page: no FILES"; fail=1 ;; esac
        printf '%s\n' "$text" | tail -n 1 | grep -qF "murl13 $version" || { echo "$page: the footer lacks murl13 $version"; fail=1; }
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
    named "$man/murl13-tool.1" "$tool_usage"
    for command in $(printf '%s\n' "$tool_usage" | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p'); do
        grep -q "^\.B $command\b" "$man/murl13-tool.1" || { echo "murl13-tool.1 does not describe $command"; fail=1; }
        named "$man/murl13-tool.1" "$("$tool" "$command" --help)"
    done
    ;;
examples)
    build=$2
    shift 2
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
    PATH=$work/prefix/bin:$work/prefix/games:$PATH
    export PATH
    ran=0
    for page in "$@"; do
        # Each example is a .B line of the EXAMPLES section, the words as typed.
        awk '/^\.SH/ { on = /^\.SH EXAMPLES/ } on && sub(/^\.B /, "")' "$page" | sed 's/\\-/-/g' >"$work/examples"
        while IFS= read -r example; do
            ran=$((ran + 1))
            folder=$work/run$ran
            mkdir "$folder"
            if ! (cd "$folder" && sh -c "$example" </dev/null >"$work/out" 2>&1); then
                echo "$(basename "$page"): '$example' failed:"; cat "$work/out"; fail=1; continue
            fi
            # Whatever it made is a file of some size.
            for made in $(printf '%s\n' "$example" | grep -oE '[^ >]+\.(png|gif|mp4|mkv|webm|txt)'); do
                [ -s "$folder/$made" ] || { echo "'$example' made no $made"; fail=1; }
            done
            # A frame shown as an example is a picture, not a black screen:
            # the same frame's raw cells hold at least 10 different cells,
            # none of them on half the screen.
            case "$example" in murl13-tool\ frame*)
                raw=$(printf '%s\n' "$example" | sed -e 's/ --format [a-z]*//; s/ --scale [0-9]*//; s/ *>.*//')
                (cd "$folder" && sh -c "$raw --format raw") | od -An -v -tx4 -w4 | sort | uniq -c | sort -rn >"$work/cells"
                distinct=$(wc -l <"$work/cells") commonest=$(awk 'NR == 1 { print $1 }' "$work/cells")
                [ "$distinct" -ge 10 ] && [ "${commonest:-4000}" -le 2000 ] ||
                    { echo "'$example' shows $distinct distinct cells, one of them in $commonest places"; fail=1; }
                ;;
            esac
        done <"$work/examples"
    done
    [ "$ran" -ge 3 ] || { echo "only $ran examples found"; fail=1; }
    ;;
esac
exit $fail
