#!/bin/bash
# Opens machines.ch8 in a Kestrel binary, then chooses each machine from
# CPU > Machine; each choice restarts the program on the machine chosen, and
# the screen must be that machine's golden screen (a line a rule). Starts and
# stops its own Xvfb.
#   machines_test.sh KESTREL MACHINES_ROM SCREENSHOT_DIR
set -u
kestrel=$1
rom=$(realpath "$2")
shots=$3
golden=$(dirname "$(realpath "$0")")/../golden
mkdir -p "$shots"
rm -f "$shots"/*.png

here=$(dirname "$(realpath "$0")")
# shellcheck source=x_session.sh
source "$here/x_session.sh"
start_xvfb

# compare NAME GOLDEN: the screenshot NAME against the golden screen GOLDEN.
compare() {
    shot "$1"
    screen "$1" >"$shots/$1.screen"
    diff "$golden/$2.screen" "$shots/$1.screen" >"$shots/$1.diff" ||
        fail "$1: the picture is not $2's golden screen (see $shots/$1.diff)"
}

start_kestrel "$kestrel" "$shots/kestrel.log"
pick_file "$rom" || fail "no file dialog"
wait_gone Open 5 || fail "the file dialog did not close"
timeout 5 xdotool windowfocus --sync "$main" 2>/dev/null
sleep 1
compare kestrel machines_kestrel

choose_machine 2 || fail "CPU > Machine > CHIP-8 (COSMAC VIP) could not be chosen"
sleep 1
compare vip machines_vip

choose_machine 3 || fail "CPU > Machine > CHIP-8 (modern) could not be chosen"
sleep 1
compare modern machines_modern

choose_machine 1 || fail "CPU > Machine > Kestrel could not be chosen"
sleep 1
compare kestrel-again machines_kestrel

alive || fail "kestrel ended by itself"
stop_kestrel
echo "machines_test: the three machines' screens match their golden screens"
