#!/bin/bash
# Uses the real window as a hostile user would, in seeded random bursts:
# menus, good and hostile files, Cancel, Reset, Pause, About, machine
# switches (each restarting the last file on the machine chosen, or refusing
# one too long for it), speeds, keys known and unknown, several keys held at
# once, remap clicks single, nested and in storms, the focus moved to another
# client, the fault box. After every burst Kestrel must be
# alive, show a probe ROM in time, show an empty label after Reset and keep
# its memory; at the end File > Exit gives status 0. A failure prints the
# seed and the last bursts' events; CHAOS_SEED replays the same events.
#   chaos_test.sh KESTREL ROMS_DIR SCREENSHOT_DIR [SECONDS]
# CHAOS_SECONDS overrides SECONDS (default 60); no burst starts in the last
# 10 s. CHAOS_SLACK (default 8) is the time allowed on top of the 2 s in
# which the probe must show, for screenshots on a loaded machine; the
# longest time it took is printed at the end.
set -u
kestrel=$(realpath "$1")
roms=$(realpath "$2")
shots=$3
seconds=${CHAOS_SECONDS:-${4:-60}}
seed=${CHAOS_SEED:-$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')}
slack=${CHAOS_SLACK:-8}
mkdir -p "$shots"
rm -f "$shots"/*.png "$shots/chaos.log"

here=$(dirname "$(realpath "$0")")
# shellcheck source=x_session.sh
source "$here/x_session.sh"

# rnd N: r := 0..N-1 from the seeded sequence. Only ever called in this
# shell and never on a branch that depends on timing, so a seed always
# gives the same events.
RANDOM=$seed
rnd() { r=$(((RANDOM * 32768 + RANDOM) % $1)); }
# pick WORD...: picked := one of the words.
pick() {
    local words=("$@")
    rnd ${#words[@]}
    picked=${words[$r]}
}
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

burst=0
burst_log=""
recent=("" "")
started_ms=$(now_ms)
log() {
    burst_log+="    $*"$'\n'
    echo "[$burst] $*" >>"$shots/chaos.log"
}
on_failure() {
    echo "chaos: FAILED in burst $burst, $((($(now_ms) - started_ms) / 1000)) s in; seed $seed" >&2
    echo "chaos: replay with CHAOS_SEED=$seed CHAOS_SECONDS=$seconds" >&2
    echo "chaos: the events of the last bursts (all of them in $shots/chaos.log):" >&2
    [ -n "${recent[0]}" ] && echo "  burst $((burst - 2)):"$'\n'"${recent[0]}" >&2
    [ -n "${recent[1]}" ] && echo "  burst $((burst - 1)):"$'\n'"${recent[1]}" >&2
    echo "  burst $burst:"$'\n'"$burst_log" >&2
    timeout 20 import -window root "$shots/failure.png" 2>/dev/null
}

# The ROMs, the hostile files and the probe, in a folder of our own; HOME
# and the config folder too, so that nothing lands in the real ones.
work=$(mktemp -d)
trap 'cleanup; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$work/a folder"
files="$work/files"
mkdir -p "$files"
cp "$roms/demo.ch8" "$files/demo.ch8"
cp "$roms/keypad.ch8" "$files/keypad.ch8"
cp "$roms/machines.ch8" "$files/machines.ch8"
cp "$roms/keypad.ch8" "$files/a rom with  spaces.ch8"
cp "$roms/demo.ch8" "$files/ünïcødé ROM ✓.ch8"
: >"$files/empty.ch8"
head -c 7682 /dev/zero >"$files/one byte too long.ch8"
# Too long for CHIP-8 and SUPER-CHIP (3584 bytes at most), not for Kestrel's
# or XO-CHIP; and one byte too long for XO-CHIP (65,024).
head -c 4000 /dev/zero >"$files/too long for chip-8.ch8"
head -c 65025 /dev/zero >"$files/too long for xo-chip.ch8"
mkfifo "$files/pipe.ch8"
# A call to itself fills the call stack, which stops the run whatever
# depth the run before left (Reset keeps it).
printf '\x22\x00' >"$files/stop.ch8"

# The probe: clears, draws a framed square at (10, 5) and at (40, 20), and
# spins. It never waits for a key, so nothing keeps the label after Reset.
probe="$files/probe.ch8"
printf '\x00\xe0\xa2\x12\x60\x0a\x61\x05\xd0\x18\x60\x28\x61\x14\xd0\x18\x12\x10' >"$probe"
sprite=(255 129 189 165 165 189 129 255)
probe_x=(10 40)
probe_y=(5 20)
printf '\xff\x81\xbd\xa5\xa5\xbd\x81\xff' >>"$probe"
blank=$(printf '0%.0s' $(seq 2048))
expected=$blank
for row in 0 1 2 3 4 5 6 7; do
    for bit in 0 1 2 3 4 5 6 7; do
        if (((sprite[row] >> (7 - bit)) & 1)); then
            for at in 0 1; do
                i=$((64 * (probe_y[at] + row) + probe_x[at] + bit))
                expected=${expected:0:i}1${expected:i+1}
            done
        fi
    done
done

# The keys a user may press: keypad and main keys, unknown ones (letters of
# other languages, media keys), modifiers and chords.
keys=(KP_0 KP_1 KP_5 KP_9 KP_Enter KP_Add KP_Subtract KP_Multiply KP_Divide KP_Decimal
    q w e r a s d f z x c v 1 4 space Return Escape Tab BackSpace Left Up F1 F5 Home
    adiaeresis eacute ssharp odiaeresis ccedilla XF86AudioPlay XF86AudioMute XF86AudioRaiseVolume
    Shift_L Control_L Alt_L Super_L Shift_R ctrl+a shift+KP_5 alt+x ctrl+shift+z super+d shift+adiaeresis)

rom_kinds=(demo keypad machines spaces unicode random missing folder empty long chip8long xolong pipe)
path_of() {
    case $1 in
    demo) echo "$files/demo.ch8" ;;
    keypad) echo "$files/keypad.ch8" ;;
    machines) echo "$files/machines.ch8" ;;
    chip8long) echo "$files/too long for chip-8.ch8" ;;
    xolong) echo "$files/too long for xo-chip.ch8" ;;
    spaces) echo "$files/a rom with  spaces.ch8" ;;
    unicode) echo "$files/ünïcødé ROM ✓.ch8" ;;
    random) echo "$files/random.ch8" ;;
    missing) echo "$files/no such file.ch8" ;;
    folder) echo "$work/a folder" ;;
    empty) echo "$files/empty.ch8" ;;
    long) echo "$files/one byte too long.ch8" ;;
    pipe) echo "$files/pipe.ch8" ;;
    stop) echo "$files/stop.ch8" ;;
    esac
}

check_alive() {
    alive && return 0
    wait_exit 0
    local status=$exit_status
    if [ "$status" -gt 128 ]; then
        fail "$1: kestrel died with status $status (SIG$(kill -l $((status - 128))))"
    fi
    fail "$1: kestrel ended with status $status"
}
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status"; }

# tidy WHY: closes what is left open; logs it; fails if it will not close.
tidy() {
    local closed
    closed=$(close_modals) || fail "$1: windows stay open: $closed"
    [ -n "$closed" ] && log "  $closed"
    return 0
}

# menu WHAT OFFSET ITEM: a menu command; a box that a faulting program
# raised meanwhile may block the bar, so it is closed and the click retried,
# unless the item itself was clicked.
menu() {
    local what=$1
    shift
    for _ in 1 2 3; do
        tidy "$what"
        menu_command "$@" && return 0
        [ $? = 2 ] && fail "$what: the menu stayed open after its item was clicked"
    done
    fail "$what: the menu did not open"
}

# choose_file WHAT PATH: File > Open ROM and PATH ("" to cancel).
choose_file() {
    for _ in 1 2 3; do
        tidy "$1"
        pick_file "$2" && return 0
    done
    fail "$1: the file dialog did not appear"
}

dismiss_key() { pick Return Escape space; }

paused=0
ev_open() {
    pick "${rom_kinds[@]}"
    local kind=$picked path
    path=$(path_of "$kind")
    if [ "$kind" = random ]; then
        rnd 300
        local n=$((r + 1)) bytes="" byte i
        for ((i = 0; i < n; i++)); do
            rnd 256
            printf -v byte '\\x%02x' "$r"
            bytes+=$byte
        done
        printf '%b' "$bytes" >"$path"
        log "open $n random bytes"
    else
        log "open $kind: ${path#"$work"/}"
    fi
    choose_file "open $kind" "$path"
    # A folder typed into the dialog is opened there: the dialog stays.
    wait_gone Open "$([ "$kind" = folder ] && echo 3 || echo "$Patience")" || log "  the dialog stayed open"
    tidy "open $kind"
}
ev_cancel() {
    log "open, cancelled"
    choose_file cancel ""
    wait_gone Open "$Patience" || fail "cancel: the dialog did not close on Escape in $Patience s"
}
ev_fault() {
    dismiss_key
    local key=$picked box=""
    log "open stop.ch8 (the run stops), the fault box dismissed with $key"
    choose_file fault "$(path_of stop)"
    if [ "$paused" != 0 ]; then
        # Paused: the program is loaded but never runs, so it cannot stop.
        [ "$paused" = unknown ] && { log "  pause state unknown: no check"; return; }
        # Once the dialog has closed the program is loaded; a run would stop
        # within a few hundred calls, far less than the second held here
        # however busy the machine, and raise its box.
        wait_gone Open "$Patience" || fail "fault: the file dialog did not close in $Patience s"
        sleep 1
        [ -z "$(windows_named Kestrel)" ] || fail "fault: the machine was to be paused, yet the run stopped"
        log "  paused, so no box"
        return
    fi
    poll "$Patience" newest_named Kestrel
    box=$found
    [ -n "$box" ] || fail "fault: no warning box $Patience s after a run that stops"
    timeout 3 xdotool windowfocus --sync "$box" 2>/dev/null
    timeout 5 xdotool key "$key"
    wait_gone Kestrel "$Patience" || log "  the box stayed after $key"
    tidy fault
}
ev_reset() {
    log "reset"
    menu reset "$MenuCPU" 1
}
ev_pause() {
    [ "$paused" = unknown ] || paused=$((1 - paused))
    log "pause (now paused=$paused)"
    menu pause "$MenuCPU" 2
    # A run that stops while the menu is open closes it with its box, and
    # the click may then have missed the item: the probe finds out.
    if [ -n "$(windows_named Kestrel)" ]; then
        paused=unknown
        log "  a warning box came up: pause state unknown"
    fi
}
# Every machine but the two-page one, whose 64 x 64 picture is not the
# probe's 64 x 32 one (machines_test.sh checks that machine's screen).
mapfile -t machine_names < <(machine_names | grep -vF "two-page")
machine=Kestrel # the item of CPU > Machine chosen last
ev_machine() {
    rnd ${#machine_names[@]}
    local item=${machine_names[$r]} status
    log "machine $item"
    for _ in 1 2 3; do
        tidy machine
        choose_machine "$item" && machine=$item && return 0
        status=$?
        [ "$status" = 2 ] && fail "machine: the menu stayed open after its item was clicked"
    done
    fail "machine: CPU > Machine did not open"
}
ev_about() {
    dismiss_key
    local key=$picked box=""
    log "about, dismissed with $key"
    tidy about
    timeout 5 xdotool mousemove $((win_x + MenuAbout)) "$menu_y" click 1
    about_or_warning() { newest_named "About Kestrel" || [ -n "$(windows_named Kestrel)" ]; }
    poll "$Patience" about_or_warning
    box=$(windows_named "About Kestrel" | tail -n1)
    if [ -z "$box" ]; then
        [ -n "$(windows_named Kestrel)" ] && { log "  a warning box came first"; return; }
        fail "about: no About box"
    fi
    timeout 3 xdotool windowfocus --sync "$box" 2>/dev/null
    timeout 5 xdotool key "$key"
    wait_gone "About Kestrel" "$Patience" || fail "about: the box did not close on $key in $Patience s"
}
ev_keys() {
    rnd 6
    local n=$((r + 1)) i a b
    for ((i = 0; i < n; i++)); do
        pick "${keys[@]}"
        a=$picked
        pick "${keys[@]}"
        b=$picked
        rnd 3
        if [ "$r" = 0 ]; then
            log "keys: down $a, down $b, up $a, up $b"
            timeout 5 xdotool keydown "$a" keydown "$b" keyup "$a" keyup "$b"
        else
            log "key $a"
            timeout 5 xdotool key "$a"
        fi
    done
}
# One to four keys held together, let go together.
ev_hold() {
    rnd 4
    local n=$((r + 1)) i downs=() ups=() held=""
    for ((i = 0; i < n; i++)); do
        pick "${keys[@]}"
        held+=" $picked"
        downs+=(keydown "$picked")
        ups+=(keyup "$picked")
    done
    rnd 12
    local hold=$((4 + r))
    log "hold$held for $((hold * 100)) ms"
    timeout 5 xdotool "${downs[@]}"
    sleep "$((hold / 10)).$((hold % 10))"
    timeout 5 xdotool "${ups[@]}"
}
# CPU > Speed; disabled on Kestrel's machine, where it must not open.
ev_speed() {
    rnd 7
    local item=$((r + 1)) status
    if [ "$machine" = Kestrel ]; then
        log "speed $item, on Kestrel's machine"
        tidy speed
        # Nothing is to open: with the CPU menu open and the pointer on
        # Speed, 3 s is many times the 0.2 s after which Qt opens a submenu.
        choose_speed "$item" 3 && fail "speed: CPU > Speed opened on Kestrel's machine"
        tidy speed
        return 0
    fi
    log "speed $item (1 the machine's own, 2..7: 7 15 30 100 1000 10000 a frame)"
    for _ in 1 2 3; do
        tidy speed
        choose_speed "$item"
        status=$?
        [ "$status" = 0 ] && return 0
        [ "$status" = 2 ] && fail "speed: a menu stayed open after its item was clicked"
    done
    fail "speed: CPU > Speed did not open"
}
# then_key WHAT: half of the time a key ends the waits, else they stay.
then_key() {
    rnd 2
    if [ "$r" = 0 ]; then
        pick "${keys[@]}"
        log "  then key $picked"
        timeout 5 xdotool key "$picked"
    else
        log "  left waiting"
    fi
}
ev_remap() {
    rnd 4
    local n=$((r + 1)) i list=""
    for ((i = 0; i < n; i++)); do
        rnd 16
        list+=" $r"
    done
    log "remap click on buttons$list"
    for i in $list; do
        timeout 5 xdotool mousemove "$(button_x "$i")" "$(button_y "$i")" click 1
        sleep 0.1
    done
    then_key
}
# storm BUTTON TIMES CLICKS: a rapid repeat on one button.
storm() {
    log "storm on button $1: $2 x $3 clicks"
    local i
    timeout 5 xdotool mousemove "$(button_x "$1")" "$(button_y "$1")"
    for ((i = 0; i < $2; i++)); do
        timeout 60 xdotool click --repeat "$3" --delay 2 1
    done
}
ev_storm() {
    rnd 16
    local button=$r
    rnd 451
    storm "$button" 1 $((50 + r))
    then_key
}
xmessage_pid=""
ev_focus() {
    pick "${keys[@]}"
    local key=$picked back
    rnd 2
    back=$r
    rnd 3
    # Return or space in it ends xmessage by itself.
    if [ -n "$xmessage_pid" ] && ! running "$xmessage_pid"; then
        wait "$xmessage_pid" 2>/dev/null
        xmessage_pid=""
    fi
    if [ "$r" = 0 ] && [ -n "$xmessage_pid" ]; then
        log "focus: the other client closes"
        kill "$xmessage_pid" 2>/dev/null
        wait "$xmessage_pid" 2>/dev/null
        xmessage_pid=""
        return
    fi
    if [ -z "$xmessage_pid" ]; then
        xmessage -geometry +330+360 "another client" >/dev/null 2>&1 &
        xmessage_pid=$!
        helper_pids+=("$xmessage_pid")
    fi
    local other
    other=$(find_window '^xmessage$')
    [ -n "$other" ] || fail "focus: xmessage did not appear"
    log "focus to the other client, key $key there, $([ "$back" = 0 ] && echo "focus back" || echo "focus left there")"
    timeout 3 xdotool windowfocus --sync "$other" 2>/dev/null
    timeout 5 xdotool key "$key"
    sleep 0.3
    [ "$back" = 0 ] && timeout 3 xdotool windowfocus --sync "$main" 2>/dev/null
}

events=(open open open cancel fault reset reset pause machine machine speed speed about keys keys keys hold hold
    remap remap remap storm focus)
declare -A counts=()

# shows PATTERN NAME DEADLINE_MS: waits until the screen is PATTERN,
# counting from t0_ms; sets waited_ms.
shows() {
    local got=""
    while :; do
        shot "$2"
        got=$(screen_bits "$2")
        waited_ms=$(($(now_ms) - t0_ms))
        [ "$got" = "$1" ] && return 0
        [ "$waited_ms" -gt "$3" ] && break
        sleep 0.2
    done
    echo "screen seen (# lit) after $waited_ms ms:" >&2
    echo "$got" | fold -w 64 | tr 01 '.#' >&2
    return 1
}

deadline_ms=$(((2 + slack) * 1000))
probe_max=0
reset_max=0
rss_first=""
rss_max=0
# check: alive, the probe shows in time, the label is empty after Reset,
# memory within twice what it was after the first burst.
check() {
    check_alive "after burst $burst"
    log "check: probe (paused=$paused)"
    local attempt
    for attempt in 1 2; do
        choose_file probe "$probe"
        t0_ms=$(now_ms)
        wait_gone Open "$Patience" && break
        # Typing lost to a focus change leaves the dialog open; not a fault.
        [ "$attempt" = 2 ] && fail "probe: the file dialog did not close"
        log "  the dialog stayed open; again"
    done
    local known=1
    if [ "$paused" = unknown ]; then
        known=0
        paused=1
        shows "$expected" probe "$deadline_ms" 2>/dev/null && paused=0
        log "  pause state found: paused=$paused"
    fi
    if [ "$paused" = 1 ]; then
        # Paused: the probe is loaded and the screen cleared, but nothing runs.
        if [ "$known" = 1 ]; then
            await_bits paused "$blank" "the machine was to be paused, yet the probe ran"
            # The probe, loaded and shown cleared, draws with its first few
            # instructions once it runs: a second held is ample on any load.
            sleep 1
            shot paused
            [ "$(screen_bits paused)" = "$blank" ] || fail "probe: the machine was to be paused, yet the probe ran"
        fi
        menu "pause off" "$MenuCPU" 2
        paused=0
        t0_ms=$(now_ms)
    fi
    shows "$expected" probe "$deadline_ms" || fail "probe: its screen did not show within $deadline_ms ms"
    local probe_ms=$waited_ms
    [ "$waited_ms" -gt "$probe_max" ] && probe_max=$waited_ms
    menu "check reset" "$MenuCPU" 1
    t0_ms=$(now_ms)
    while :; do
        shows "$expected" reset "$deadline_ms" || fail "reset: the probe's screen did not come back"
        [ "$(label_ink reset)" = 0 ] && break
        [ "$waited_ms" -gt "$deadline_ms" ] && fail "reset: the label is not empty (see $shots/reset.png)"
        sleep 0.2
    done
    [ "$waited_ms" -gt "$reset_max" ] && reset_max=$waited_ms
    check_alive "after the checks of burst $burst"
    local rss
    rss=$(rss_kb)
    [ -n "$rss_first" ] || rss_first=$rss
    [ "$rss" -gt "$rss_max" ] && rss_max=$rss
    log "check: probe shown in $probe_ms ms, after Reset in $waited_ms ms with an empty label; VmRSS $rss kB"
    [ "$rss" -lt $((2 * rss_first)) ] || fail "memory: VmRSS $rss kB, twice or more the $rss_first kB after the first burst"
}

start_xvfb
start_kestrel "$kestrel" "$shots/kestrel.log"
echo "chaos: seed $seed, $seconds s (CHAOS_SEED=$seed replays it)"

while (($(now_ms) - started_ms < (seconds - 10) * 1000)); do
    burst=$((burst + 1))
    burst_log=""
    rnd 4
    n=$((r + 3))
    for ((e = 0; e < n; e++)); do
        pick "${events[@]}"
        counts[$picked]=$((${counts[$picked]:-0} + 1))
        "ev_$picked"
        alive || break
    done
    # Every run covers the deep nesting: 3,000 clicks in a row on one button.
    if [ "$burst" = 2 ]; then
        rnd 16
        storm "$r" 6 500
        counts[storm]=$((${counts[storm]:-0} + 1))
    fi
    check
    recent=("${recent[1]}" "$burst_log")
done

summary=""
for e in "${!counts[@]}"; do summary+=" $e ${counts[$e]}"; done
echo "chaos: $burst bursts in $((($(now_ms) - started_ms) / 1000)) s; events:$summary"
echo "chaos: VmRSS $rss_first kB after the first burst, $rss_max kB at most; probe shown in $probe_max ms at most, after Reset in $reset_max ms at most"

menu exit "$MenuFile" 2
wait_exit "$Patience" || fail "exit: kestrel still runs $Patience s after File > Exit"
[ "$exit_status" = 0 ] || fail "exit: status $exit_status after File > Exit"
echo "1 passed, 0 failed"
