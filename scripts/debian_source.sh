# Fetches and unpacks a Debian source package (the version this machine's
# archive serves) for the cross builds. Sourced, not run.
#
#   murl13_debian_source PACKAGE DIR   unpacks PACKAGE into DIR/PACKAGE-VERSION
#                                      and prints that folder's path
#
# apt needs a source entry for the archive the machine already uses. Where
# there is none, one is added in a file of its own (murl13-sources.sources)
# that mirrors the Debian entries already configured, with Types: deb-src;
# nothing else of the machine's package settings changes.

murl13_sudo() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# True when apt already knows a source entry.
murl13_have_source_entry() {
    grep -rqsE '^(Types:.*deb-src|deb-src[[:space:]])' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}

# Prints deb-src stanzas for every enabled Debian binary entry.
murl13_source_stanzas() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # deb822: copy each stanza whose Types has deb and whose URIs name a
        # Debian archive, with the type changed.
        awk 'BEGIN { RS=""; ORS="\n\n" }
             /(^|\n)Types:([^\n]*[ \t])?deb([ \t\n]|$)/ && /(^|\n)URIs:[^\n]*debian/ {
                 sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$file"
    done
    if [ -f /etc/apt/sources.list ]; then
        # One-line format: "deb [opts] URI suite components" -> deb822.
        awk '$1 == "deb" && $0 ~ /debian/ {
                 i = 2; opts = ""
                 if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
                 printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i+1)
                 for (j = i + 2; j <= NF; j++) printf " %s", $j
                 if (opts ~ /signed-by=/) { match(opts, /signed-by=[^] ]*/); printf "\nSigned-By: %s", substr(opts, RSTART + 10, RLENGTH - 10) }
                 printf "\n\n" }' /etc/apt/sources.list
    fi
}

murl13_ensure_source_entry() {
    murl13_have_source_entry && return 0
    local stanzas
    stanzas=$(murl13_source_stanzas)
    if [ -z "$stanzas" ]; then
        echo "error: no Debian archive entry to mirror as a source entry" >&2
        return 1
    fi
    echo "Adding a source entry for Debian's archive: /etc/apt/sources.list.d/murl13-sources.sources"
    printf '%s\n' "$stanzas" | murl13_sudo tee /etc/apt/sources.list.d/murl13-sources.sources >/dev/null || return 1
    murl13_sudo apt-get update >/dev/null || return 1
}

murl13_debian_source() {
    local package=$1 dir=$2 found
    found=$(find "$dir" -maxdepth 1 -type d -name "$package-[0-9]*" 2>/dev/null | sort | tail -n 1)
    if [ -n "$found" ] && [ -f "$found/.murl13-unpacked" ]; then
        echo "$found"
        return 0
    fi
    command -v dpkg-source >/dev/null 2>&1 || murl13_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends dpkg-dev >&2 || return 1
    murl13_ensure_source_entry >&2 || return 1
    mkdir -p "$dir" || return 1
    # apt-get source unpacks into the working directory; a folder of our own
    # keeps a half-done unpack from being taken for a finished one.
    local work
    work=$(mktemp -d "$dir/.fetch-$package.XXXXXX") || return 1
    if ! (cd "$work" && apt-get source -qq "$package" >&2); then
        rm -rf "$work"
        echo "error: apt-get source $package failed" >&2
        return 1
    fi
    found=$(find "$work" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
    if [ -z "$found" ]; then
        rm -rf "$work"
        echo "error: apt-get source $package unpacked nothing" >&2
        return 1
    fi
    local target
    target="$dir/$(basename "$found")"
    rm -rf "$target"
    mv "$found" "$target" && touch "$target/.murl13-unpacked"
    rm -rf "$work"
    echo "$target"
}
