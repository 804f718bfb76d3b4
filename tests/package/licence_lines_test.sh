#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the project says its licence in its first two lines (after a shebang at
# most): the C++ sources, the CMake files and the scripts. licence_lines_test.sh <source root>
set -euo pipefail
root="$1"
tag='SPDX-License-Identifier: GPL-3.0-or-later'
missing=0
while IFS= read -r -d '' file; do
    case "$file" in
        *.cpp | *.h | *.in | *.cmake | *.sh | */CMakeLists.txt) ;;
        *) head -c 2 "$file" | grep -q '^#!' || continue ;;
    esac
    if ! head -n 2 "$file" | grep -qF "$tag"; then
        echo "no licence line: ${file#"$root"/}" >&2
        missing=1
    fi
done < <(find "$root/src" "$root/tests" "$root/tools" "$root/bench" "$root/scripts" \
    "$root/packaging" "$root/CMakeLists.txt" -type f \
    ! -path '*/corpus/*' ! -name '*.md' ! -name '*.png' -print0)
exit "$missing"
