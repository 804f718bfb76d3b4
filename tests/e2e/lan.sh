#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A server and two clients of the real program on 127.0.0.1, each on a display of its own: the
# clients join and declare themselves ready, which enables the server's "Spiel starten"; the
# start opens every participant's Game window by itself (the games have clocks); a move made on
# one board appears on the opponent's; and a client that closes its lobby loses its games on the
# server, which grants no grace time here (RejoinSeconds 0: whoever goes, leaves at once). At the
# end the other two programs are closed and must end with exit code 0.
#
# Usage: lan.sh <tavlora binary> <close_window helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: lan.sh <tavlora> <close_window>}" "${2:?close_window helper}"

# Lobby regions (x, y, w, h in the client area) that change when something happens.
ready_column=(12 27 36 36)   # the "Bereit" cells of the players list, rows 0 .. 2
games_titles=(12 227 160 24) # the "Spiele" cells of the games list, rows 0 .. 1

# The server, with clocks, so that the Game windows open by themselves at the start. Every
# window stays on the game just moved in, which the checks below look at.
e2e_start_server server Sam MaxPlayer=3 TimeByPlayer=10 TimeByMove=2 NextGameAfterMove=0 \
    RejoinSeconds=0
e2e_button_disabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}" ||
    e2e_fail "\"Spiel starten\" is enabled with no client there"

# Cleo joins first and becomes participant 1, Dirk participant 2.
e2e_join c1 Cleo 16777343 NextGameAfterMove=0
e2e_join c2 Dirk 16777343 NextGameAfterMove=0
e2e_note "both clients are in the lobby"
e2e_button_disabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}" ||
    e2e_fail "\"Spiel starten\" is enabled while no client is ready"

# Cleo's ready mark reaches the server's players list; one ready client of two is not enough.
e2e_shot_region server "${E2E_LOBBY[server]}" "$E2E_WORK/ready-before.png" "${ready_column[@]}"
e2e_press_lobby_button c1
e2e_wait_until 5 "Cleo's ready mark does not appear in the server's players list" \
    e2e_region_changed server "${E2E_LOBBY[server]}" "$E2E_WORK/ready-before.png" \
    "${ready_column[@]}"
e2e_button_disabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}" ||
    e2e_fail "\"Spiel starten\" is enabled while Dirk is not ready"

e2e_press_lobby_button c2
e2e_wait_until 5 "\"Spiel starten\" is not enabled once both clients are ready" \
    e2e_button_enabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}"
e2e_press_lobby_button server
e2e_note "games started"

# Every participant's Game window opens by itself with one of his own games.
for inst in server c1 c2; do
    name="${E2E_NAME[$inst]}"
    e2e_wait_game_window "$inst"
    title="$(e2e_game_title "$inst")"
    e2e_game_players "$title" || e2e_fail "$name's Game window has the title \"$title\""
    if [ "$E2E_WHITE" = "$E2E_BLACK" ] ||
        { [ "$E2E_WHITE" != "$name" ] && [ "$E2E_BLACK" != "$name" ]; }; then
        e2e_fail "$name's Game window shows \"$title\", not one of his games"
    fi
done

# Whoever has White in the game he was shown plays e2-e4; his opponent opens that game from
# the games list unless it is shown already, and sees the move.
e2e_find_mover server c1 c2
mover="$E2E_MOVER"
opponent="${E2E_INSTANCE_OF[$E2E_BLACK]}"
title="$(e2e_game_title "$mover")"
e2e_play_move "$mover" "${E2E_GAME[$mover]}" 4 1 4 3
e2e_note "${E2E_NAME[$mover]} played e2-e4 in \"$title\""
e2e_show_game "$opponent" "$title" 2
e2e_wait_move_seen "$opponent" "${E2E_GAME[$opponent]}" 4 1 4 3
e2e_note "${E2E_NAME[$opponent]} sees the move"

# The client in the game the server shows leaves by closing its lobby.
title="$(e2e_game_title server)"
e2e_game_players "$title" || e2e_fail "the server's Game window has the title \"$title\""
leaver="${E2E_INSTANCE_OF[$E2E_WHITE]}"
[ "$leaver" != server ] || leaver="${E2E_INSTANCE_OF[$E2E_BLACK]}"
stayer=c1
[ "$leaver" != c1 ] || stayer=c2
e2e_button_enabled server "${E2E_GAME[server]}" "${E2E_RESIGN_BUTTON[@]}" ||
    e2e_fail "the server's \"Spiel aufgeben\" is disabled in the running game \"$title\""
for inst in server "$stayer"; do
    e2e_shot_region "$inst" "${E2E_LOBBY[$inst]}" "$E2E_WORK/$inst-games.png" "${games_titles[@]}"
done

e2e_close_lobby "$leaver"
e2e_note "${E2E_NAME[$leaver]} has left"

# The leaver's games end: the server's game against him locks its buttons, and the games lists
# of the server and of the other client mark a game as finished.
e2e_wait_until 5 "the server's \"Spiel aufgeben\" stays enabled after the leave" \
    e2e_button_disabled server "${E2E_GAME[server]}" "${E2E_RESIGN_BUTTON[@]}"
for inst in server "$stayer"; do
    e2e_wait_until 5 "${E2E_NAME[$inst]}'s games list does not change after the leave" \
        e2e_region_changed "$inst" "${E2E_LOBBY[$inst]}" "$E2E_WORK/$inst-games.png" \
        "${games_titles[@]}"
done

# Closing the lobby ends the other two programs cleanly as well.
for inst in "$stayer" server; do
    e2e_close_lobby "$inst"
done
e2e_note "passed"
