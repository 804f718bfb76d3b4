#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Joining without typing an address, with real programs on a local network of their own: three
# network namespaces on one bridge (10.231.7.0/24), made by this run and deleted at its end, so
# no datagram of it reaches the machine's own network. Sam serves in the first; in the second
# Cleo, whose address field names 127.0.0.1 where nothing listens, presses "Suchen", finds Sam's
# lobby, chooses it, connects and plays a move against Sam; in the third Dirk finds the lobby
# too, but no more once the games have started. Skipped where namespaces cannot be made (root
# is needed).
#
# Usage: discovery.sh <tavlora binary> <close_window helper>
set -euo pipefail
here="$(dirname "$0")"
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"
# shellcheck source-path=SCRIPTDIR
source "$here/flows.sh"
e2e_init "${1:?usage: discovery.sh <tavlora> <close_window>}" "${2:?close_window helper}"

e2e_make_lan 3
E2E_NETNS[server]="${E2E_LAN_NS[1]}"
E2E_NETNS[c1]="${E2E_LAN_NS[2]}"
E2E_NETNS[c2]="${E2E_LAN_NS[3]}"
server_address="${E2E_LAN_ADDRESS[1]}"
e2e_note "namespaces made; the server will be $server_address"

# The address as the settings file stores it: the first number in the lowest byte.
IFS=. read -r a b c d <<<"$server_address"
server_field=$((a + b * 256 + c * 65536 + d * 16777216))
chat_line=(12 212 396 14) # the first line of the lobby's chat output

# region_has_text <instance> <window> <x> <y> <w> <h>: something near black is shown there.
region_has_text() {
    [ "$(e2e_darkest_now "$@")" -lt 80 ]
}

e2e_start_server server Sam MaxPlayer=3 TimeByPlayer=10 TimeByMove=1
# The host's address opens his chat, before anybody has said anything.
e2e_wait_until 5 "the server's chat output does not open with a line" \
    region_has_text server "${E2E_LOBBY[server]}" "${chat_line[@]}"

# settings_window <instance> <name>: a client's settings window on the "Client" tab, its address
# field at 127.0.0.1; sets E2E_SETTINGS of the instance.
declare -A E2E_SETTINGS=()
settings_window() {
    e2e_start "$1" "Name=$2" PlayerMode=1 ServerIP=16777343
    e2e_wait_window "$1" '^Tavlora - Einstellungen$'
    E2E_SETTINGS[$1]="$E2E_WINDOW"
    E2E_NAME[$1]="$2" E2E_INSTANCE_OF[$2]="$1"
}
settings_window c1 Cleo
settings_window c2 Dirk
for inst in c1 c2; do
    e2e_server_listed "$inst" "${E2E_SETTINGS[$inst]}" 0 &&
        e2e_fail "${E2E_NAME[$inst]}'s list of lobbies shows something before any search"
done

# Cleo searches, finds Sam's lobby, chooses it and connects.
e2e_search c1 "${E2E_SETTINGS[c1]}"
e2e_wait_until 5 "Cleo's search does not list Sam's lobby" \
    e2e_server_listed c1 "${E2E_SETTINGS[c1]}" 0
e2e_wait_until 5 "Cleo's search does not end" e2e_search_over c1 "${E2E_SETTINGS[c1]}"
! e2e_server_listed c1 "${E2E_SETTINGS[c1]}" 1 || e2e_fail "Cleo's search lists two lobbies"
e2e_note "Cleo's search lists one lobby"
e2e_choose_server c1 "${E2E_SETTINGS[c1]}" 0
e2e_click_page c1 "${E2E_SETTINGS[c1]}" "$E2E_START_X" "$E2E_START_Y"
e2e_wait_window c1 '^Tavlora - Lobby$'
E2E_LOBBY[c1]="$E2E_WINDOW"
# The join went to the chosen address, which the settings file now keeps.
grep -q "^ServerIP = $server_field"$'\r'"\$" "${E2E_CONFIG[c1]}" ||
    e2e_fail "Cleo's settings file does not keep $server_address ($server_field): $(cat "${E2E_CONFIG[c1]}")"
e2e_note "Cleo joined $server_address by choosing it"

# Dirk finds the lobby too while it is open.
e2e_search c2 "${E2E_SETTINGS[c2]}"
e2e_wait_until 5 "Dirk's search does not list Sam's lobby" \
    e2e_server_listed c2 "${E2E_SETTINGS[c2]}" 0
e2e_wait_until 5 "Dirk's search does not end" e2e_search_over c2 "${E2E_SETTINGS[c2]}"

# Cleo is ready, Sam starts; both Game windows open by themselves (the games have clocks).
e2e_press_lobby_button c1
e2e_wait_until 5 "\"Spiel starten\" is not enabled once Cleo is ready" \
    e2e_button_enabled server "${E2E_LOBBY[server]}" "${E2E_LOBBY_BUTTON[@]}"
e2e_press_lobby_button server
e2e_wait_game_window server
e2e_wait_game_window c1
e2e_note "games started"

# A started lobby answers no more: Dirk's next search empties his list and finds nothing.
dirk_list_empty() {
    ! e2e_server_listed c2 "${E2E_SETTINGS[c2]}" 0
}
e2e_search c2 "${E2E_SETTINGS[c2]}"
e2e_wait_until 5 "Dirk's list is not emptied by the new search" dirk_list_empty
sleep "$(e2e_seconds 2)"
e2e_wait_until 5 "Dirk's second search does not end" e2e_search_over c2 "${E2E_SETTINGS[c2]}"
dirk_list_empty || e2e_fail "the started lobby is still found"
e2e_note "the started lobby is found no more"

# The one game: whoever has White plays e2-e4, and the other sees it.
e2e_find_mover server c1
mover="$E2E_MOVER"
other="${E2E_INSTANCE_OF[$E2E_BLACK]}"
e2e_play_move "$mover" "${E2E_GAME[$mover]}" 4 1 4 3
e2e_wait_move_seen "$other" "${E2E_GAME[$other]}" 4 1 4 3
e2e_note "${E2E_NAME[$mover]} played e2-e4 and ${E2E_NAME[$other]} sees it"

# Everyone closes; every program ends cleanly.
e2e_close c2 "${E2E_SETTINGS[c2]}"
e2e_close c1 "${E2E_LOBBY[c1]}"
e2e_close server "${E2E_LOBBY[server]}"
for inst in c2 c1 server; do
    e2e_wait_exit "$inst" 10
    [ "$E2E_EXIT_CODE" -eq 0 ] ||
        e2e_fail "${E2E_NAME[$inst]}'s program ended with exit code $E2E_EXIT_CODE"
done
e2e_note "passed"
