#!/bin/bash
# kestrel-run on our own ROMs: each row's --screen against its golden screen
# in tests/golden (XO-CHIP's digit 0 read as the golden's '.'), and its exit
# status. Usage: kestrel_run_test.sh KESTREL_RUN SOURCE_DIR WORK_DIR
set -u
run=$1 src=$2 work=$3
mkdir -p "$work"
printf '\x00\xEE' >"$work/return.ch8" # a return with the stack empty: a fault
roms=$src/roms
failures=0

# status  golden (- none)   ROM                  options
rows=(
    "0 demo                $roms/demo.ch8       --machine kestrel --frames 30"
    "0 demo_key5           $roms/demo.ch8       --machine kestrel --frames 40 --keys 30:5+,31:5-"
    "0 keypad_16           $roms/keypad.ch8     --machine kestrel --frames 60 --keys 30:16+"
    "0 machines_kestrel    $roms/machines.ch8   --machine kestrel --frames 40"
    "0 machines_vip        $roms/machines.ch8   --machine cosmac-vip"
    "0 machines_modern     $roms/machines.ch8"
    "0 superchip_11        $roms/superchip.ch8  --machine superchip-1.1"
    "0 xochip              $roms/xochip.ch8     --machine xo-chip --frames 160 --rate 100"
    "1 -                   $work/return.ch8     --machine chip-8"
    "1 -                   $work/return.ch8     --machine kestrel"
    "2 -                   $roms/xochip.ch8     --machine cosmac-vip"
    "2 -                   $work/none.ch8"
    "2 -                   $roms/demo.ch8       --machine pdp-11"
    "2 -                   $roms/demo.ch8       --machine kestrel --keys 3:0+"
    "2 -                   $roms/demo.ch8       --frames 10:5+"
    "2 -                   $roms/machines.ch8   --break 1000"
)
for row in "${rows[@]}"; do
    read -r want golden rom options <<<"$row"
    # shellcheck disable=SC2086 # the options are words
    "$run" $options --screen "$work/screen" "$rom" 2>"$work/stderr" >/dev/null
    status=$?
    if [ "$status" != "$want" ]; then
        echo "FAIL ($status, not $want): kestrel-run $options $rom: $(cat "$work/stderr")"
        failures=$((failures + 1))
    elif [ "$want" != 0 ] && [ "$(wc -l <"$work/stderr")" = 0 ]; then
        echo "FAIL: kestrel-run $options $rom exits $want with nothing on standard error"
        failures=$((failures + 1))
    elif [ "$golden" != - ] && ! tr 0 . <"$work/screen" | diff -q - "$src/tests/golden/$golden.screen" >/dev/null; then
        echo "FAIL: kestrel-run $options $rom does not show $golden.screen:"
        tr 0 . <"$work/screen" | diff - "$src/tests/golden/$golden.screen" | head -n 20
        failures=$((failures + 1))
    fi
done

fail() {
    echo "FAIL: $1"
    failures=$((failures + 1))
}
# The PNG of a picture: 64 x 32 RGB.
"$run" --machine kestrel --frames 30 --png "$work/demo.png" "$roms/demo.ch8"
file "$work/demo.png" | grep -q 'PNG image data, 64 x 32, 8-bit/color RGB' || fail "$(file "$work/demo.png")"
# A break prints the registers where it stopped; a trace has a line an instruction.
"$run" --break 0x278 "$roms/machines.ch8" 2>/dev/null | grep -qx PC=0278 || fail "--break 0x278 stops elsewhere"
"$run" --machine xo-chip --frames 1 --trace "$work/trace" "$roms/xochip.ch8"
[ "$(wc -l <"$work/trace")" = 100 ] && [ "$(head -n 1 "$work/trace")" = "     0 0200 00FF  hires" ] ||
    fail "a frame of xochip.ch8 at 100 a frame traced as $(wc -l <"$work/trace") lines from $(head -n 1 "$work/trace")"

[ "$failures" = 0 ] && echo "kestrel-run: ${#rows[@]} rows, the PNG, the break and the trace pass"
[ "$failures" = 0 ]
