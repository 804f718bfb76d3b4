#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a fresh prefix and checks the layout: program outside PATH, launcher,
# piece images, desktop entry, icons and copyright file. Then starts the installed launcher
# through a symbolic link from an unrelated working folder, under a private Xvfb display, and
# waits for the program's first window.
#
# Usage: install_layout_test.sh <build-dir> [window title]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: install_layout_test.sh <build-dir> [window title]}"
title="${2:-Tavlora - Einstellungen}"

fail() {
    echo "install_layout_test: $*" >&2
    exit 1
}
# shellcheck source-path=SCRIPTDIR
source "$here/x11.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/copyright.sh"

for tool in Xvfb xdotool identify; do
    if ! command -v "$tool" >/dev/null; then
        echo "install_layout_test: skipped, $tool is missing (scripts/install-deps installs it)"
        exit 77
    fi
done

work="$(mktemp -d)"
program_pid=""
XVFB_PID=""
cleanup() {
    [ -z "$program_pid" ] || stop_process "$program_pid"
    [ -z "$XVFB_PID" ] || stop_process "$XVFB_PID"
    rm -rf "$work"
}
trap cleanup EXIT

prefix="$work/prefix"
timeout 120 cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
    fail "cmake --install failed: $(cat "$work/install.log")"

expected=(
    bin/tavlora
    libexec/tavlora/tavlora
    share/applications/tavlora.desktop
)
for piece in Bishop Knight Rook Queen King Pawn; do
    expected+=("share/tavlora/Image/${piece}0.png" "share/tavlora/Image/${piece}1.png")
done
for size in 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/tavlora.png")
done
for file in "${expected[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for program in bin/tavlora libexec/tavlora/tavlora; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done

for size in 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tavlora.png"
    actual="$(identify -format '%wx%h' "$icon")"
    [ "$actual" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $actual"
done

desktop="$prefix/share/applications/tavlora.desktop"
for line in 'Type=Application' 'Name=Tavlora' 'Exec=tavlora' 'Icon=tavlora' \
    'Categories=Game;BoardGame;' 'Comment=Schach mit vielen Spielern gleichzeitig im lokalen Netz'; do
    grep -qxF "$line" "$desktop" || fail "the desktop entry lacks the line $line"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi
check_copyright "$prefix/share/doc/tavlora/copyright"

# A link elsewhere on PATH and a working folder without Image/ must not matter.
mkdir -p "$work/elsewhere/bin" "$work/cwd" "$work/home"
ln -s "$prefix/bin/tavlora" "$work/elsewhere/bin/tavlora"

start_xvfb "$work/xvfb.log"
(cd "$work/cwd" && exec env -u XDG_CONFIG_HOME -u APPDATA -u QT_QPA_PLATFORM HOME="$work/home" \
    DISPLAY=":$DISPLAY_NUMBER" PATH="$work/elsewhere/bin:$PATH" tavlora) \
    >"$work/program.log" 2>&1 &
program_pid=$!
wait_for_window "$DISPLAY_NUMBER" "$title" "$program_pid" 60 "$work/program.log"
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "the program ended right after showing \"$title\""
echo "install_layout_test: installed layout complete, \"$title\" shown by the launcher"
