# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Drives the real program for whole-program runs: one private Xvfb display per program instance,
# a prepared settings file, clicks and typing at client coordinates of named windows, screenshots,
# crops and pixel checks. Sourced, not run. Everything it starts is stopped by an EXIT trap, also
# when a check fails; every wait has a time-out and says what it waited for.
#
# Functions that find something set a global (E2E_WINDOW, E2E_EXIT_CODE) instead of printing it,
# so that their failures end the script rather than a command substitution's subshell.
# shellcheck disable=SC2034  # those globals are read by the sourcing scripts

E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
E2E_SCRIPT="$(basename "$0")"
E2E_PROGRAM=""
E2E_CLOSE_TOOL=""
E2E_WORK=""
E2E_FAILED=0
E2E_PGN_EXTRACT=""
E2E_SAVED_FILE=""
# Multiplies every time-out; a sanitizer build sets it above 1.
E2E_TIME_SCALE="${E2E_TIME_SCALE:-1}"

declare -A E2E_DISPLAY=() E2E_PID=() E2E_XVFB_PID=() E2E_LOG=() E2E_CONFIG=()
E2E_INSTANCES=()
# Per instance: the network namespace its program runs in (set before e2e_start); none runs in
# the machine's own network. E2E_NAMESPACES: those made by e2e_make_lan, deleted at the end.
declare -A E2E_NETNS=()
E2E_NAMESPACES=()
E2E_LAN_NS=() E2E_LAN_ADDRESS=()

e2e_note() {
    echo "$E2E_SCRIPT: $*"
}

e2e_fail() {
    echo "$E2E_SCRIPT: FAIL: $*" >&2
    E2E_FAILED=1
    exit 1
}

e2e_skip() {
    echo "$E2E_SCRIPT: skipped: $*"
    exit 77
}

# e2e_init <program> [close tool]: checks the tools, makes the work folder and sets the trap.
e2e_init() {
    E2E_PROGRAM="$1"
    E2E_CLOSE_TOOL="${2:-}"
    local tool
    for tool in Xvfb xdotool import convert compare; do
        command -v "$tool" >/dev/null ||
            e2e_skip "$tool is missing (scripts/install-deps installs it)"
    done
    [ -x "$E2E_PROGRAM" ] || e2e_fail "no program at \"$E2E_PROGRAM\" (build it first)"
    if [ -n "$E2E_CLOSE_TOOL" ] && [ ! -x "$E2E_CLOSE_TOOL" ]; then
        e2e_fail "no close-window helper at \"$E2E_CLOSE_TOOL\""
    fi
    E2E_WORK="$(mktemp -d "${TMPDIR:-/tmp}/tavlora-e2e.XXXXXX")"
    trap e2e_cleanup EXIT
}

# Scales a time-out in seconds by E2E_TIME_SCALE.
# e2e_need_pgn_extract: sets E2E_PGN_EXTRACT to the games reader, or skips without it.
e2e_need_pgn_extract() {
    local candidate
    for candidate in "$(command -v pgn-extract || true)" /usr/games/pgn-extract; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            E2E_PGN_EXTRACT="$candidate"
            return
        fi
    done
    e2e_skip "pgn-extract is missing (scripts/install-deps installs it)"
}

# e2e_read_saved_games <instance>: the instance's one file of saved games, read by pgn-extract
# without a complaint into $E2E_WORK/<instance>-read.pgn; E2E_SAVED_FILE is the file itself.
e2e_read_saved_games() {
    local files=("$E2E_WORK/$1/config/Zendrik/Tavlora/Partien/"Tavlora-*.pgn)
    if [ "${#files[@]}" -ne 1 ] || [ ! -f "${files[0]}" ]; then
        e2e_fail "${E2E_NAME[$1]} has not saved one file of games: ${files[*]}"
    fi
    E2E_SAVED_FILE="${files[0]}"
    "$E2E_PGN_EXTRACT" -s -l "$E2E_WORK/$1-pgn.log" -o "$E2E_WORK/$1-read.pgn" "$E2E_SAVED_FILE"
    [ ! -s "$E2E_WORK/$1-pgn.log" ] ||
        e2e_fail "pgn-extract complains about $E2E_SAVED_FILE: $(cat "$E2E_WORK/$1-pgn.log")"
}

e2e_seconds() {
    echo $(($1 * E2E_TIME_SCALE))
}

# Stops a process: politely, then for sure after two seconds.
e2e_stop_process() {
    local pid="$1"
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    local _
    for _ in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# On failure keeps a screenshot of every display and the programs' output for the post-mortem.
# Runs to its end whatever state a failure left behind, so that nothing it started survives.
e2e_cleanup() {
    local status=$? name
    set +eu
    if { [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; } || [ "$E2E_FAILED" -ne 0 ]; then
        for name in "${E2E_INSTANCES[@]}"; do
            [ -z "${E2E_DISPLAY[$name]}" ] ||
                import -display ":${E2E_DISPLAY[$name]}" -window root \
                    "$E2E_WORK/failure-$name.png" 2>/dev/null
            if [ -n "${E2E_LOG[$name]}" ]; then
                echo "--- output of instance $name:" >&2
                tail -n 20 "${E2E_LOG[$name]}" >&2
            fi
        done
        [ -z "$E2E_WORK" ] || echo "$E2E_SCRIPT: screenshots and logs kept in $E2E_WORK" >&2
    fi
    for name in "${E2E_INSTANCES[@]}"; do
        [ -z "${E2E_PID[$name]}" ] || e2e_stop_process "${E2E_PID[$name]}"
        [ -z "${E2E_XVFB_PID[$name]}" ] || e2e_stop_process "${E2E_XVFB_PID[$name]}"
    done
    # Their links go with them.
    for name in "${E2E_NAMESPACES[@]}"; do
        ip netns del "$name" 2>/dev/null
    done
    if [ "$status" -eq 0 ] || [ "$status" -eq 77 ]; then
        [ -z "$E2E_WORK" ] || rm -rf "$E2E_WORK"
    fi
}

# e2e_wait_until <seconds> <what> <command...>: polls the command until it succeeds.
e2e_wait_until() {
    local seconds what deadline
    seconds="$(e2e_seconds "$1")"
    what="$2"
    shift 2
    deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "time-out after ${seconds} s: $what"
        sleep 0.2
    done
}

# e2e_start <instance> [Key=value ...]: starts Xvfb on a free display and the program on it, with
# a fresh settings folder whose Preference.ini holds the given keys. Programs that a run puts in
# the instance's bin folder ($E2E_WORK/<instance>/bin) come first on the program's PATH.
e2e_start() {
    local name="$1"
    shift
    local dir="$E2E_WORK/$name" number_file number=""
    mkdir -p "$dir/config/Zendrik/Tavlora" "$dir/runtime" "$dir/bin"
    chmod 700 "$dir/runtime"
    local line
    for line in "$@"; do
        printf '%s = %s\r\n' "${line%%=*}" "${line#*=}"
    done >"$dir/config/Zendrik/Tavlora/Preference.ini"
    E2E_CONFIG[$name]="$dir/config/Zendrik/Tavlora/Preference.ini"

    # Xvfb picks a free display number itself and writes it to fd 3. The file exists before
    # Xvfb starts, since the background shell may open it only after the first read below.
    # -noreset: by default the server resets whenever its last client leaves, and refuses
    # connections meanwhile; every xdotool call is such a client.
    number_file="$dir/display"
    : >"$number_file"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" \
        >"$dir/xvfb.log" 2>&1 &
    E2E_XVFB_PID[$name]=$!
    E2E_INSTANCES+=("$name")
    local deadline=$((SECONDS + $(e2e_seconds 10)))
    while :; do
        number="$(tr -dc 0-9 <"$number_file")"
        if [ -n "$number" ] && DISPLAY=":$number" xdotool getdisplaygeometry >/dev/null 2>&1; then
            break
        fi
        kill -0 "${E2E_XVFB_PID[$name]}" 2>/dev/null ||
            e2e_fail "Xvfb for $name ended: $(cat "$dir/xvfb.log")"
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "Xvfb for $name did not answer"
        sleep 0.1
    done
    E2E_DISPLAY[$name]="$number"
    E2E_LOG[$name]="$dir/program.log"
    : >"${E2E_LOG[$name]}"
    e2e_launch "$name"
}

# e2e_launch <instance>: the program on the instance's display, with its settings folder. The
# program finds Image/ in its working folder and its settings under XDG_CONFIG_HOME. In a network
# namespace of its own it reaches the display through the display's socket file, which every
# namespace shares.
e2e_launch() {
    local name="$1" dir="$E2E_WORK/$1"
    local launch=()
    [ -z "${E2E_NETNS[$name]:-}" ] || launch=(ip netns exec "${E2E_NETNS[$name]}")
    (cd "$E2E_ROOT" && exec "${launch[@]}" env -u APPDATA DISPLAY=":${E2E_DISPLAY[$name]}" \
        QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime" \
        PATH="$dir/bin:$PATH" "$E2E_PROGRAM" >>"${E2E_LOG[$name]}" 2>&1) &
    E2E_PID[$name]=$!
}

# e2e_kill <instance>: ends the instance's program with SIGKILL, as a crash would: nothing of it
# runs its end. Its display and settings folder stay for e2e_launch.
e2e_kill() {
    kill -KILL "${E2E_PID[$1]}"
    wait "${E2E_PID[$1]}" 2>/dev/null || true
    E2E_PID[$1]=""
}

# Succeeds when network namespaces can be made here (as root).
e2e_can_make_namespaces() {
    local probe="tavlora-e2e-$$-probe"
    command -v ip >/dev/null && ip netns add "$probe" 2>/dev/null && ip netns del "$probe"
}

# e2e_make_lan <count>: a local network of its own, cut off from the machine's: count network
# namespaces, each with one link (eth0) to a bridge in a further namespace, and addresses
# 10.231.7.1 .. 10.231.7.<count>/24 with their broadcast address. Sets E2E_LAN_NS[i] and
# E2E_LAN_ADDRESS[i] for i = 1 .. count. Skips the run when namespaces cannot be made (they
# need root); everything made is deleted at the end.
e2e_make_lan() {
    local count="$1" prefix="tavlora-e2e-$$" hub i ns
    command -v ip >/dev/null || e2e_skip "the ip command (iproute2) is missing"
    hub="$prefix-hub"
    ip netns add "$hub" 2>"$E2E_WORK/netns.log" ||
        e2e_skip "cannot create network namespaces (ip netns add needs root): $(cat "$E2E_WORK/netns.log")"
    E2E_NAMESPACES+=("$hub")
    {
        ip -n "$hub" link add br0 type bridge forward_delay 0 &&
            ip -n "$hub" link set br0 up
    } || e2e_fail "cannot make a bridge in namespace $hub"
    for i in $(seq 1 "$count"); do
        ns="$prefix-$i"
        ip netns add "$ns" || e2e_fail "cannot create namespace $ns"
        E2E_NAMESPACES+=("$ns")
        {
            ip -n "$hub" link add "port$i" type veth peer name eth0 netns "$ns" &&
                ip -n "$hub" link set "port$i" master br0 up &&
                ip -n "$ns" addr add "10.231.7.$i/24" broadcast + dev eth0 &&
                ip -n "$ns" link set eth0 up &&
                ip -n "$ns" link set lo up
        } || e2e_fail "cannot link namespace $ns to the bridge"
        E2E_LAN_NS[i]="$ns" E2E_LAN_ADDRESS[i]="10.231.7.$i"
    done
}

# e2e_stop <instance>: ends the instance's program and its display once a run needs it no more.
e2e_stop() {
    [ -z "${E2E_PID[$1]}" ] || e2e_stop_process "${E2E_PID[$1]}"
    e2e_stop_process "${E2E_XVFB_PID[$1]}"
    E2E_PID[$1]="" E2E_XVFB_PID[$1]=""
}

# xdotool on an instance's display.
e2e_xdo() {
    local name="$1"
    shift
    DISPLAY=":${E2E_DISPLAY[$name]}" xdotool "$@"
}

# The names of all mapped windows of an instance, one a line, for error messages.
e2e_shown_windows() {
    local id
    for id in $(e2e_xdo "$1" search --onlyvisible --name '.' 2>/dev/null); do
        printf '  "%s"\n' "$(e2e_xdo "$1" getwindowname "$id" 2>/dev/null)"
    done
}

e2e_check_alive() {
    kill -0 "${E2E_PID[$1]}" 2>/dev/null ||
        e2e_fail "instance $1 ended unexpectedly; its output: $(cat "${E2E_LOG[$1]}")"
}

# Finds a mapped window whose title matches the extended regular expression; sets E2E_WINDOW.
e2e_find_window() {
    E2E_WINDOW="$(e2e_xdo "$1" search --onlyvisible --name "$2" 2>/dev/null | head -n 1 || true)"
    [ -n "$E2E_WINDOW" ]
}

# e2e_wait_window <instance> <title regex> [seconds]: waits for the window; sets E2E_WINDOW.
# An error box of the program ends the wait at once with a clear message.
e2e_wait_window() {
    local name="$1" pattern="$2" seconds
    seconds="$(e2e_seconds "${3:-15}")"
    local deadline=$((SECONDS + seconds))
    until e2e_find_window "$name" "$pattern"; do
        e2e_check_alive "$name"
        if [ "$pattern" != '^Tavlora - Fehler$' ] &&
            e2e_xdo "$name" search --onlyvisible --name '^Tavlora - Fehler$' >/dev/null 2>&1; then
            e2e_screenshot "$name" "$E2E_WORK/error-box-$name.png"
            e2e_fail "instance $name shows an error box instead of /$pattern/ (see $E2E_WORK/error-box-$name.png)"
        fi
        [ "$SECONDS" -lt "$deadline" ] ||
            e2e_fail "instance $name: no window /$pattern/ within ${seconds} s; shown:
$(e2e_shown_windows "$name")"
        sleep 0.2
    done
}

# Succeeds while no window matching the title is mapped.
e2e_no_window() {
    ! e2e_find_window "$1" "$2"
}

e2e_window_name() {
    e2e_xdo "$1" getwindowname "$2"
}

# Sets E2E_X, E2E_Y, E2E_W, E2E_H to a window's client area on the screen. Without a window
# manager there are no frames, so the window's own geometry is its client area.
e2e_window_geometry() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(e2e_xdo "$1" getwindowgeometry --shell "$2")"
    E2E_X="$X" E2E_Y="$Y" E2E_W="$WIDTH" E2E_H="$HEIGHT"
    : "$WINDOW" "$SCREEN"
}

# e2e_click <instance> <window> <x> <y>: a left click at client coordinates of the window.
e2e_click() {
    e2e_window_geometry "$1" "$2"
    e2e_xdo "$1" mousemove --sync $((E2E_X + $3)) $((E2E_Y + $4)) click 1
}

# e2e_type <instance> <window> <x> <y> <text>: replaces the text of the field at (x, y).
e2e_type() {
    e2e_click "$1" "$2" "$3" "$4"
    e2e_xdo "$1" key --clearmodifiers ctrl+a
    e2e_xdo "$1" type --delay 30 -- "$5"
}

# e2e_close <instance> <window>: presses the window's close box.
e2e_close() {
    [ -n "$E2E_CLOSE_TOOL" ] || e2e_fail "no close-window helper given"
    DISPLAY=":${E2E_DISPLAY[$1]}" "$E2E_CLOSE_TOOL" "$2" ||
        e2e_fail "could not send the close request to window $2 of $1"
}

# e2e_wait_exit <instance> <seconds>: waits for the program to end; sets E2E_EXIT_CODE.
e2e_wait_exit() {
    local name="$1" pid="${E2E_PID[$1]}" seconds
    seconds="$(e2e_seconds "$2")"
    local deadline=$((SECONDS + seconds))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "instance $name still runs after ${seconds} s"
        sleep 0.1
    done
    E2E_EXIT_CODE=0
    wait "$pid" || E2E_EXIT_CODE=$?
    E2E_PID[$name]=""
}

# e2e_screenshot <instance> <file>: the whole screen of the instance's display.
e2e_screenshot() {
    import -display ":${E2E_DISPLAY[$1]}" -window root "$2" ||
        e2e_fail "screenshot of $1 failed"
}

# e2e_crop <in> <out> <x> <y> <w> <h>
e2e_crop() {
    convert "$1" -crop "${5}x${6}+${3}+${4}" +repage "$2"
}

# e2e_crop_window <instance> <window> <in> <out>: the window's client area out of a screenshot.
e2e_crop_window() {
    e2e_window_geometry "$1" "$2"
    e2e_crop "$3" "$4" "$E2E_X" "$E2E_Y" "$E2E_W" "$E2E_H"
}

# e2e_differing_pixels <a> <b>: prints how many pixels of two equally sized images differ.
e2e_differing_pixels() {
    # compare prints the count on stderr and exits 1 when the images differ.
    compare -metric AE "$1" "$2" null: 2>&1 || true
}

# e2e_darkest <file> <x> <y> <w> <h>: prints the darkest grey level (0 .. 255) in a region.
e2e_darkest() {
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -colorspace Gray \
        -format '%[fx:int(255*minima+0.5)]\n' info:
}

# Regions of a window on screen now, given as client x, y, w, h.
# e2e_shot_region <instance> <window> <out> <x> <y> <w> <h>: crops the region of a new screenshot.
e2e_shot_region() {
    local file="$E2E_WORK/$1-screen.png"
    e2e_screenshot "$1" "$file"
    e2e_window_geometry "$1" "$2"
    e2e_crop "$file" "$3" $((E2E_X + $4)) $((E2E_Y + $5)) "$6" "$7"
}

# e2e_region_changed <instance> <window> <reference crop> <x> <y> <w> <h>
e2e_region_changed() {
    local now="$E2E_WORK/$1-region-now.png"
    e2e_shot_region "$1" "$2" "$now" "$4" "$5" "$6" "$7"
    [ "$(e2e_differing_pixels "$3" "$now")" != 0 ]
}

# e2e_button_enabled / e2e_button_disabled <instance> <window> <x> <y> <w> <h>: a button's text
# is near black while it is enabled and grey while it is disabled.
e2e_button_enabled() {
    [ "$(e2e_darkest_now "$@")" -lt 80 ]
}

e2e_button_disabled() {
    [ "$(e2e_darkest_now "$@")" -gt 120 ]
}

e2e_darkest_now() {
    local crop="$E2E_WORK/$1-darkest.png"
    e2e_shot_region "$1" "$2" "$crop" "$3" "$4" "$5" "$6"
    e2e_darkest "$crop" 0 0 "$5" "$6"
}
