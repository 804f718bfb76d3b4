#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The promotion choice on the real program: a White pawn reaches g8 in a single-player game; the
# borderless 100 x 20 pop-up opens 10 pixels up and left of the mouse, holds the move back until
# a piece is chosen, and the chosen knight (not a queen) then stands on g8.
#
# Usage: promotion.sh <tavlora binary> <close_window helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: promotion.sh <tavlora> <close_window>}" "${2:?close_window helper}"

# Rows of the opened list of pieces: "Wähle Figur...", "Dame", "Läufer", "Turm", "Springer".
list_row_height=19
knight_row=4

e2e_start single Name=Anna PlayerMode=2 Name2=Bert
e2e_wait_window single '^Tavlora - Einstellungen$'
e2e_click_page single "$E2E_WINDOW" "$E2E_START_X" "$E2E_START_Y"
e2e_wait_game_window single
game="${E2E_GAME[single]}"

# 1. h4 g5 2. hxg5 h5 3. g6 Nf6 4. g7 Ne4: g8 is free for White's pawn.
for move in "7 1 7 3" "6 6 6 4" "7 3 6 4" "7 6 7 4" "6 4 6 5" "6 7 5 5" "6 5 6 6" "5 5 4 3"; do
    read -r fx fy tx ty <<<"$move"
    e2e_play_move single "$game" "$fx" "$fy" "$tx" "$ty"
done
e2e_select_square single "$game" 6 6
e2e_click_square single "$game" 6 7

# The window under the mouse; sets E2E_X, E2E_Y, E2E_W, E2E_H and under_mouse.
window_under_mouse() {
    local X Y SCREEN WINDOW
    eval "$(e2e_xdo single getmouselocation --shell)"
    : "$X" "$Y" "$SCREEN"
    under_mouse="$WINDOW"
    e2e_window_geometry single "$WINDOW"
}
popup_shown() {
    window_under_mouse
    [ "$E2E_W" -eq 100 ] && [ "$E2E_H" -eq 20 ]
}
e2e_wait_until 5 "no 100 x 20 pop-up under the mouse after the pawn reached g8" popup_shown
e2e_square_origin 6 7
expected_x=$((E2E_SX + E2E_SQUARE / 2 - 10)) expected_y=$((E2E_SY + E2E_SQUARE / 2 - 10))
[ "$E2E_X,$E2E_Y" = "$expected_x,$expected_y" ] ||
    e2e_fail "the pop-up is at ($E2E_X, $E2E_Y), not 10 pixels up and left of the mouse"
e2e_move_shown single "$game" 6 6 6 7 &&
    e2e_fail "the pawn moved before a piece was chosen"

# Open the list and choose "Springer".
e2e_xdo single click 1
list_shown() {
    window_under_mouse
    [ "$E2E_W" -eq 100 ] && [ "$E2E_H" -gt 20 ]
}
e2e_wait_until 5 "the pop-up's list of pieces does not open" list_shown
e2e_click single "$under_mouse" 50 $((list_row_height * knight_row + list_row_height / 2))
e2e_wait_move_seen single "$game" 6 6 6 7

# The new piece on g8 looks exactly like White's knight on b1, a square of the same colour.
knight_on_g8() {
    local file="$E2E_WORK/board.png"
    e2e_screenshot single "$file"
    e2e_window_geometry single "$game"
    e2e_square_origin 6 7
    e2e_crop "$file" "$E2E_WORK/g8.png" $((E2E_X + E2E_SX)) $((E2E_Y + E2E_SY)) 50 50
    e2e_square_origin 1 0
    e2e_crop "$file" "$E2E_WORK/b1.png" $((E2E_X + E2E_SX)) $((E2E_Y + E2E_SY)) 50 50
    [ "$(e2e_differing_pixels "$E2E_WORK/g8.png" "$E2E_WORK/b1.png")" = 0 ]
}
e2e_wait_until 5 "the piece on g8 is not a White knight" knight_on_g8
e2e_check_alive single
e2e_note "passed"
