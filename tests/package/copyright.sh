# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the package tests: check_copyright <file> checks the installed copyright file, in
# Debian's machine-readable format, with every file under GPL-3.0-or-later (short name GPL-3.0+)
# and the licence paragraph pointing at Debian's copy of the text. The caller defines fail.

# paragraph <file> <first line>: the paragraph that begins with that line.
paragraph() {
    awk -v first="$2" 'BEGIN { RS = "" } index($0, first "\n") == 1 { print; exit }' "$1"
}

check_copyright() {
    local file="$1"
    [ -f "$file" ] || fail "${file##*/} is not installed"
    head -n 1 "$file" |
        grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "the copyright file does not name its format"
    paragraph "$file" 'Files: *' | grep -qxF 'License: GPL-3.0+' ||
        fail "the copyright file has no Files: * paragraph under GPL-3.0+"
    [ "$(grep '^License:' "$file" | sort -u)" = 'License: GPL-3.0+' ] ||
        fail "the copyright file names a licence other than GPL-3.0+"
    local licence
    licence="$(paragraph "$file" 'License: GPL-3.0+')"
    grep -qF 'SPDX-License-Identifier: GPL-3.0-or-later' <<<"$licence" ||
        fail "the copyright file's licence paragraph does not say GPL-3.0-or-later"
    grep -qF '/usr/share/common-licenses/GPL-3' <<<"$licence" ||
        fail "the copyright file's licence paragraph does not point at the licence text"
}
