#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A whole tournament of three real programs on 127.0.0.1 (the server and two clients, each on a
# display of its own): "Tabelle" shows the standings while the games run; every game ends by a
# resignation; the standings window then opens by itself on all three, and shows the same table
# on each (compared on screen, where only the colour of the own row may differ); each program
# has saved the three games, which pgn-extract reads without a complaint and with the same
# results everywhere; "Partien-Ordner öffnen" hands the folder to the desktop.
#
# Usage: outcome.sh <tavlora binary> <close_window helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: outcome.sh <tavlora> <close_window>}" "${2:?close_window helper}"

e2e_need_pgn_extract

declare -A E2E_TABLE=()
# The standings window's list: the header and the three rows.
standings_rows=(12 12 436 60)

# A game clock, so that every Game window opens by itself with one of its user's games. Each
# Game window stays on its game after a move, since the run resigns the game it has just moved in.
e2e_start_three 16777343

# The first game: Sam resigns the one he is shown.
e2e_resign_shown server
first="$(e2e_game_title server)"
e2e_game_players "$first"
opponent="$E2E_WHITE"
[ "$opponent" != Sam ] || opponent="$E2E_BLACK"
second=Cleo
[ "$opponent" != Cleo ] || second=Dirk

# "Tabelle" on Dirk's lobby shows the standings while the games run.
e2e_click_control c2 "${E2E_LOBBY[c2]}" "${E2E_LOBBY_BUTTON[@]}"
e2e_wait_window c2 '^Tavlora - Tabelle$' 5
e2e_screenshot c2 "$E2E_WORK/c2-running.png"
e2e_note "Dirk's standings window is open"

# The second: Sam resigns his other game. The third: Cleo resigns hers against Dirk.
e2e_open_game_with server "$second"
e2e_resign_shown server
e2e_open_game_with c1 Dirk
e2e_resign_shown c1

# The last game has ended: the standings open by themselves, the same on every program.
for inst in server c1 c2; do
    e2e_wait_window "$inst" '^Tavlora - Tabelle$' 10
    E2E_TABLE[$inst]="$E2E_WINDOW"
done
e2e_note "every program opened its standings"
# The table as the red channel shows it: the own row's blue and the others' black both have
# none, so the three tables must agree pixel for pixel.
for inst in server c1 c2; do
    e2e_shot_region "$inst" "${E2E_TABLE[$inst]}" "$E2E_WORK/$inst-table.png" "${standings_rows[@]}"
    convert "$E2E_WORK/$inst-table.png" -channel R -separate "$E2E_WORK/$inst-red.png"
done
for inst in c1 c2; do
    differing="$(e2e_differing_pixels "$E2E_WORK/server-red.png" "$E2E_WORK/$inst-red.png")"
    [ "$differing" = 0 ] ||
        e2e_fail "${E2E_NAME[$inst]}'s standings differ from the server's in $differing pixels"
done
[ "$(e2e_darkest "$E2E_WORK/server-red.png" 0 20 436 36)" -lt 80 ] ||
    e2e_fail "the server's standings show no rows"

# Every program has saved the three games; pgn-extract reads each file without a complaint
# and finds the same results in all of them.
declare -A results=()
for inst in server c1 c2; do
    e2e_read_saved_games "$inst"
    games="$(grep -c '^\[Event "Tavlora-Turnier"\]' "$E2E_WORK/$inst-read.pgn")"
    [ "$games" -eq 3 ] || e2e_fail "pgn-extract read $games games of ${E2E_NAME[$inst]}, not 3"
    results[$inst]="$(grep -E '^\[(White|Black|Result) ' "$E2E_SAVED_FILE" | paste -d ' ' - - - | sort)"
done
if [ "${results[server]}" != "${results[c1]}" ] || [ "${results[server]}" != "${results[c2]}" ]; then
    e2e_fail "the saved results differ: ${results[*]}"
fi
if grep -q '"\*"' <<<"${results[server]}"; then
    e2e_fail "a finished game was saved as running: ${results[server]}"
fi
e2e_note "all three files read back alike"

# "Partien-Ordner öffnen" hands the folder to the desktop's opener, here one that notes it.
cat >"$E2E_WORK/server/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$@" >"$E2E_WORK/opened"
EOF
chmod +x "$E2E_WORK/server/bin/xdg-open"
e2e_click_control server "${E2E_TABLE[server]}" "${E2E_FOLDER_BUTTON[@]}"
e2e_wait_until 5 "the folder of the games was not handed to the desktop" test -s "$E2E_WORK/opened"
grep -qF "$E2E_WORK/server/config/Zendrik/Tavlora/Partien" "$E2E_WORK/opened" ||
    e2e_fail "the desktop was asked to open $(cat "$E2E_WORK/opened")"

for inst in c2 c1 server; do
    e2e_close_lobby "$inst"
done
e2e_note "passed"
