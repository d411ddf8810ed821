# shellcheck shell=bash
# Sourced by the e2e scripts: an Xvfb of their own, Kestrel started in it,
# screenshots of its picture and label, and mouse work on its menus and
# modal boxes. The caller sets $shots (a folder for logs and screenshots).
# Every X call has a time-out, so a stuck client fails the test, not CI.

# How long any wait on the window may take, in seconds. A wait ends as soon
# as what it awaits shows, so a long deadline costs nothing when all is well,
# and a loaded machine may take many times the usual time.
Patience=${KESTREL_E2E_PATIENCE:-15}

# A caller may define on_failure to say more (the chaos test prints its seed).
fail() {
    declare -F on_failure >/dev/null && on_failure
    echo "FAIL: $*" >&2
    exit 1
}

xvfb_pid=""
app_pid=""
helper_pids=()
cleanup() {
    local pid
    for pid in "$app_pid" "${helper_pids[@]}" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
}
trap cleanup EXIT

# start_xvfb: a display of our own; Xvfb picks a free number and writes it to fd 3.
start_xvfb() {
    local displayfile
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" 2>"$shots/xvfb.log" &
    xvfb_pid=$!
    poll "$Patience" test -s "$displayfile" || fail "Xvfb did not start in $Patience s"
    export DISPLAY=":$(head -n1 "$displayfile")"
    rm -f "$displayfile"
    export QT_QPA_PLATFORM=xcb
    export SDL_AUDIODRIVER=dummy
}

# find_window NAME: the id of a visible window whose title matches, waiting
# up to $Patience s.
find_window() {
    timeout "$Patience" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1
}

# poll SECONDS CMD...: runs CMD every 0.1 s until it succeeds; fails (1)
# when it still does not after SECONDS.
poll() {
    local seconds=$1 end
    shift
    end=$((${EPOCHREALTIME/./} + seconds * 1000000))
    until "$@"; do
        ((${EPOCHREALTIME/./} < end)) || return 1
        sleep 0.1
    done
}

# The menu entry's id, which is also the application name: the class of
# WM_CLASS, and the _NET_WM_NAME of a menu popup, which has no title of its own.
AppId=internal.kestrel.Kestrel

# windows_named TITLE: Kestrel's visible windows whose title is exactly TITLE,
# oldest first. Found by process: a menu popup has only _NET_WM_NAME
# ($AppId), which a search by name does not see.
windows_named() {
    local id
    for id in $(timeout 5 xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | sort -n); do
        [ "$(timeout 5 xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
    done
}

# start_kestrel BINARY LOG [ARGS...]: starts it and finds its window. Sets
# app_pid, main, win_x, win_y, client_y (the client area's top) and menu_y.
start_kestrel() {
    local binary=$1 log=$2
    shift 2
    "$binary" "$@" >"$log" 2>&1 &
    app_pid=$!
    main=$(find_window '^Kestrel - by ')
    [ -n "$main" ] || fail "the main window did not appear"
    eval "$(timeout 5 xdotool getwindowgeometry --shell "$main")"
    win_x=$X
    win_y=$Y
    # The client area is the window's bottom 311 pixels; the menu bar is above it.
    client_y=$((win_y + HEIGHT - 311))
    menu_y=$((win_y + (client_y - win_y) / 2))
}

# running PID: whether that child still runs (a zombie does not).
running() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)
    [ -n "$state" ] && [ "$state" != Z ]
}
alive() { running "$app_pid"; }

# wait_exit SECONDS: whether Kestrel ended in time; sets exit_status.
not_alive() { ! alive; }
wait_exit() {
    poll "$1" not_alive || return 1
    wait "$app_pid"
    exit_status=$?
    app_pid=""
}

# stop_kestrel: ends the Kestrel started last, if it still runs.
stop_kestrel() {
    [ -n "$app_pid" ] || return 0
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    app_pid=""
}

# shot NAME: a screenshot of the whole screen.
shot() {
    timeout 20 import -window root "$shots/$1.png" || fail "screenshot $1"
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

# expect NAME CX CY 0|1
expect() {
    if lit "$1" "$2" "$3"; then got=1; else got=0; fi
    [ "$got" = "$4" ] || fail "$1: CHIP-8 pixel ($2, $3) lit=$got, expected $4${waited:+ (screenshots for $waited)}"
}

# want CX CY 0|1, then await_picture NAME: takes screenshot NAME until every
# pixel wanted shows as wanted, or $Patience s have passed, then checks each
# with expect on the last one, so a failure says what showed last. A key or
# a menu command shows on the machine's next frames, later on a busy machine.
wanted=()
want() { wanted+=("$1 $2 $3"); }
await_picture() {
    local name=$1 start=${EPOCHREALTIME/./} bits cx cy v item ok
    while :; do
        shot "$name"
        bits=$(screen_bits "$name")
        ok=1
        for item in "${wanted[@]}"; do
            read -r cx cy v <<<"$item"
            [ "${bits:64*cy+cx:1}" = "$v" ] || ok=0
        done
        [ "$ok" = 1 ] && break
        ((${EPOCHREALTIME/./} - start < Patience * 1000000)) || break
        sleep 0.2
    done
    waited="$(((${EPOCHREALTIME/./} - start) / 1000)) ms"
    for item in "${wanted[@]}"; do
        # shellcheck disable=SC2086 # the item is three numbers
        expect "$name" $item
    done
    wanted=()
    waited=""
}

# await_screen NAME GOLDEN: takes screenshot NAME until its picture is the
# golden screen GOLDEN (a file), or $Patience s have passed; then the
# difference is in $shots/NAME.diff and the test fails.
await_screen() {
    local start=${EPOCHREALTIME/./}
    while :; do
        shot "$1"
        screen "$1" >"$shots/$1.screen"
        diff "$2" "$shots/$1.screen" >"$shots/$1.diff" && return 0
        ((${EPOCHREALTIME/./} - start < Patience * 1000000)) || break
        sleep 0.2
    done
    # Another golden screen it matches tells a wrong machine or step apart
    # from a wrong picture.
    local other seen=""
    for other in "$(dirname "$2")"/*.screen; do
        cmp -s "$other" "$shots/$1.screen" && seen="; it is $(basename "$other" .screen)'s"
    done
    fail "$1: the picture is not $(basename "$2" .screen)'s golden screen after $(((${EPOCHREALTIME/./} - start) / 1000)) ms$seen (see $shots/$1.diff)"
}

# await_bits NAME BITS WHAT: takes screenshot NAME until its picture, as
# screen_bits gives it, is BITS, or $Patience s have passed; then fails
# with WHAT and the picture seen last.
await_bits() {
    local start=${EPOCHREALTIME/./} got
    while :; do
        shot "$1"
        got=$(screen_bits "$1")
        [ "$got" = "$2" ] && return 0
        ((${EPOCHREALTIME/./} - start < Patience * 1000000)) || break
        sleep 0.2
    done
    echo "$1: the picture after $(((${EPOCHREALTIME/./} - start) / 1000)) ms (# lit):" >&2
    echo "$got" | fold -w 64 | tr 01 '.#' >&2
    fail "$1: $3"
}

# screen NAME: the 64 x 32 picture in screenshot NAME as rows of . and #,
# as the golden screens hold it: each CHIP-8 pixel its 4 x 4 block averaged,
# green above half lit.
screen() {
    convert "$shots/$1.png" -crop 256x128+$((win_x + 1))+"$client_y" +repage -scale 64x32 \
        -channel G -separate -depth 8 gray:- |
        od -An -v -tu1 -w64 |
        awk '{ row = ""; for (i = 1; i <= NF; i++) row = row ($i > 127 ? "#" : "."); print row }'
}

# screen_hires NAME: the 128 x 64 picture the same way, each pixel a 2 x 2 block.
screen_hires() {
    convert "$shots/$1.png" -crop 256x128+$((win_x + 1))+"$client_y" +repage -scale 128x64 \
        -channel G -separate -depth 8 gray:- |
        od -An -v -tu1 -w128 |
        awk '{ row = ""; for (i = 1; i <= NF; i++) row = row ($i > 127 ? "#" : "."); print row }'
}

# screen_bits NAME: the same picture as 2048 characters, row by row, 1 for lit.
screen_bits() {
    screen "$1" | tr -d '\n' | tr '.#' '01'
}

# label_ink NAME: the number of dark pixels in the status label (left 56,
# top 272, 153 x 25 in the client area) of screenshot NAME; 0 when empty.
label_ink() {
    convert "$shots/$1.png" -crop "153x25+$((win_x + 56))+$((client_y + 272))" +repage \
        -colorspace gray -threshold 50% -negate -format "%[fx:round(mean*w*h)]" info:
}

# await_key_wait NAME: takes screenshot NAME until the status label shows
# text (it says "Waiting for key..." while FX0A waits), or $Patience s have
# passed. A key pressed and let go while the program is still drawing is
# not seen by its next key wait, and a busy machine draws late.
await_key_wait() {
    local start=${EPOCHREALTIME/./}
    while :; do
        shot "$1"
        [ "$(label_ink "$1")" -gt 0 ] && return 0
        ((${EPOCHREALTIME/./} - start < Patience * 1000000)) || break
        sleep 0.2
    done
    fail "$1: the label did not say the program waits for a key within $(((${EPOCHREALTIME/./} - start) / 1000)) ms (see $shots/$1.png)"
}

# Menu bar positions, from the window's left edge, and the client-area
# place of remap button i (its centre).
MenuFile=18
MenuCPU=57
MenuAbout=102
button_x() { echo $((win_x + 56 + 40 * ($1 < 12 ? $1 % 3 : 3) + 16)); }
button_y() { echo $((client_y + 144 + 32 * ($1 < 12 ? $1 / 3 : $1 - 12) + 12)); }

# newest_named TITLE: sets found to the newest of Kestrel's windows titled
# TITLE; fails when there is none.
newest_named() {
    found=$(windows_named "$1" | tail -n1)
    [ -n "$found" ]
}
none_named() { [ -z "$(windows_named "$1")" ]; }

# laid_out POPUP: whether POPUP has its final place and size, read twice
# 0.1 s apart; sets popup_x, popup_y, popup_h. A popup just mapped may still
# be laid out, and a click placed by its first size can miss every item.
laid_out() {
    local before
    eval "$(timeout 5 xdotool getwindowgeometry --shell "$1")" || return 1
    before="$X $Y $WIDTH $HEIGHT"
    sleep 0.1
    eval "$(timeout 5 xdotool getwindowgeometry --shell "$1")" || return 1
    popup_x=$X popup_y=$Y popup_h=$HEIGHT
    [ "$HEIGHT" -gt 10 ] && [ "$before" = "$X $Y $WIDTH $HEIGHT" ]
}

# open_menu OFFSET: clicks the menu bar at OFFSET and waits until its popup
# is mapped and laid out; sets popup_x, popup_y, popup_h. Retries a click that
# was lost.
open_menu() {
    local attempt popup
    for attempt in 1 2 3; do
        popup=$(windows_named "$AppId" | tail -n1)
        if [ -z "$popup" ]; then
            timeout 5 xdotool mousemove $((win_x + $1)) "$menu_y" click 1
            poll "$Patience" newest_named "$AppId"
            popup=$found
        fi
        [ -n "$popup" ] && poll "$Patience" laid_out "$popup" && return 0
        sleep 0.5
    done
    return 1
}

# Items in each menu: File has two, CPU five (Reset, Pause, Machine, Speed,
# Debugger...),
# CPU > Speed seven, and CPU > Machine the machines of the platform table,
# as kestrel_machine_names prints them, then "From the ROM database".
menu_items() { if [ "$1" = "$MenuCPU" ]; then echo 5; else echo 2; fi; }

# click_item ITEM COUNT: clicks item ITEM of the COUNT-item popup at popup_x,
# popup_y, popup_h, then waits until every popup is gone. Returns 2 if one
# stayed open.
click_item() {
    timeout 5 xdotool mousemove $((popup_x + 40)) $((popup_y + popup_h * (2 * $1 - 1) / (2 * $2)))
    sleep 0.2
    timeout 5 xdotool click 1
    poll "$Patience" none_named "$AppId" || return 2
}

# menu_command OFFSET ITEM: item ITEM of the menu at OFFSET; waits until the
# popup is gone. Returns 1 if the menu did not open, 2 if it stayed open
# after the click on its item.
menu_command() {
    open_menu "$1" || return 1
    click_item "$2" "$(menu_items "$1")"
}

# submenu_open: sets sub to a popup other than $cpu; fails when there is none.
submenu_open() {
    sub=$(windows_named "$AppId" | grep -vx "$cpu" | tail -n1)
    [ -n "$sub" ]
}

# submenu_command SUBMENU ITEM COUNT [SECONDS]: item ITEM of the COUNT-item
# submenu that is item SUBMENU of the CPU menu, waiting SECONDS (default
# $Patience) for it to open. Returns 1 if a menu did not open (a disabled
# submenu does not), 2 if one stayed open.
submenu_command() {
    open_menu "$MenuCPU" || return 1
    local cpu sub count
    count=$(menu_items "$MenuCPU")
    cpu=$(windows_named "$AppId" | tail -n1)
    timeout 5 xdotool mousemove $((popup_x + 40)) $((popup_y + popup_h * (2 * $1 - 1) / (2 * count)))
    poll "${4:-$Patience}" submenu_open
    if [ -z "$sub" ] || ! poll "$Patience" laid_out "$sub"; then
        timeout 5 xdotool key Escape
        return 1
    fi
    click_item "$2" "$3"
}

machine_names() { "${KESTREL_MACHINE_NAMES:?the path of kestrel_machine_names}"; }
machine_items() { echo $(($(machine_names | wc -l) + 1)); }

# choose_machine NAME: CPU > Machine > the item captioned NAME ("Kestrel",
# "XO-CHIP", "From the ROM database", ...). Returns 1 if a menu did not open
# or no item has that caption, 2 if one stayed open.
choose_machine() {
    local item count
    count=$(machine_items)
    if [ "$1" = "From the ROM database" ]; then
        item=$count
    else
        item=$(machine_names | grep -nxF -- "$1" | cut -d: -f1)
    fi
    [ -n "$item" ] || return 1
    submenu_command 3 "$item" "$count"
}

# choose_speed ITEM [SECONDS]: CPU > Speed > item ITEM (1 Machine's own, 2 7,
# 3 15, 4 30, 5 100, 6 1000, 7 10000 per frame), waiting SECONDS for the
# submenu; disabled, so 1, on Kestrel's machine.
choose_speed() { submenu_command 4 "$1" 7 "${2:-$Patience}"; }

# wait_gone TITLE SECONDS: whether every window titled TITLE closed in time.
wait_gone() {
    poll "$2" none_named "$1"
}

# pick_file PATH: File > Open ROM, PATH typed into the dialog and Return;
# an empty PATH cancels with Escape. Fails when no dialog appears.
pick_file() {
    menu_command "$MenuFile" 1 || return 1
    local dialog
    dialog=$(find_window '^Open$')
    [ -n "$dialog" ] || return 1
    timeout 5 xdotool windowfocus --sync "$dialog" 2>/dev/null
    sleep 0.3
    if [ -z "$1" ]; then
        timeout 5 xdotool key Escape
    else
        timeout 60 xdotool type --delay 10 "$1"
        sleep 0.3
        timeout 5 xdotool key Return
    fi
}

# close_modals: dismisses the boxes, dialogs and popups left open, newest
# first, with Escape; prints what it closed. Fails when they stay.
close_modals() {
    local id title
    for _ in $(seq 20); do
        id=$( (windows_named Open; windows_named Kestrel; windows_named "About Kestrel"; windows_named "$AppId") |
            sort -n | tail -n1)
        if [ -z "$id" ]; then
            timeout 5 xdotool windowfocus --sync "$main" 2>/dev/null
            return 0
        fi
        title=$(timeout 5 xdotool getwindowname "$id" 2>/dev/null)
        echo -n "closed '$title' "
        # A menu holds the keyboard already; a box needs the focus.
        [ "$title" = "$AppId" ] || timeout 3 xdotool windowfocus --sync "$id" 2>/dev/null
        timeout 5 xdotool key Escape
        poll 2 window_gone "$id"
    done
    return 1
}
# window_gone ID: whether Kestrel's window ID is no longer shown.
window_gone() { ! timeout 5 xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -qx "$1"; }
