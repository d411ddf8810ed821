#!/bin/bash
# Opens machines.ch8 in a Kestrel binary, then chooses each machine from
# CPU > Machine; each choice restarts the program on the machine chosen, and
# the screen must be that machine's golden screen (a line a rule). Then, on
# the modern machine, three keys held at once must show together, and
# superchip.ch8, beside MACHINES_ROM, must show its golden screens on
# SUPER-CHIP 1.1 and modern. Starts and stops its own Xvfb.
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

# compare NAME GOLDEN: screenshot NAME until it shows the golden screen GOLDEN.
compare() { await_screen "$1" "$golden/$2.screen"; }

start_kestrel "$kestrel" "$shots/kestrel.log"
pick_file "$rom" || fail "no file dialog"
wait_gone Open "$Patience" || fail "the file dialog did not close in $Patience s"
timeout 5 xdotool windowfocus --sync "$main" 2>/dev/null
compare kestrel machines_kestrel

choose_machine "CHIP-8 (COSMAC VIP)" || fail "CPU > Machine > CHIP-8 (COSMAC VIP) could not be chosen"
compare vip machines_vip

choose_machine "CHIP-8 (modern)" || fail "CPU > Machine > CHIP-8 (modern) could not be chosen"
compare modern machines_modern

choose_machine Kestrel || fail "CPU > Machine > Kestrel could not be chosen"
compare kestrel-again machines_kestrel

# ---- Several keys at once on a standard machine --------------------------
# keys.ch8 shows CHIP-8 key k's digit while k is down: keys 0-7 at x = 8k,
# y 0, keys 8-F at x = 8(k - 8), y 8. Its listing (address: word):
#   200 6A00  VA := 0                 the key looked at
#   202 6300  V3 := 0       loop:     V3 := whether key VA is down
#   204 EA9E  skip if key VA is down
#   206 120A  jump 20A
#   208 6301  V3 := 1
#   20A A300  I := 300                [300 + k]: whether k's digit is shown
#   20C FA1E  I += VA
#   20E F065  V0 := [I]
#   210 5030  skip if V0 = V3
#   212 221E  call toggle
#   214 7A01  VA += 1
#   216 4A10  skip if VA != 16
#   218 6A00  VA := 0
#   21A 1202  jump loop
#   21C 0000  (padding)
#   21E A300  toggle: I := 300 + VA
#   220 FA1E
#   222 8030  V0 := V3
#   224 F055  [I] := V0
#   226 6107  V1 := 8 (VA & 7)
#   228 81A2
#   22A 811E  (three shifts of V1 by itself)
#   22C 811E
#   22E 811E
#   230 6208  V2 := VA & 8
#   232 82A2
#   234 FA29  I := the font's digit VA
#   236 D125  draw it at (V1, V2), inverting it
#   238 00EE  return
keys_rom="$shots/keys.ch8"
printf '\x6a\x00\x63\x00\xea\x9e\x12\x0a\x63\x01\xa3\x00\xfa\x1e\xf0\x65\x50\x30\x22\x1e\x7a\x01\x4a\x10\x6a\x00\x12\x02\x00\x00\xa3\x00\xfa\x1e\x80\x30\xf0\x55\x61\x07\x81\xa2\x81\x1e\x81\x1e\x81\x1e\x62\x08\x82\xa2\xfa\x29\xd1\x25\x00\xee' >"$keys_rom"
pick_file "$keys_rom" || fail "keys: no file dialog"
wait_gone Open "$Patience" || fail "keys: the file dialog did not close in $Patience s"
choose_machine "CHIP-8 (modern)" || fail "keys: CPU > Machine > CHIP-8 (modern) could not be chosen"
timeout 5 xdotool windowfocus --sync "$main" 2>/dev/null
sleep 0.5
# x is key 0 by its place (bottom row, 2nd), keypad 6 is key 6, v is key F.
timeout 5 xdotool keydown x keydown KP_6 keydown v
want 0 0 1   # 0 at (0, 0): its top row
want 48 0 1  # 6 at (48, 0)
want 56 8 1  # F at (56, 8)
want 40 0 0  # 5 is up
await_picture keys-three
timeout 5 xdotool keyup KP_6
want 0 0 1
want 48 0 0    # 6 went up alone
want 56 8 1
await_picture keys-two
timeout 5 xdotool keyup x keyup v
blank=$(printf '0%.0s' $(seq 2048))
await_bits keys-none "$blank" "a digit still shows with every key up"

# ---- SUPER-CHIP: superchip.ch8 in 128 x 64 ------------------------------
# compare_hires NAME GOLDEN: screenshots until the 128 x 64 picture is
# GOLDEN's, for up to 10 s; the 1.1 machine's display wait draws it over
# several frames.
compare_hires() {
    local deadline=$((SECONDS + 10))
    while :; do
        shot "$1"
        screen_hires "$1" >"$shots/$1.screen"
        diff "$golden/$2.screen" "$shots/$1.screen" >"$shots/$1.diff" && return 0
        [ "$SECONDS" -ge "$deadline" ] && break
        sleep 0.3
    done
    fail "$1: the picture is not $2's golden screen after 10 s; last seen ($shots/$1.screen):
$(cat "$shots/$1.screen")"
}

# The count of starts, kept in the flag registers, is 01 on 1.1 and 02 once
# choosing modern has started the program again.
superchip_rom=$(dirname "$rom")/superchip.ch8
choose_machine "SUPER-CHIP 1.1" || fail "CPU > Machine > SUPER-CHIP 1.1 could not be chosen"
pick_file "$superchip_rom" || fail "superchip: no file dialog"
wait_gone Open 5 || fail "superchip: the file dialog did not close"
compare_hires superchip-11 superchip_11
choose_machine "SUPER-CHIP (modern)" || fail "CPU > Machine > SUPER-CHIP (modern) could not be chosen"
compare_hires superchip-modern superchip_modern

# twopage.ch8 on the two-page machine: all 64 rows, each pixel 4 x 2 device pixels.
choose_machine "CHIP-8 (two-page, 64 x 64)" || fail "CPU > Machine > CHIP-8 (two-page, 64 x 64) could not be chosen"
pick_file "$(dirname "$rom")/twopage.ch8" || fail "twopage: no file dialog"
wait_gone Open 5 || fail "twopage: the file dialog did not close"
compare_hires twopage twopage

alive || fail "kestrel ended by itself"
stop_kestrel
echo "machines_test: the machines' screens match their golden screens; three keys held at once show"
