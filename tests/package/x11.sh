# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Shell helpers for the installation tests: a private Xvfb display, waiting for a program's
# window to be mapped, and stopping processes. Sourced, not run; every failure is reported
# through fail(), which the sourcing script defines.

# Starts Xvfb on the first free display number and waits until it answers. Sets XVFB_PID and
# DISPLAY_NUMBER. Xvfb picks the number itself, so parallel tests never collide.
start_xvfb() {
    local log="$1" numberFile
    numberFile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$numberFile" >"$log" 2>&1 &
    XVFB_PID=$!
    DISPLAY_NUMBER=""
    for _ in $(seq 100); do
        DISPLAY_NUMBER="$(tr -dc 0-9 <"$numberFile")"
        if [ -n "$DISPLAY_NUMBER" ] && DISPLAY=":$DISPLAY_NUMBER" xdotool getdisplaygeometry \
            >/dev/null 2>&1; then
            rm -f "$numberFile"
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numberFile"
    fail "Xvfb did not start (log: $log)"
}

# The names of all mapped windows on the display, one a line, for error messages.
shown_windows() {
    local id
    for id in $(DISPLAY=":$1" xdotool search --onlyvisible --name '.' 2>/dev/null); do
        printf '  "%s"\n' "$(DISPLAY=":$1" xdotool getwindowname "$id" 2>/dev/null)"
    done
}

# Waits until a window with exactly the given title is mapped on the display while the
# process stays alive. Sets WINDOW_ID. Fails with the windows that are shown instead.
wait_for_window() {
    local display="$1" title="$2" pid="$3" seconds="$4" program_log="$5"
    local pattern deadline
    # The title is matched literally, not as the regular expression xdotool takes.
    pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$?+(){}|]/\\&/g')\$"
    deadline=$((SECONDS + seconds))
    while [ "$SECONDS" -lt "$deadline" ]; do
        if ! kill -0 "$pid" 2>/dev/null; then
            fail "the program ended before its window \"$title\" appeared; its output:
$(cat "$program_log")"
        fi
        WINDOW_ID="$(DISPLAY=":$display" xdotool search --onlyvisible --name "$pattern" \
            2>/dev/null | head -n 1 || true)"
        if [ -n "$WINDOW_ID" ]; then
            return 0
        fi
        # The program's message boxes carry this title; a missing piece image shows one.
        if [ "$title" != "Tavlora - Fehler" ] && DISPLAY=":$display" xdotool search \
            --onlyvisible --name '^Tavlora - Fehler$' >/dev/null 2>&1; then
            fail "the program shows an error box \"Tavlora - Fehler\" instead of \"$title\"
program output:
$(cat "$program_log")"
        fi
        sleep 0.5
    done
    fail "no window \"$title\" within ${seconds} s; windows shown:
$(shown_windows "$display")
program output:
$(cat "$program_log")"
}

# Ends a process: politely, then for sure after two seconds.
stop_process() {
    local pid="$1"
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
