#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Tavlora .deb on a clean Debian 12 root and starts the installed command there:
# debootstrap makes a minimal bookworm root (cached under build/package-test/cache, so repeated
# runs skip it), apt installs the package with the dependencies it declares and nothing else,
# its copyright file is checked, and `tavlora` runs inside the root as a fresh user on a Xvfb
# display of the host until its first window is mapped. The screen is saved as
# build/package-test/settings-window.png.
#
# Usage: deb_install_test.sh [--deb <file> | --build-dir <dir>] [--title <window title>] [--fresh]
#   --deb        the package to test
#   --build-dir  pack this configured build with cpack and test that package
#   (neither)    build the release package with scripts/package
#   --title      the window to wait for (default "Tavlora - Einstellungen")
#   --fresh      make the Debian root anew instead of taking the cached one
# Needs root (or password-less sudo) for debootstrap, mount and chroot, and Debian's archive.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
arguments=("$@")

deb=""
build=""
title="Tavlora - Einstellungen"
fresh=0
while [ $# -gt 0 ]; do
    case "$1" in
        --deb) deb="$(realpath "${2:?--deb needs a file}")"; shift 2 ;;
        --build-dir) build="$(realpath "${2:?--build-dir needs a folder}")"; shift 2 ;;
        --title) title="${2:?--title needs a text}"; shift 2 ;;
        --fresh) fresh=1; shift ;;
        *) echo "deb_install_test: unknown argument $1" >&2; exit 2 ;;
    esac
done

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        exec sudo -n "$0" "${arguments[@]}"
    fi
    echo "deb_install_test: skipped, needs root or password-less sudo (debootstrap, mount, chroot)"
    exit 77
fi

fail() {
    echo "deb_install_test: $*" >&2
    exit 1
}
step() {
    echo "deb_install_test: $*"
}
# shellcheck source-path=SCRIPTDIR
source "$here/x11.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/copyright.sh"

for tool in debootstrap chroot mount findmnt flock Xvfb xdotool import identify; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done

out="$repo/build/package-test"
cache="$out/cache/bookworm-minbase.tar"
root="$out/root"
mkdir -p "$out/cache"
# One run at a time: they share the root folder and the cache.
exec 9>"$out/lock"
flock -w 600 9 || fail "another run holds $out/lock"

# Everything mounted into the root, deepest first, so a run killed half-way is mended by the
# next one before it deletes the old root.
unmount_root() {
    local target
    for target in $(findmnt -rn -o TARGET | grep -F "$root/" | sort -r); do
        umount "$target" 2>/dev/null || umount -l "$target" ||
            echo "deb_install_test: cannot unmount $target" >&2
    done
}
remove_root() {
    unmount_root
    if findmnt -rn -o TARGET | grep -qF "$root/"; then
        echo "deb_install_test: $root still has mounts, left in place" >&2
        return 1
    fi
    rm -rf "$root"
}

program_pid=""
XVFB_PID=""
cleanup() {
    [ -z "$program_pid" ] || stop_process "$program_pid"
    [ -z "$XVFB_PID" ] || stop_process "$XVFB_PID"
    remove_root || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The package under test.
if [ -n "$build" ]; then
    step "packing $build"
    rm -rf "$out/deb"
    (cd "$build" && timeout 1800 cpack -G DEB -B "$out/deb") >"$out/cpack.log" 2>&1 ||
        fail "cpack failed, see $out/cpack.log"
    deb="$(find "$out/deb" -maxdepth 1 -name 'tavlora_*.deb' | head -n 1)"
elif [ -z "$deb" ]; then
    step "building the release package with scripts/package"
    deb="$(timeout 3600 "$repo/scripts/package" 2>"$out/package.log")" ||
        fail "scripts/package failed, see $out/package.log"
fi
[ -f "$deb" ] || fail "no package to test (${deb:-none made})"
step "package $deb"

# The clean root.
if [ "$fresh" -eq 1 ] || [ ! -f "$cache" ]; then
    step "making a minimal Debian 12 root with debootstrap (a few minutes)"
    rm -rf "$out/cache/bootstrap"
    timeout 1200 debootstrap --variant=minbase bookworm "$out/cache/bootstrap" \
        http://deb.debian.org/debian >"$out/debootstrap.log" 2>&1 ||
        fail "debootstrap failed, see $out/debootstrap.log"
    tar --numeric-owner -C "$out/cache/bootstrap" -cpf "$cache.part" . ||
        fail "cannot store the root in $cache"
    mv "$cache.part" "$cache"
    rm -rf "$out/cache/bootstrap"
fi
remove_root || fail "cannot clear the old root $root"
mkdir -p "$root"
tar --numeric-owner -C "$root" -xpf "$cache" || fail "cannot unpack $cache"

cp /etc/resolv.conf "$root/etc/resolv.conf"
cat >"$root/etc/apt/sources.list" <<'EOF'
deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
# No package may start a service inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

mount -t proc proc "$root/proc" || fail "cannot mount /proc in the root"
mount --bind /dev "$root/dev" || fail "cannot bind /dev into the root"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" || fail "cannot bind /tmp/.X11-unix into the root"

# in_root <seconds> <command...>: runs a command as root inside the root, with a time limit.
in_root() {
    local seconds="$1"
    shift
    timeout "$seconds" chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

step "installing the package and its dependencies from Debian's archive"
install -m 644 "$deb" "$root/tmp/tavlora.deb"
in_root 600 apt-get update >"$out/apt.log" 2>&1 ||
    fail "apt-get update in the root failed, see $out/apt.log"
# Without recommended packages, so that the declared dependencies alone must be enough.
in_root 1200 apt-get install -y --no-install-recommends /tmp/tavlora.deb \
    >>"$out/apt.log" 2>&1 || fail "installing the package failed, see $out/apt.log"
in_root 60 dpkg-query -W -f="\${Status}\n" tavlora | grep -q 'install ok installed' ||
    fail "dpkg does not list tavlora as installed"
in_root 60 dpkg-query -W -f="\${Depends}\n" tavlora | sed 's/^/deb_install_test: depends on /'
in_root 60 dpkg-query -L tavlora | grep -qxF /usr/share/doc/tavlora/copyright ||
    fail "the package does not list /usr/share/doc/tavlora/copyright"
check_copyright "$root/usr/share/doc/tavlora/copyright"

# A fresh user with an empty home, as on a new desktop.
in_root 60 useradd --create-home --user-group --shell /bin/sh spieler ||
    fail "cannot add a user in the root"
uid="$(in_root 10 id -u spieler)"
gid="$(in_root 10 id -g spieler)"

start_xvfb "$out/xvfb.log"
step "starting tavlora on display :$DISPLAY_NUMBER"
chroot --userspec="$uid:$gid" "$root" /usr/bin/env -i HOME=/home/spieler USER=spieler \
    LOGNAME=spieler SHELL=/bin/sh PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
    DISPLAY=":$DISPLAY_NUMBER" tavlora >"$out/program.log" 2>&1 &
program_pid=$!
wait_for_window "$DISPLAY_NUMBER" "$title" "$program_pid" 90 "$out/program.log"
# Give the window a moment to draw its controls before the screen is taken.
sleep 2
kill -0 "$program_pid" 2>/dev/null || fail "tavlora ended right after showing \"$title\""

screenshot="$out/settings-window.png"
rm -f "$screenshot"
timeout 60 import -display ":$DISPLAY_NUMBER" -window root "$screenshot" ||
    fail "cannot take a screenshot of display :$DISPLAY_NUMBER"
# An empty screen is one colour only; the window must have drawn something.
[ "$(identify -format '%k' "$screenshot")" -gt 1 ] || fail "the screenshot shows an empty screen"
geometry="$(DISPLAY=":$DISPLAY_NUMBER" xdotool getwindowgeometry "$WINDOW_ID" | tr -s ' \n' ' ')"
kill -0 "$program_pid" 2>/dev/null || fail "tavlora ended while the screenshot was taken"
step "passed: \"$title\" shown ($geometry), screenshot $screenshot"
