#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Single player on the real program: the settings window starts the game with a typed second
# name, Fool's mate is played by clicks on the board, the finished game locks its buttons and
# is saved as PGN, and the Game window's close box ends the program with exit code 0 and no
# lobby on the way.
#
# Usage: single_player.sh <tavlora binary> <close_window helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: single_player.sh <tavlora> <close_window>}" "${2:?close_window helper}"

e2e_start single Name=Anna PlayerMode=2 TimeByPlayer=5 TimeByMove=1 Name2=Bert
e2e_wait_window single '^Tavlora - Einstellungen$'
settings="$E2E_WINDOW"

# The second name is typed over the one from the file; the game must take the typed one.
name2_field=(18 40 200 20)
e2e_middle "${name2_field[@]}"
e2e_type single "$settings" $((E2E_PAGE_LEFT + E2E_MX)) $((E2E_PAGE_TOP + E2E_MY)) Berta
e2e_click_page single "$settings" "$E2E_START_X" "$E2E_START_Y"
e2e_wait_window single '^Tavlora \('
game="$E2E_WINDOW"
title="$(e2e_window_name single "$game")"
case "$title" in
    "Tavlora (Anna - Berta)" | "Tavlora (Berta - Anna)") ;;
    *) e2e_fail "Game window title \"$title\" does not name Anna and Berta" ;;
esac
e2e_wait_until 5 "the settings window is still shown" \
    e2e_no_window single '^Tavlora - Einstellungen$'
e2e_no_window single '^Tavlora - Lobby$' || e2e_fail "single player shows a lobby"

# The start has written the single-player keys, the typed name among them.
config="${E2E_CONFIG[single]}"
for line in 'PlayerMode = 2' 'Name2 = Berta' 'TimeByPlayer = 5' 'TimeByMove = 1'; do
    grep -q "^$line"$'\r$' "$config" ||
        e2e_fail "settings file lacks the line \"$line\": $(cat -A "$config")"
done

# The opening position, as far as the moves below touch it.
start="$E2E_WORK/start.png"
e2e_screenshot single "$start"
e2e_window_geometry single "$game"
left="$E2E_X" top="$E2E_Y"
for square in "5 1 piece" "5 2 empty" "4 6 piece" "4 4 empty" "6 1 piece" "6 3 empty" \
    "3 7 piece" "7 3 empty"; do
    read -r x y state <<<"$square"
    [ "$(e2e_square "$start" "$left" "$top" "$x" "$y")" = "$state" ] ||
        e2e_fail "opening position: square ($x, $y) is not $state"
done
e2e_button_enabled single "$game" "${E2E_DRAW_BUTTON[@]}" ||
    e2e_fail "\"Remis\" is not enabled at the start"
e2e_button_enabled single "$game" "${E2E_RESIGN_BUTTON[@]}" ||
    e2e_fail "\"Spiel aufgeben\" is not enabled at the start"

# Fool's mate: f2-f3, e7-e5, g2-g4, Qd8-h4 mate; both sides move from the same board.
e2e_play_move single "$game" 5 1 5 2
e2e_play_move single "$game" 4 6 4 4
e2e_play_move single "$game" 6 1 6 3
e2e_play_move single "$game" 3 7 7 3
e2e_note "Fool's mate played"

# The finished game draws both buttons' texts grey.
e2e_wait_until 5 "\"Remis\" stays enabled after the mate" \
    e2e_button_disabled single "$game" "${E2E_DRAW_BUTTON[@]}"
e2e_wait_until 5 "\"Spiel aufgeben\" stays enabled after the mate" \
    e2e_button_disabled single "$game" "${E2E_RESIGN_BUTTON[@]}"

# A finished game takes no more moves: a click on a White piece selects nothing.
e2e_shot_region single "$game" "$E2E_WORK/end-board.png" 0 0 430 430
e2e_click_square single "$game" 4 1
sleep 0.5
! e2e_region_changed single "$game" "$E2E_WORK/end-board.png" 0 0 430 430 ||
    e2e_fail "a click on the board of a finished game changed the board"

# The game was saved as it ended, in a file of its own beside the settings file.
saved=("$(dirname "$config")"/Partien/Tavlora-*.pgn)
[ -f "${saved[0]}" ] || e2e_fail "the finished game was not saved"
grep -qx '1. f3 e5 2. g4 Qh4# 0-1' "${saved[0]}" ||
    e2e_fail "the saved game does not read as Fool's mate: $(cat "${saved[0]}")"
grep -q '^\[Event "Tavlora-Einzelspiel"\]$' "${saved[0]}" ||
    e2e_fail "the saved game is not marked as a single-player game: $(cat "${saved[0]}")"

# The close box ends the program at once, and no lobby shows up on the way out.
e2e_close single "$game"
deadline=$((SECONDS + $(e2e_seconds 10)))
while kill -0 "${E2E_PID[single]}" 2>/dev/null; do
    e2e_no_window single '^Tavlora - Lobby$' || e2e_fail "a lobby appeared after the close box"
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the program still runs after its close box"
    sleep 0.1
done
e2e_wait_exit single 1
[ "$E2E_EXIT_CODE" -eq 0 ] || e2e_fail "the program ended with exit code $E2E_EXIT_CODE"
e2e_note "passed"
