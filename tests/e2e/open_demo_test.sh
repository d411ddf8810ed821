#!/bin/bash
# Opens the demo ROM in a Kestrel binary the way a user does: File > Open ROM
# with the mouse, the file name typed into the dialog, then keypad keys. The
# screen is checked from screenshots: whole against the demo's golden screen
# once opened, then pixel by pixel. Starts and stops its own Xvfb. The binary
# and the ROM are the build's or an installed copy's.
#   open_demo_test.sh KESTREL DEMO_ROM SCREENSHOT_DIR
set -u
kestrel=$1
rom=$(realpath "$2")
shots=$3
golden=$(dirname "$(realpath "$0")")/../golden/demo.screen
mkdir -p "$shots"
rm -f "$shots"/*.png

here=$(dirname "$(realpath "$0")")
# shellcheck source=x_session.sh
source "$here/x_session.sh"
start_xvfb

start_kestrel "$kestrel" "$shots/kestrel.log"
# The desktop links the window to its menu entry by WM_CLASS's class.
wm_class=$(timeout 5 xprop -id "$main" WM_CLASS)
[[ "$wm_class" == *", \"$AppId\"" ]] || fail "WM_CLASS is not the menu entry's id: $wm_class"
want 0 0 0
await_picture started

# File (the first menu), then Open ROM (its first item).
xdotool mousemove $((win_x + 18)) "$menu_y" click 1
poll "$Patience" newest_named "$AppId"
menu=${found:-none}
xdotool mousemove $((win_x + 30)) $((client_y + 12)) click 1
dialog=$(find_window '^Open$')
if [ -z "$dialog" ]; then
    shot no-dialog
    fail "the file dialog did not appear in $Patience s (menu window $menu)"
fi
xdotool windowfocus --sync "$dialog" 2>/dev/null
sleep 0.3
xdotool type --delay 10 "$rom"
sleep 0.3
xdotool key Return
wait_gone Open "$Patience" || fail "the file dialog did not close in $Patience s"
xdotool windowfocus --sync "$main" 2>/dev/null

# The demo: digits 0-7 at y 2 and 8-F at y 9, x 1, 6, 11, ...; the kestrel
# at x 44..59. Font 0 is .##. / #..# / #..# / #..# / .##.
await_screen opened "$golden"
expect opened 0 0 0
expect opened 2 2 1   # 0: top row, middle
expect opened 1 3 1   # 0: left side
expect opened 2 3 0   # 0: hollow inside
expect opened 1 20 0  # no number shown yet
lit opened 44 2 || lit opened 45 3 || fail "opened: the kestrel is not drawn"

# Keypad 5 shows "05" at (1, 20) and (6, 20); font 5 is #### / #... / #### / ...# / ####.
await_key_wait ready5
xdotool key KP_5
want 7 20 1    # 5: top row
want 6 21 1    # 5: left of row 1
want 9 21 0    # 5: not right of row 1
want 9 23 1    # 5: right of row 3
want 6 23 0    # 5: not left of row 3
await_picture key5

# Keypad Enter is keypad key 14: "14". Font 1 is .##. / ###. / .##. / .##. / ####,
# font 4 is #.#. / #.#. / #### / ..#. / ..#.
await_key_wait ready14
xdotool key KP_Enter
want 3 22 1   # 1: its stem
want 1 22 0   # 1: nothing left of it
want 6 21 1   # 4: #.#. left column
want 8 21 1   # 4: right column
want 6 23 0   # 4: only the right column below the bar
want 8 24 1
await_picture key14

# Keypad 6: "06". Font 6 is #### / #... / #### / #..# / ####.
await_key_wait ready6
xdotool key KP_6
want 3 22 0    # the 1 of 14 is gone
want 6 22 1    # 6: left column, middle row
want 9 23 1    # 6: right column of row 3
want 9 21 0    # 6: no right column in row 1
await_picture key6

# A key held when a remap starts never ends it, however long the X server
# repeats it: hold keypad 6, click the button "1" (keypad key 1), release,
# then Q ends the wait and is bound. Q then gives keypad key 1: "01".
await_key_wait ready1
xdotool keydown KP_6
sleep 0.3
xdotool mousemove $((win_x + 56 + 16)) $((client_y + 144 + 12)) click 1
sleep 1.2
xdotool keyup KP_6
sleep 0.3
xdotool key q
sleep 0.3
xdotool key q
want 6 22 0    # 1: its row 2 is .##.
want 7 22 1
want 8 21 1    # 1: row 1 is ###.
want 6 21 1
want 9 21 0
await_picture key1

kill -0 "$app_pid" 2>/dev/null || fail "kestrel ended by itself"
stop_kestrel

# ---- Nothing is written: HOME and the config folder stay empty ----------
# Open ROM with a pick and with Cancel, a remap, then File > Exit, all with
# HOME and XDG_CONFIG_HOME new empty folders; any file in them is a fault
# (the file dialog keeps its history in QtProject.conf if let).
problems=""
no_file_written() {
    local home config found
    home=$(mktemp -d)
    config=$(mktemp -d)
    HOME=$home XDG_CONFIG_HOME=$config start_kestrel "$kestrel" "$shots/kestrel-empty-home.log"
    pick_file "$rom" || fail "empty home: no file dialog for the pick"
    wait_gone Open "$Patience" || fail "empty home: the dialog did not close after the pick"
    pick_file "" || fail "empty home: no file dialog for Cancel"
    wait_gone Open "$Patience" || fail "empty home: the dialog did not close on Escape"
    xdotool mousemove "$(button_x 0)" "$(button_y 0)" click 1
    sleep 0.5
    xdotool key q
    sleep 0.5
    menu_command "$MenuFile" 2 || fail "empty home: File > Exit could not be chosen"
    wait_exit "$Patience" || fail "empty home: kestrel still runs $Patience s after File > Exit"
    [ "$exit_status" = 0 ] || fail "empty home: File > Exit gave status $exit_status"
    found=$(find "$home" "$config" -mindepth 1)
    [ -z "$found" ] || problems+="files written with an empty HOME and XDG_CONFIG_HOME:"$'\n'"$found"$'\n'
    rm -rf "$home" "$config"
}
no_file_written

# ---- Qt's own options are not read: -reverse mirrors nothing ------------
# The leftmost menu must still be File: its first item opens the dialog.
not_mirrored() {
    start_kestrel "$kestrel" "$shots/kestrel-reverse.log" -reverse
    shot reverse
    if menu_command "$MenuFile" 1 && [ -n "$(find_window '^Open$')" ]; then
        close_modals >/dev/null
    else
        problems+="kestrel -reverse: the leftmost menu is not File (see $shots/reverse.png)"$'\n'
    fi
    stop_kestrel
}
not_mirrored

[ -z "$problems" ] || fail "$problems"
echo "1 passed, 0 failed"
