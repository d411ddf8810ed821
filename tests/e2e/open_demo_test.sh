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

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to fd 3.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" 2>"$shots/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    sleep 0.1
done
[ -s "$displayfile" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$displayfile")"
rm -f "$displayfile"
export QT_QPA_PLATFORM=xcb
export SDL_AUDIODRIVER=dummy

# find_window NAME: the id of a visible window whose title matches, waiting up to 10 s.
find_window() {
    timeout 10 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1
}

# shot NAME: a screenshot of the whole screen.
shot() {
    import -window root "$shots/$1.png" || fail "screenshot $1"
}

# lit NAME CX CY: whether CHIP-8 pixel (cx, cy) shows green in screenshot NAME.
# The picture is at the client area's top-left corner, below the menu bar,
# and CHIP-8 pixel (cx, cy) is the 4 x 4 block at (4cx + 1, 4cy).
lit() {
    local x=$((win_x + 4 * $2 + 2)) y=$((client_y + 4 * $3 + 2))
    local colour
    colour=$(convert "$shots/$1.png" -format "%[fx:int(255*p{$x,$y}.r)],%[fx:int(255*p{$x,$y}.g)],%[fx:int(255*p{$x,$y}.b)]" info:)
    [ "$colour" = "0,255,0" ]
}

# screen NAME: the 64 x 32 picture in screenshot NAME as rows of . and #,
# each CHIP-8 pixel its 4 x 4 block averaged, green above half lit.
screen() {
    convert "$shots/$1.png" -crop 256x128+$((win_x + 1))+"$client_y" +repage -scale 64x32 \
        -channel G -separate -depth 8 gray:- |
        od -An -v -tu1 -w64 |
        awk '{ row = ""; for (i = 1; i <= NF; i++) row = row ($i > 127 ? "#" : "."); print row }'
}

# expect NAME CX CY 0|1
expect() {
    if lit "$1" "$2" "$3"; then got=1; else got=0; fi
    [ "$got" = "$4" ] || fail "$1: CHIP-8 pixel ($2, $3) lit=$got, expected $4"
}

"$kestrel" >"$shots/kestrel.log" 2>&1 &
app_pid=$!
main=$(find_window '^Kestrel - by ')
[ -n "$main" ] || fail "the main window did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"
win_x=$X
win_y=$Y
win_h=$HEIGHT
# The client area is the window's bottom 311 pixels; the menu bar is above it.
client_y=$((win_y + win_h - 311))
menu_y=$((win_y + (client_y - win_y) / 2))
shot started
expect started 0 0 0

# File (the first menu), then Open ROM (its first item).
xdotool mousemove $((win_x + 18)) "$menu_y" click 1
menu=$(find_window '')
sleep 0.5
xdotool mousemove $((win_x + 30)) $((client_y + 12)) click 1
dialog=$(find_window '^Open$')
if [ -z "$dialog" ]; then
    shot no-dialog
    fail "the file dialog did not appear (menu window $menu)"
fi
xdotool windowfocus --sync "$dialog" 2>/dev/null
sleep 0.3
xdotool type --delay 10 "$rom"
sleep 0.3
xdotool key Return
for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 && fail "the file dialog did not close"
xdotool windowfocus --sync "$main" 2>/dev/null
sleep 1

# The demo: digits 0-7 at y 2 and 8-F at y 9, x 1, 6, 11, ...; the kestrel
# at x 44..59. Font 0 is .##. / #..# / #..# / #..# / .##.
shot opened
screen opened >"$shots/opened.screen"
diff "$golden" "$shots/opened.screen" >"$shots/opened.diff" ||
    fail "opened: the picture is not the demo's golden screen (see $shots/opened.diff)"
expect opened 0 0 0
expect opened 2 2 1   # 0: top row, middle
expect opened 1 3 1   # 0: left side
expect opened 2 3 0   # 0: hollow inside
expect opened 1 20 0  # no number shown yet
lit opened 44 2 || lit opened 45 3 || fail "opened: the kestrel is not drawn"

# Keypad 5 shows "05" at (1, 20) and (6, 20); font 5 is #### / #... / #### / ...# / ####.
xdotool key KP_5
sleep 0.7
shot key5
expect key5 7 20 1    # 5: top row
expect key5 6 21 1    # 5: left of row 1
expect key5 9 21 0    # 5: not right of row 1
expect key5 9 23 1    # 5: right of row 3
expect key5 6 23 0    # 5: not left of row 3

# Keypad Enter is keypad key 14: "14". Font 1 is .##. / ###. / .##. / .##. / ####,
# font 4 is #.#. / #.#. / #### / ..#. / ..#.
xdotool key KP_Enter
sleep 0.7
shot key14
expect key14 3 22 1   # 1: its stem
expect key14 1 22 0   # 1: nothing left of it
expect key14 6 21 1   # 4: #.#. left column
expect key14 8 21 1   # 4: right column
expect key14 6 23 0   # 4: only the right column below the bar
expect key14 8 24 1

# Keypad 6: "06". Font 6 is #### / #... / #### / #..# / ####.
xdotool key KP_6
sleep 0.7
shot key6
expect key6 3 22 0    # the 1 of 14 is gone
expect key6 6 22 1    # 6: left column, middle row
expect key6 9 23 1    # 6: right column of row 3
expect key6 9 21 0    # 6: no right column in row 1

# A key held when a remap starts never ends it, however long the X server
# repeats it: hold keypad 6, click the button "1" (keypad key 1), release,
# then Q ends the wait and is bound. Q then gives keypad key 1: "01".
xdotool keydown KP_6
sleep 0.3
xdotool mousemove $((win_x + 56 + 16)) $((client_y + 144 + 12)) click 1
sleep 1.2
xdotool keyup KP_6
sleep 0.3
xdotool key q
sleep 0.3
xdotool key q
sleep 0.7
shot key1
expect key1 6 22 0    # 1: its row 2 is .##.
expect key1 7 22 1
expect key1 8 21 1    # 1: row 1 is ###.
expect key1 6 21 1
expect key1 9 21 0

kill -0 "$app_pid" 2>/dev/null || fail "kestrel ended by itself"
echo "1 passed, 0 failed"
