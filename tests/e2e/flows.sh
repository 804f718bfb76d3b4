# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# What the whole-program runs know about Tavlora's windows: where the controls of the settings
# window, the lobby, the Game window and the standings window sit, how a board square looks,
# and the few steps that every run takes (start a server, join it, declare ready, play a move,
# resign). Sourced after lib.sh.
# shellcheck disable=SC2034,SC2153  # globals go to the sourcing scripts and come from lib.sh

# The program's one TCP port.
E2E_PORT=6156

# Settings window. The controls of a tab page are placed relative to the page, which begins at
# this client position (the tab panel at (10, 40) plus its frame and tab bar).
E2E_PAGE_LEFT=12
E2E_PAGE_TOP=63
# Middle of each tab button ("Server", "Client", "Einzelspieler"), all at the same height.
E2E_TAB_X=(38 94 165)
E2E_TAB_Y=51
# Middle of the start button of every page ("Server starten", "Zum Server verbinden", "Spiel
# starten"), in page coordinates.
E2E_START_X=118
E2E_START_Y=300

# The search for lobbies on the "Client" tab, in page coordinates: "Suchen", the list, and the
# height of a list row.
E2E_SEARCH_BUTTON=(138 70 80 20)
E2E_SERVER_LIST=(18 95 200 160)
E2E_SERVER_ROW_HEIGHT=16

# Lobby: "Spiel starten" and "Bereit" share one place, which "Tabelle" takes after the start;
# the games list's rows are 12 pixels high, and this is the middle of row 0.
E2E_LOBBY_BUTTON=(280 405 130 20)
E2E_GAMES_ROW_TOP=233
E2E_LIST_ROW_HEIGHT=12
E2E_CHAT_INPUT=(10 370 330 20)
E2E_SEND_BUTTON=(350 370 60 20)

# Game window: the board picture sits at (10, 10), squares are 50 pixels wide; the buttons.
E2E_BOARD_LEFT=10
E2E_BOARD_TOP=10
E2E_SQUARE=50
E2E_DRAW_BUTTON=(350 440 110 20)
E2E_RESIGN_BUTTON=(470 440 110 20)

# Standings window: "Partien-Ordner öffnen".
E2E_FOLDER_BUTTON=(290 300 160 20)

# Per instance: the player's name, its lobby and its Game window; and the instance of a name.
declare -A E2E_NAME=() E2E_INSTANCE_OF=() E2E_LOBBY=() E2E_GAME=()

# Succeeds when something listens on the program's port on this machine.
e2e_port_busy() {
    (exec 3<>"/dev/tcp/127.0.0.1/$E2E_PORT") 2>/dev/null
}

e2e_port_free() {
    ! e2e_port_busy
}

# A server instance needs the port; another run may still be letting it go.
e2e_wait_port_free() {
    e2e_wait_until 30 "port $E2E_PORT is still taken by another program" e2e_port_free
}

# e2e_click_page <instance> <settings window> <x> <y>: a click on a control of a tab page.
e2e_click_page() {
    e2e_click "$1" "$2" $((E2E_PAGE_LEFT + $3)) $((E2E_PAGE_TOP + $4))
}

# e2e_click_tab <instance> <settings window> <tab 0 .. 2>
e2e_click_tab() {
    e2e_click "$1" "$2" "${E2E_TAB_X[$3]}" "$E2E_TAB_Y"
}

# e2e_middle <x> <y> <w> <h>: sets E2E_MX, E2E_MY to the middle of a control.
e2e_middle() {
    E2E_MX=$(($1 + $3 / 2)) E2E_MY=$(($2 + $4 / 2))
}

# e2e_click_control <instance> <window> <x> <y> <w> <h>: clicks the middle of a control.
e2e_click_control() {
    e2e_middle "$3" "$4" "$5" "$6"
    e2e_click "$1" "$2" "$E2E_MX" "$E2E_MY"
}

# Board squares. e2e_square_origin <x> <y> sets E2E_SX, E2E_SY to the square's top-left pixel
# in the Game window (rank 0 is drawn at the bottom).
e2e_square_origin() {
    E2E_SX=$((E2E_BOARD_LEFT + E2E_SQUARE * $1))
    E2E_SY=$((E2E_BOARD_TOP + E2E_SQUARE * (7 - $2)))
}

# e2e_square <file> <window left> <window top> <x> <y>: prints "empty" when the square's middle
# shows only its own colour (dark grey when x + y is even, else light grey), else "piece".
e2e_square() {
    local expected=192
    [ $((($4 + $5) % 2)) -ne 0 ] || expected=96
    e2e_square_origin "$4" "$5"
    local stats
    # The middle 30 x 30 pixels: a piece always covers part of them, a selection frame never.
    stats="$(convert "$1" -crop "30x30+$(($2 + E2E_SX + 10))+$(($3 + E2E_SY + 10))" +repage \
        -format "%k %[fx:int(255*p{15,15}.r+0.5)]\n" info:)"
    if [ "$stats" = "1 $expected" ]; then
        echo empty
    else
        echo piece
    fi
}

# e2e_click_square <instance> <Game window> <x> <y>: clicks the middle of a board square.
e2e_click_square() {
    e2e_square_origin "$3" "$4"
    e2e_click "$1" "$2" $((E2E_SX + E2E_SQUARE / 2)) $((E2E_SY + E2E_SQUARE / 2))
}

# Succeeds when the whole square (x, y) on screen differs from the reference crop.
e2e_square_changed() {
    local file="$E2E_WORK/$1-board.png"
    e2e_screenshot "$1" "$file"
    e2e_window_geometry "$1" "$2"
    e2e_square_origin "$3" "$4"
    e2e_crop "$file" "$file.square.png" $((E2E_X + E2E_SX)) $((E2E_Y + E2E_SY)) \
        "$E2E_SQUARE" "$E2E_SQUARE"
    [ "$(e2e_differing_pixels "$5" "$file.square.png")" != 0 ]
}

# e2e_select_square <instance> <Game window> <x> <y>: clicks an own piece and waits for its
# highlight. The program reads the mouse position when it handles the click, so the mouse must
# not move on before that.
e2e_select_square() {
    local file="$E2E_WORK/$1-before.png"
    e2e_screenshot "$1" "$file"
    e2e_window_geometry "$1" "$2"
    e2e_square_origin "$3" "$4"
    e2e_crop "$file" "$file.square.png" $((E2E_X + E2E_SX)) $((E2E_Y + E2E_SY)) \
        "$E2E_SQUARE" "$E2E_SQUARE"
    e2e_click_square "$1" "$2" "$3" "$4"
    e2e_wait_until 5 "instance $1: square ($3, $4) shows no selection after a click" \
        e2e_square_changed "$1" "$2" "$3" "$4" "$file.square.png"
}

# e2e_play_move <instance> <Game window> <from x> <from y> <to x> <to y>: plays a move by two
# clicks and waits until the origin is empty and a piece stands on the destination.
e2e_play_move() {
    e2e_select_square "$1" "$2" "$3" "$4"
    e2e_click_square "$1" "$2" "$5" "$6"
    e2e_wait_move_seen "$@"
}

# Succeeds when the board on screen shows (from x, from y) empty and (to x, to y) occupied.
e2e_move_shown() {
    local file="$E2E_WORK/$1-board.png"
    e2e_screenshot "$1" "$file"
    e2e_window_geometry "$1" "$2"
    [ "$(e2e_square "$file" "$E2E_X" "$E2E_Y" "$3" "$4")" = empty ] &&
        [ "$(e2e_square "$file" "$E2E_X" "$E2E_Y" "$5" "$6")" = piece ]
}

# e2e_wait_move_seen <instance> <Game window> <from x> <from y> <to x> <to y>: waits until the
# board shows the move: its origin empty and a piece on its destination.
e2e_wait_move_seen() {
    e2e_wait_until 5 "instance $1 does not show the move ($3, $4) -> ($5, $6)" \
        e2e_move_shown "$@"
}

# Network play.
# e2e_start_server <instance> <name> [Key=value ...]: starts a program on the server tab with the
# given settings, presses "Server starten" and waits for the lobby.
e2e_start_server() {
    local inst="$1" name="$2"
    shift 2
    # In a network namespace of its own the port is free by construction.
    [ -n "${E2E_NETNS[$inst]:-}" ] || e2e_wait_port_free
    e2e_start "$inst" "Name=$name" PlayerMode=0 "$@"
    e2e_wait_window "$inst" '^Tavlora - Einstellungen$'
    e2e_click_page "$inst" "$E2E_WINDOW" "$E2E_START_X" "$E2E_START_Y"
    e2e_wait_window "$inst" '^Tavlora - Lobby$'
    E2E_NAME[$inst]="$name" E2E_INSTANCE_OF[$name]="$inst" E2E_LOBBY[$inst]="$E2E_WINDOW"
}

# e2e_join <instance> <name> [address [Key=value ...]]: starts a client for the address (the
# value of the address field, first number in the lowest byte; 127.0.0.1 when not given) with
# the given further settings, connects and waits for the lobby.
e2e_join() {
    local inst="$1" name="$2" address="${3:-16777343}"
    shift $(($# < 3 ? $# : 3))
    e2e_start "$inst" "Name=$name" PlayerMode=1 "ServerIP=$address" "$@"
    e2e_wait_window "$inst" '^Tavlora - Einstellungen$'
    e2e_click_page "$inst" "$E2E_WINDOW" "$E2E_START_X" "$E2E_START_Y"
    e2e_wait_window "$inst" '^Tavlora - Lobby$'
    E2E_NAME[$inst]="$name" E2E_INSTANCE_OF[$name]="$inst" E2E_LOBBY[$inst]="$E2E_WINDOW"
}

# e2e_close_lobby <instance>: closes the instance's lobby, which must end its program with exit
# code 0.
e2e_close_lobby() {
    e2e_check_alive "$1"
    e2e_close "$1" "${E2E_LOBBY[$1]}"
    e2e_wait_exit "$1" 10
    [ "$E2E_EXIT_CODE" -eq 0 ] ||
        e2e_fail "${E2E_NAME[$1]}'s program ended with exit code $E2E_EXIT_CODE"
}

# The search for lobbies. e2e_search <instance> <settings window>: presses "Suchen" (the
# instance must run in a network namespace: a search broadcasts).
e2e_search() {
    [ -n "${E2E_NETNS[$1]:-}" ] || e2e_fail "instance $1 would search the machine's own network"
    e2e_click_page "$1" "$2" $((E2E_SEARCH_BUTTON[0] + E2E_SEARCH_BUTTON[2] / 2)) \
        $((E2E_SEARCH_BUTTON[1] + E2E_SEARCH_BUTTON[3] / 2))
}

# e2e_server_row <row>: sets E2E_ROW to the client region (x y w h) of the inside of a row of
# the list of lobbies, without the list's frame.
e2e_server_row() {
    E2E_ROW=($((E2E_PAGE_LEFT + E2E_SERVER_LIST[0] + 4))
        $((E2E_PAGE_TOP + E2E_SERVER_LIST[1] + 3 + $1 * E2E_SERVER_ROW_HEIGHT))
        $((E2E_SERVER_LIST[2] - 8)) $((E2E_SERVER_ROW_HEIGHT - 4)))
}

# e2e_server_listed <instance> <settings window> <row>: succeeds when the row shows text.
e2e_server_listed() {
    e2e_server_row "$3"
    [ "$(e2e_darkest_now "$1" "$2" "${E2E_ROW[@]}")" -lt 80 ]
}

# e2e_choose_server <instance> <settings window> <row>: clicks a row of the list of lobbies.
e2e_choose_server() {
    e2e_server_row "$3"
    e2e_click "$1" "$2" $((E2E_ROW[0] + 40)) $((E2E_ROW[1] + E2E_ROW[3] / 2))
}

# e2e_search_over <instance> <settings window>: succeeds once "Suchen" is enabled again.
e2e_search_over() {
    e2e_button_enabled "$1" "$2" $((E2E_PAGE_LEFT + E2E_SEARCH_BUTTON[0])) \
        $((E2E_PAGE_TOP + E2E_SEARCH_BUTTON[1])) "${E2E_SEARCH_BUTTON[2]}" "${E2E_SEARCH_BUTTON[3]}"
}

# e2e_press_lobby_button <instance>: "Bereit" on a client, "Spiel starten" on the server.
e2e_press_lobby_button() {
    e2e_click_control "$1" "${E2E_LOBBY[$1]}" "${E2E_LOBBY_BUTTON[@]}"
}

# e2e_start_three <address field>: Sam hosts for three with a game clock, Cleo (c1) and Dirk
# (c2) join at the address and get ready, Sam starts, and every Game window opens by itself.
# Every window stays on the game just moved in, which the checks look at.
e2e_start_three() {
    e2e_start_server server Sam MaxPlayer=3 TimeByPlayer=10 NextGameAfterMove=0
    e2e_join c1 Cleo "$1" NextGameAfterMove=0
    e2e_join c2 Dirk "$1" NextGameAfterMove=0
    e2e_press_lobby_button c1
    e2e_press_lobby_button c2
    e2e_wait_until 5 "\"Spiel starten\" is not enabled once both clients are ready" \
        e2e_button_enabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}"
    e2e_press_lobby_button server
    local inst
    for inst in server c1 c2; do
        e2e_wait_game_window "$inst"
    done
    e2e_note "games started"
}

# e2e_resume <instance> <picture>: the instance's program, started again, asks whether to go on
# with its tournament (shot into picture), is told "Ja" with Return, and shows its lobby and a
# Game window.
e2e_resume() {
    e2e_wait_window "$1" '^Tavlora - Turnier fortsetzen$'
    e2e_screenshot "$1" "$2"
    e2e_xdo "$1" windowfocus --sync "$E2E_WINDOW" key Return
    e2e_wait_window "$1" '^Tavlora - Lobby$'
    E2E_LOBBY[$1]="$E2E_WINDOW"
    e2e_wait_game_window "$1"
}

# e2e_game_players <title>: sets E2E_WHITE and E2E_BLACK from "Tavlora (White - Black)".
e2e_game_players() {
    [[ "$1" =~ ^Tavlora\ \((.+)\ -\ (.+)\)$ ]] || return 1
    E2E_WHITE="${BASH_REMATCH[1]}" E2E_BLACK="${BASH_REMATCH[2]}"
}

# e2e_wait_game_window <instance>: waits for the Game window; sets E2E_GAME of the instance.
e2e_wait_game_window() {
    e2e_wait_window "$1" '^Tavlora \(' 10
    E2E_GAME[$1]="$E2E_WINDOW"
}

e2e_game_title() {
    e2e_window_name "$1" "${E2E_GAME[$1]}"
}

e2e_title_is() {
    [ "$(e2e_game_title "$1")" = "$2" ]
}

# e2e_find_mover <instance...>: sets E2E_MOVER to the first instance whose Game window shows a
# game in which its own player has White, and E2E_WHITE, E2E_BLACK to that game's players.
# With clocks somebody always qualifies: the window opens first with a game whose user is to move.
e2e_find_mover() {
    local inst
    for inst in "$@"; do
        e2e_game_players "$(e2e_game_title "$inst")" || continue
        if [ "$E2E_WHITE" = "${E2E_NAME[$inst]}" ]; then
            E2E_MOVER="$inst"
            return 0
        fi
    done
    e2e_fail "no participant was shown a game in which he is to move"
}

# e2e_show_game <instance> <title> <rows>: clicks the rows of the lobby's games list in turn,
# twice round since the list may reorder meanwhile, until the Game window shows that game.
e2e_show_game() {
    local click=0
    until e2e_title_is "$1" "$2"; do
        [ "$click" -lt $(($3 * 2)) ] || e2e_fail "instance $1: no row of its games list shows \"$2\""
        e2e_click "$1" "${E2E_LOBBY[$1]}" 100 \
            $((E2E_GAMES_ROW_TOP + click % $3 * E2E_LIST_ROW_HEIGHT))
        # Give the program time to open the game before the title is read again.
        sleep "$(e2e_seconds 1)"
        click=$((click + 1))
    done
}

# e2e_resign_shown <instance>: the user resigns the game his Game window shows, after e2-e4 if
# he has White in it, and waits until its buttons lock.
e2e_resign_shown() {
    local inst="$1" window="${E2E_GAME[$1]}"
    e2e_game_players "$(e2e_game_title "$inst")" || e2e_fail "$inst shows no game"
    if [ "$E2E_WHITE" = "${E2E_NAME[$inst]}" ]; then
        e2e_play_move "$inst" "$window" 4 1 4 3
    fi
    e2e_click_control "$inst" "$window" "${E2E_RESIGN_BUTTON[@]}"
    e2e_wait_until 5 "${E2E_NAME[$inst]} could not resign \"$(e2e_game_title "$inst")\"" \
        e2e_button_disabled "$inst" "$window" "${E2E_RESIGN_BUTTON[@]}"
    e2e_note "${E2E_NAME[$inst]} resigned \"$(e2e_game_title "$inst")\""
}

# e2e_open_game_with <instance> <name>: clicks the two rows of the lobby's games list (without
# "Alle Spiele anzeigen") until the Game window shows the user's game against name.
e2e_open_game_with() {
    local click=0
    until [[ "$(e2e_game_title "$1")" == *"$2"* ]]; do
        [ "$click" -lt 4 ] || e2e_fail "instance $1: no row of its games list shows a game with $2"
        e2e_click "$1" "${E2E_LOBBY[$1]}" 100 \
            $((E2E_GAMES_ROW_TOP + click % 2 * E2E_LIST_ROW_HEIGHT))
        sleep "$(e2e_seconds 1)"
        click=$((click + 1))
    done
}
