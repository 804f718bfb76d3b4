#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The way back with the real programs, on a local network of their own (three network namespaces
# on one bridge, made by this run and deleted at its end). Sam hosts, Cleo and Dirk join, and the
# games start. Sam resigns against Dirk. Cleo's program is killed (SIGKILL) while Sam moves
# against her; started again, it asks "Tavlora - Turnier fortsetzen", takes "Ja" and is back in
# the tournament with Sam's move on its board. Then Dirk's link goes down for longer than the
# time it takes to notice (no FIN, no RST); his lobby shows the line of the way back, and once
# the link is up again he is back by himself. Then Sam's program is killed (SIGKILL) and started
# again: it asks the same question about its own tournament, takes "Ja", and Cleo and Dirk come
# back by themselves; Cleo moves against Sam. The other games end by resignations; every program
# then holds the three games in its file of saved games, Cleo's and Sam's in the ones they began
# before their crashes, and pgn-extract reads the same moves and results from all three. Skipped where
# namespaces cannot be made (root is needed).
#
# Usage: way_back.sh <tavlora binary> <close_window helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: way_back.sh <tavlora> <close_window>}" "${2:?close_window helper}"

e2e_need_pgn_extract

e2e_make_lan 3
E2E_NETNS[server]="${E2E_LAN_NS[1]}"
E2E_NETNS[c1]="${E2E_LAN_NS[2]}"
E2E_NETNS[c2]="${E2E_LAN_NS[3]}"
IFS=. read -r a b c d <<<"${E2E_LAN_ADDRESS[1]}"
server_field=$((a + b * 256 + c * 65536 + d * 16777216))
# The lobby's line of the way back, between the players list and the games list.
reconnect_line=(10 192 400 16)

region_has_text() {
    [ "$(e2e_darkest_now "$@")" -lt 80 ]
}
region_is_empty() {
    ! region_has_text "$@"
}

# A game clock, so that every Game window opens by itself with one of its user's games; every
# window stays on the game just moved in, which the checks look at.
e2e_start_three "$server_field"

e2e_open_game_with server Dirk
e2e_resign_shown server

# Cleo's program crashes. Sam's game against her runs on; when he has White, he moves.
resume_file="$E2E_WORK/c1/config/Zendrik/Tavlora/Turnier.ini"
[ "$(stat -c %a "$resume_file" 2>/dev/null)" = 600 ] ||
    e2e_fail "Cleo keeps no resume file for her user alone: $(ls -l "$resume_file" 2>&1)"
e2e_kill c1
e2e_note "Cleo's program killed"
e2e_open_game_with server Cleo
e2e_game_players "$(e2e_game_title server)"
sam_moved=0
if [ "$E2E_WHITE" = Sam ]; then
    e2e_play_move server "${E2E_GAME[server]}" 4 1 4 3
    sam_moved=1
fi

# Started again, she is asked, says "Ja" with Return, and is back.
e2e_launch c1
e2e_resume c1 "$E2E_WORK/question.png"
e2e_open_game_with c1 Sam
if [ "$sam_moved" = 1 ]; then
    e2e_wait_move_seen c1 "${E2E_GAME[c1]}" 4 1 4 3
fi
e2e_note "Cleo is back after a restart"

# Dirk's link goes down, silently, for longer than the programs take to notice.
ip -n "${E2E_NETNS[c2]}" link set eth0 down
e2e_wait_until 25 "Dirk's lobby does not show the line of the way back" \
    region_has_text c2 "${E2E_LOBBY[c2]}" "${reconnect_line[@]}"
e2e_screenshot c2 "$E2E_WORK/reconnecting.png"
e2e_note "Dirk's program noticed the silent drop"
sleep "$(e2e_seconds 3)"
ip -n "${E2E_NETNS[c2]}" link set eth0 up
e2e_wait_until 15 "Dirk is not back by himself" \
    region_is_empty c2 "${E2E_LOBBY[c2]}" "${reconnect_line[@]}"
e2e_note "Dirk is back by himself"

# Sam's program is killed (SIGKILL). Both clients notice at once and try to come back; started
# again, Sam's program asks with its own address, takes "Ja" and listens again with the running
# games, and Cleo and Dirk come back by themselves.
journal="$E2E_WORK/server/config/Zendrik/Tavlora/Turnier.journal"
[ "$(stat -c %a "$journal" 2>/dev/null)" = 600 ] ||
    e2e_fail "Sam keeps no journal for his user alone: $(ls -l "$journal" 2>&1)"
e2e_kill server
e2e_note "Sam's program killed"
for inst in c1 c2; do
    e2e_wait_until 10 "${E2E_NAME[$inst]}'s lobby does not show the line of the way back" \
        region_has_text "$inst" "${E2E_LOBBY[$inst]}" "${reconnect_line[@]}"
done
e2e_launch server
e2e_resume server "$E2E_WORK/host-question.png"
for inst in c1 c2; do
    e2e_wait_until 15 "${E2E_NAME[$inst]} is not back after the host's restart" \
        region_is_empty "$inst" "${E2E_LOBBY[$inst]}" "${reconnect_line[@]}"
done
e2e_screenshot server "$E2E_WORK/host-resumed.png"
e2e_note "Sam's tournament resumed, Cleo and Dirk back"
# The game between Sam and Cleo goes on: Cleo moves, and the resumed host shows it.
e2e_open_game_with server Cleo
if [ "$sam_moved" = 1 ]; then
    cleo_move=(4 6 4 4)
else
    cleo_move=(4 1 4 3)
fi
e2e_play_move c1 "${E2E_GAME[c1]}" "${cleo_move[@]}"
e2e_wait_move_seen server "${E2E_GAME[server]}" "${cleo_move[@]}"

# The games go on to their ends; Cleo has moved in hers against Sam and resigns it now.
e2e_click_control c1 "${E2E_GAME[c1]}" "${E2E_RESIGN_BUTTON[@]}"
e2e_wait_until 5 "Cleo could not resign against Sam" \
    e2e_button_disabled c1 "${E2E_GAME[c1]}" "${E2E_RESIGN_BUTTON[@]}"
e2e_open_game_with c2 Cleo
e2e_resign_shown c2
for inst in server c1 c2; do
    e2e_wait_window "$inst" '^Tavlora - Tabelle$' 10
done
[ ! -e "$resume_file" ] || e2e_fail "Cleo's resume file outlives her tournament"
[ ! -e "$journal" ] || e2e_fail "Sam's journal outlives his tournament"

# Every program's file holds the three games once; pgn-extract reads the same moves and results.
# games <file>: one line per game, "White|Black|Result|moves", sorted.
games() {
    awk '/^\[White /{w=$0} /^\[Black /{b=$0} /^\[Result /{r=$0; m=""}
         /^[^[]/ && NF {m=m" "$0} /^$/ && r!="" && m!="" {print w"|"b"|"r"|"m; r=""; m=""}
         END {if (r!="" && m!="") print w"|"b"|"r"|"m}' "$1" | sort
}
declare -A read_games=()
for inst in server c1 c2; do
    e2e_read_saved_games "$inst"
    read_games[$inst]="$(games "$E2E_WORK/$inst-read.pgn")"
    count="$(grep -c . <<<"${read_games[$inst]}")"
    [ "$count" -eq 3 ] || e2e_fail "${E2E_NAME[$inst]}'s file holds $count games, not 3"
done
if [ "${read_games[server]}" != "${read_games[c1]}" ] ||
    [ "${read_games[server]}" != "${read_games[c2]}" ]; then
    e2e_fail "the saved games differ:
${read_games[server]}
---
${read_games[c1]}
---
${read_games[c2]}"
fi
e2e_note "all three files hold the same three games"

for inst in c2 c1 server; do
    e2e_close_lobby "$inst"
done
e2e_note "passed"
