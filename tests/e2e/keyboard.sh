#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Many games by keyboard on the real program: the server Sam and five headless peers of the run
# (keyboard_peers) on 127.0.0.1 play a tournament of six with a game clock. The peers open
# every game in which they have White; Sam then plays one move in each of his five games with
# keys alone, never touching the lobby: Space shows the next game that waits for him, a typed
# move and Return play it, and the next waiting game follows by itself. "Spiel aufgeben" holds
# the keyboard focus all the while (pressed and left without a click), and neither Space nor
# Return may press it. A move text that names no legal move plays nothing. The peers check
# that each move reached the peer of its game, that no other game got a move, and that no game
# has ended.
#
# Usage: keyboard.sh <tavlora binary> <close_window helper> <keyboard_peers helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: keyboard.sh <tavlora> <close_window> <keyboard_peers>}" \
    "${2:?close_window helper}"
peers_tool="${3:?keyboard_peers helper}"
[ -x "$peers_tool" ] || e2e_fail "no keyboard_peers helper at \"$peers_tool\""

peers=5
e2e_start_server server Sam MaxPlayer=$((peers + 1)) TimeByPlayer=10
"$peers_tool" "$peers" "$(e2e_seconds 50)" >"$E2E_WORK/peers.log" 2>&1 &
peers_pid=$!

peers_said() {
    grep -qx "$1" "$E2E_WORK/peers.log"
}
peers_wait() {
    e2e_wait_until 20 "the peers never said \"$1\": $(cat "$E2E_WORK/peers.log")" peers_said "$1"
}

peers_wait joined
e2e_wait_until 5 "\"Spiel starten\" is not enabled once the peers are ready" \
    e2e_button_enabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}"
e2e_press_lobby_button server
e2e_wait_game_window server
game="${E2E_GAME[server]}"
peers_wait opened
e2e_note "games started; every game of Sam waits for his move"

# From here on the keyboard alone. The Game window has the keyboard focus, and "Spiel
# aufgeben" the focus within it: pressed, and let go elsewhere, which is no click.
e2e_xdo server windowfocus --sync "$game"
e2e_window_geometry server "$game"
e2e_middle "${E2E_RESIGN_BUTTON[@]}"
e2e_xdo server mousemove --sync $((E2E_X + E2E_MX)) $((E2E_Y + E2E_MY)) mousedown 1
e2e_xdo server mousemove --sync $((E2E_X + 200)) $((E2E_Y + 200)) mouseup 1

title_changed_from() {
    ! e2e_title_is server "$1"
}

# Space: the next game that waits for Sam.
shown="$(e2e_game_title server)"
e2e_xdo server key space
e2e_wait_until 5 "Space does not show another game than \"$shown\"" title_changed_from "$shown"

# A text that names no legal move plays nothing, and Return on it resigns nothing.
e2e_xdo server type --delay 30 -- "Nf4"
e2e_xdo server key Return
sleep "$(e2e_seconds 1)"

# One move in each game, typed: the Knight to f3 with White, to f6 with Black. After each, the
# next game that waits follows by itself; after the last, none waits and the window stays.
for move in $(seq "$peers"); do
    shown="$(e2e_game_title server)"
    e2e_game_players "$shown" || e2e_fail "the Game window shows \"$shown\""
    text=Nf6
    [ "$E2E_WHITE" != Sam ] || text=Nf3
    e2e_xdo server type --delay 30 -- "$text"
    e2e_xdo server key Return
    e2e_note "Sam typed $text in \"$shown\""
    if [ "$move" -lt "$peers" ]; then
        e2e_wait_until 5 "the next game does not follow \"$shown\"" title_changed_from "$shown"
    fi
done

peers_done() {
    ! kill -0 "$peers_pid" 2>/dev/null
}
e2e_wait_until 20 "the peers did not find every move where it belongs" peers_done
peers_status=0
wait "$peers_pid" || peers_status=$?
[ "$peers_status" -eq 0 ] || e2e_fail "the peers report: $(cat "$E2E_WORK/peers.log")"
e2e_note "every move reached the peer of its game, and nothing else happened"

e2e_close_lobby server
e2e_note "passed"
