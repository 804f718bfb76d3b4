#!/usr/bin/env bash
# A server and two clients of the real program on 127.0.0.1, each on a display of its own: the
# clients join and declare themselves ready, which enables the server's "Spiel starten"; the
# start opens every participant's Game window by itself (the games have clocks); a move made on
# one board appears on the opponent's; and a client that closes its lobby loses its games on the
# server. At the end the other two programs are closed and must end with exit code 0.
#
# Usage: lan.sh <tavlora binary> <close_window helper>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
e2e_init "${1:?usage: lan.sh <tavlora> <close_window>}" "${2:?close_window helper}"

# Lobby controls (x, y, w, h in the client area).
start_button=(280 405 130 20)
ready_column=(12 27 36 36)    # the "Bereit" cells of the players list, rows 0 .. 2
games_titles=(12 227 160 24)  # the "Spiele" cells of the games list, rows 0 .. 1
games_row_top=233             # middle of row 0 of the games list; rows are 12 pixels apart
games_row_height=12
# Game window controls.
resign_button=(470 440 110 20)

declare -A instance_of=([Sam]=server [Cleo]=c1 [Dirk]=c2)
declare -A name_of=([server]=Sam [c1]=Cleo [c2]=Dirk)
declare -A lobby=() game=()

# join <instance>: starts a client and connects it to the server on 127.0.0.1.
join() {
    e2e_start "$1" "Name=${name_of[$1]}" PlayerMode=1 ServerIP=16777343
    e2e_wait_window "$1" '^Tavlora - Einstellungen$'
    e2e_click_page "$1" "$E2E_WINDOW" 118 300
    e2e_wait_window "$1" '^Tavlora - Lobby$'
    lobby[$1]="$E2E_WINDOW"
}

# The server, with clocks, so that the Game windows open by themselves at the start.
e2e_wait_port_free
e2e_start server Name=Sam PlayerMode=0 MaxPlayer=3 TimeByPlayer=10 TimeByMove=2
e2e_wait_window server '^Tavlora - Einstellungen$'
e2e_click_page server "$E2E_WINDOW" 118 300
e2e_wait_window server '^Tavlora - Lobby$'
lobby[server]="$E2E_WINDOW"
e2e_button_disabled server "${lobby[server]}" "${start_button[@]}" ||
    e2e_fail "\"Spiel starten\" is enabled with no client there"

# Cleo joins first and becomes participant 1, Dirk participant 2.
join c1
join c2
e2e_note "both clients are in the lobby"
e2e_button_disabled server "${lobby[server]}" "${start_button[@]}" ||
    e2e_fail "\"Spiel starten\" is enabled while no client is ready"

# Cleo's ready mark reaches the server's players list; one ready client of two is not enough.
e2e_shot_region server "${lobby[server]}" "$E2E_WORK/ready-before.png" "${ready_column[@]}"
e2e_click c1 "${lobby[c1]}" 345 415
e2e_wait_until 5 "Cleo's ready mark does not appear in the server's players list" \
    e2e_region_changed server "${lobby[server]}" "$E2E_WORK/ready-before.png" "${ready_column[@]}"
e2e_button_disabled server "${lobby[server]}" "${start_button[@]}" ||
    e2e_fail "\"Spiel starten\" is enabled while Dirk is not ready"

e2e_click c2 "${lobby[c2]}" 345 415
e2e_wait_until 5 "\"Spiel starten\" is not enabled once both clients are ready" \
    e2e_button_enabled server "${lobby[server]}" "${start_button[@]}"
e2e_click server "${lobby[server]}" 345 415
e2e_note "games started"

# Every participant's Game window opens by itself with one of his own games.
declare -A white=() black=()
for name in Sam Cleo Dirk; do
    inst="${instance_of[$name]}"
    e2e_wait_window "$inst" '^Tavlora \(' 10
    game[$inst]="$E2E_WINDOW"
    title="$(e2e_window_name "$inst" "${game[$inst]}")"
    [[ "$title" =~ ^Tavlora\ \((Sam|Cleo|Dirk)\ -\ (Sam|Cleo|Dirk)\)$ ]] ||
        e2e_fail "$name's Game window has the title \"$title\""
    white[$inst]="${BASH_REMATCH[1]}" black[$inst]="${BASH_REMATCH[2]}"
    if [ "${white[$inst]}" = "${black[$inst]}" ] ||
        { [ "${white[$inst]}" != "$name" ] && [ "${black[$inst]}" != "$name" ]; }; then
        e2e_fail "$name's Game window shows \"$title\", not one of his games"
    fi
done

# Whoever has White in the game he was shown moves first: somebody always does, since the
# window prefers a game in which its user is to move.
mover=""
for inst in server c1 c2; do
    if [ "${white[$inst]}" = "${name_of[$inst]}" ]; then
        mover="$inst"
        break
    fi
done
[ -n "$mover" ] || e2e_fail "no participant was shown a game in which he is to move"
opponent="${instance_of[${black[$mover]}]}"
wanted="Tavlora (${white[$mover]} - ${black[$mover]})"
e2e_play_move "$mover" "${game[$mover]}" 4 1 4 3
e2e_note "${name_of[$mover]} played e2-e4 in \"$wanted\""

# The opponent opens that game from his games list unless it is already shown.
title_is() {
    [ "$(e2e_window_name "$1" "${game[$1]}")" = "$2" ]
}
row=0
until title_is "$opponent" "$wanted"; do
    [ "$row" -lt 2 ] || e2e_fail "${name_of[$opponent]}'s games list has no row for \"$wanted\""
    e2e_note "${name_of[$opponent]} opens row $row of his games list"
    e2e_click "$opponent" "${lobby[$opponent]}" 100 $((games_row_top + row * games_row_height))
    sleep 0.5
    row=$((row + 1))
done
e2e_wait_move_seen "$opponent" "${game[$opponent]}" 4 1 4 3
e2e_note "${name_of[$opponent]} sees the move"

# The client in the game the server shows leaves by closing its lobby.
title="$(e2e_window_name server "${game[server]}")"
[[ "$title" =~ ^Tavlora\ \((Sam|Cleo|Dirk)\ -\ (Sam|Cleo|Dirk)\)$ ]] ||
    e2e_fail "the server's Game window has the title \"$title\""
leaver="${instance_of[${BASH_REMATCH[1]}]}"
[ "$leaver" != server ] || leaver="${instance_of[${BASH_REMATCH[2]}]}"
stayer=c1
[ "$leaver" != c1 ] || stayer=c2
e2e_button_enabled server "${game[server]}" "${resign_button[@]}" ||
    e2e_fail "the server's \"Spiel aufgeben\" is disabled in the running game \"$title\""
for inst in server "$stayer"; do
    e2e_shot_region "$inst" "${lobby[$inst]}" "$E2E_WORK/$inst-games.png" "${games_titles[@]}"
done

e2e_close "$leaver" "${lobby[$leaver]}"
e2e_wait_exit "$leaver" 10
[ "$E2E_EXIT_CODE" -eq 0 ] ||
    e2e_fail "${name_of[$leaver]}'s program ended with exit code $E2E_EXIT_CODE"
e2e_note "${name_of[$leaver]} has left"

# The leaver's games end: the server's game against him locks its buttons, and the games lists
# of the server and of the other client mark a game as finished.
e2e_wait_until 5 "the server's \"Spiel aufgeben\" stays enabled after ${name_of[$leaver]} left" \
    e2e_button_disabled server "${game[server]}" "${resign_button[@]}"
for inst in server "$stayer"; do
    e2e_wait_until 5 "${name_of[$inst]}'s games list does not change after the leave" \
        e2e_region_changed "$inst" "${lobby[$inst]}" "$E2E_WORK/$inst-games.png" \
        "${games_titles[@]}"
done

# Closing the lobby ends the other two programs cleanly as well.
for inst in "$stayer" server; do
    e2e_check_alive "$inst"
    e2e_close "$inst" "${lobby[$inst]}"
    e2e_wait_exit "$inst" 10
    [ "$E2E_EXIT_CODE" -eq 0 ] ||
        e2e_fail "${name_of[$inst]}'s program ended with exit code $E2E_EXIT_CODE"
done
e2e_note "passed"
