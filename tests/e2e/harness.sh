# What every end-to-end scenario uses, sourced by run.sh after segment.sh: the front ends
# (Varnok.exe's window through the UI driver, its command line, the sequence called
# directly), the rack of units, the files Varnok keeps, and the checks.
#
# A scenario is a function of a group file (scenarios/*.sh) that starts from a fresh
# folder, $dir, and the PC's tables as the group found them; run.sh calls it between
# `fresh NAME` and `end`. What it expects goes through `expect`; every figure of time it
# measures goes through `figure` (tools/bench holds the figures against their goals;
# a scenario asserts a time only where the time is the behaviour).

# Control ids, by name, from the program's own resource ids: IDC_SERIAL=1002 and so on.
load_control_ids() {
    eval "$(sed -n 's/^#define \(ID[A-Z]*_[A-Z0-9_]*\) \([0-9][0-9]*\)$/\1=\2/p' \
        "$repo/res/resource_ids.h")"
}

SERIAL=1234
NOBODY_SERIAL=1250 # a serial whose MAC no unit on the segment has
RACK=48            # units in the rack; rack unit K is always the unit with serial 1000 + K
RECORD_HEADER=time,serial,mac,address,netmask,gateway,adapter,outcome,reason,seconds,file,size,sha256
# The window must answer within this at any moment of its work: far inside the 5 s after
# which Windows calls a window "not responding", and far beyond what a busy machine adds.
WINDOW_ANSWER_MS=2000

# The MAC the program derives from a serial: 00:50:c2:11:8 and the leading three hex
# digits of serial + 2000.
mac_of() {
    local hex
    hex=$(printf '%x' $(($1 + 2000)))
    hex=${hex:0:3}
    echo "00:50:c2:11:8${hex:0:1}:${hex:1:2}"
}
now_ms() { date +%s%3N; }
windows_path() { echo "Z:${1//\//\\}"; } # PATH: as a program under Wine names it
random_file() { head -c "$1" /dev/urandom >"$2"; } # BYTES PATH
upload_folder() { mkdir -p "$dir/tftp" && chmod 777 "$dir/tftp"; } # what the server receives

# --- the group's PC: segment, Wine prefix, stand-ins ---------------------------------

# WORK TEMPLATE_PREFIX: the segment, and a Wine prefix copied from the template whose
# server starts inside the PC's namespace (the service that sends the echoes must).
pc_up() {
    local template=$2
    seg_up "$1" "$(mac_of $SERIAL)" || { echo "could not make the segment"; return 1; }
    prefix=$1/wineprefix
    rm -rf "$prefix"
    cp -a "$template" "$prefix" || return 1
    cp "$bin/system32/arp.exe" "$bin/system32/route.exe" "$prefix/drive_c/windows/system32/"
    # The links as arp.exe (by address) and route.exe (by interface index) name them.
    PC_INDEX=$(link_index "$SEG_PC_IF")
    WIFI_INDEX=$(link_index "$SEG_WIFI_IF")
    local links="$SEG_PC_ADDRESS=$SEG_PC_IF $SEG_WIFI_ADDRESS=$SEG_WIFI_IF"
    links+=" $PC_INDEX=$SEG_PC_IF $WIFI_INDEX=$SEG_WIFI_IF"
    wine_env=(WINEPREFIX="$prefix" WINEDEBUG=-all
        WINEDLLOVERRIDES="mscoree,mshtml=;arp.exe,route.exe=n"
        VARNOK_E2E_INTERFACE="$SEG_PC_IF" VARNOK_E2E_LINKS="$links" DISPLAY="$DISPLAY")
    ip netns exec "$SEG_PC" env "${wine_env[@]}" wineserver -p
    baseline=$(seg_pc_tables)
    # For pictures (VARNOK_PICTURES, a folder), Wine draws the windows' frames itself, as
    # no window manager runs here; otherwise they are left to one, as usual.
    dir=$1 in_pc wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
        /d "$([ -n "${VARNOK_PICTURES:-}" ] && echo N || echo Y)" /f >/dev/null 2>&1
    # Where Varnok keeps its list and its record: %APPDATA%\Varnok, as Wine maps it.
    local appdata
    appdata=$(dir=$1 in_pc wine cmd /c echo '%APPDATA%' | tr -d '\r')
    kept=$(dir=$1 in_pc wine winepath -u "$appdata" | tr -d '\r')/Varnok
    RACK_MADE=0
}
link_index() { ip -n "$SEG_PC" -o link show "$1" | cut -d: -f1; }

pc_down() {
    [ ${#VARNOK_PIDS[@]} -gt 0 ] && wait "${VARNOK_PIDS[@]}" 2>/dev/null
    [ -n "${prefix:-}" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
    seg_down
}

in_pc() { # COMMAND...: in the PC's namespace, in the scenario's folder, with the stand-ins
    (cd "$dir" && ip netns exec "$SEG_PC" env "${wine_env[@]}" VARNOK_E2E_RECORDS="$dir/programs" \
        ${IGNORE:+VARNOK_E2E_IGNORE="$IGNORE"} ${CHOOSE:+VARNOK_E2E_CHOOSE="$CHOOSE"} "$@")
}

# --- scenarios: begin, end, checks, figures ------------------------------------------

fresh() { # NAME: a fresh folder for the scenario
    name=$1
    dir=$work/scenarios/$name
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "$(date +%s.%N | cut -c1-14) begin" >"$dir/timing"
    : >"$dir/programs"
    scenario_failed=0
    scenario_started=$SECONDS
    IGNORE=
    CHOOSE=
}

end() {
    echo "$(date +%s.%N | cut -c1-14) end" >>"$dir/timing"
    expect "PC tables afterwards" "$(seg_pc_tables)" "$baseline"
    if [ "$scenario_failed" -eq 0 ]; then
        echo "ok - $name ($((SECONDS - scenario_started)) s)"
    else
        echo "not ok - $name (files in $dir)"
        failures=$((failures + 1))
    fi
}

expect() { # WHAT ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        printf '  %s:\n    got:      %s\n    expected: %s\n' "$1" "${2//$'\n'/ | }" \
            "${3//$'\n'/ | }"
        scenario_failed=1
    fi
}

# A figure of time for tools/bench: NAME VALUE (milliseconds), from this scenario.
figure() {
    [ -n "${2:-}" ] || return 0
    echo "$1 $2 $name" >>"$work/figures"
}

# Varnok's window must answer at any moment of its work (UI only), RESPONSE_MS being the
# slowest answer the UI driver saw meanwhile.
expect_responsive() {
    [ "$front" = ui ] || return 0
    [ "${RESPONSE_MS:-999999}" -lt "$WINDOW_ANSWER_MS" ] ||
        expect "slowest answer of the window (ms)" "${RESPONSE_MS:-?}" "< $WINDOW_ANSWER_MS"
}

# The same for the window a scenario drove itself: its slowest answer from the out file.
expect_window_answered() {
    RESPONSE_MS=$(slowest_answer_ms)
    expect_responsive
}

# What the UI driver printed, from the scenario's out file.
boxes_shown() { sed -n 's/^box: //p' "$dir/out" | tr -d '\r'; }
texts_read() { sed -n "s/^text $1: //p" "$dir/out" | tr -d '\r'; } # ID
boxes_after_ms() { sed -n 's/^box-after-ms: //p' "$dir/out" | tr -d '\r'; }
slowest_answer_ms() { sed -n 's/^worst-response-ms: //p' "$dir/out" | tr -d '\r' | sort -n | tail -1; }
point() { sed -n "s/^where $1: //p" "$dir/out" | tr -d '\r' | tail -1; } # ID: "X Y"

records() { # FIELD [FILE]: that field of each configuration the unit received, one a line
    sed -n "s/.*\"$1\":\"\\([^\"]*\\)\".*/\\1/p" "${2:-$dir/unit.jsonl}" 2>/dev/null
}
programs_run() { cut -d' ' -f1-2 "$dir/programs" | paste -sd ' '; } # "arp -d arp -s ..."

# --- the one unit ---------------------------------------------------------------------

unit_on() { # [unitsim options]: the one unit switched on, recording to unit.jsonl
    seg_unit_start "$dir/unit.jsonl" "$@" || scenario_failed=1
}

# --- the front ends -------------------------------------------------------------------

# apply SERIAL ADDRESS NETMASK GATEWAY [debug]: one "Apply" from the scenario's folder.
# Sets BOXES (the boxes' texts, one a line) and ELAPSED_MS (click to box).
apply() {
    "apply_$front" "$@"
    BOXES=$(boxes_shown)
}

apply_probe() {
    in_pc timeout 90 wine "$bin/apply_probe.exe" "$(mac_of "$1")" "$2" "$3" "$4" ${5:-} \
        >"$dir/out" 2>"$dir/err"
    ELAPSED_MS=$(sed -n 's/^elapsed-ms: //p' "$dir/out" | tr -d '\r')
}

# With CHOOSE set, the adapter question is answered with that adapter (a moment later
# when pictures are taken, so that one can be).
apply_ui() {
    varnok ${5:-} -- serial="$1" address="$2" netmask="$3" gateway="$4" apply \
        ${CHOOSE:+${VARNOK_PICTURES:+sleep=3000} adapter="$CHOOSE"} box=40
}

# Varnok.exe running in the scenario's folder for the driver steps given, then closed;
# what its start asks of arp.exe (removing the stored address's entry) goes to
# programs.start. Sets ELAPSED_MS (each box after its click) and RESPONSE_MS.
varnok() { # [ARGUMENTS] -- STEPS...
    local arguments=()
    while [ "$1" != "--" ]; do arguments+=("$1") && shift; done
    shift
    stamp start
    in_pc timeout 150 wine "$program" "${arguments[@]}" >"$dir/varnok.out" 2>&1 &
    local pid=$!
    in_pc timeout 40 wine "$bin/ui_driver.exe" read=$IDC_SERIAL >/dev/null 2>>"$dir/err"
    stamp "window shown"
    started_up
    cat "$dir/programs" >>"$dir/programs.start"
    : >"$dir/programs"
    if ! in_pc timeout 140 wine "$bin/ui_driver.exe" "$@" close >"$dir/out" 2>>"$dir/err"; then
        in_pc timeout 20 wine "$bin/ui_driver.exe" close >/dev/null 2>>"$dir/err"
    fi
    stamp "steps done"
    # Its window is gone; the process may take a moment longer to end, and the next
    # scenario need not wait for that.
    VARNOK_PIDS+=("$pid")
    ELAPSED_MS=$(boxes_after_ms | paste -sd ' ')
    RESPONSE_MS=$(slowest_answer_ms)
}
stamp() { echo "$(date +%s.%N | cut -c1-14) $1" >>"$dir/timing"; }

# The window's start looks for an entry left at the stored address off the window's
# thread (under the tables' lock), the window disabled meanwhile: done once it takes
# commands.
started_up() {
    in_pc timeout 160 wine "$bin/ui_driver.exe" ready >/dev/null 2>>"$dir/err"
}

# Varnok started apart, for `drive`: its window shown and its start done.
window_open() {
    in_pc timeout 300 wine "$program" >"$dir/varnok.out" 2>&1 &
    running=$!
    drive read=$IDC_SERIAL
    started_up
}
# Varnok started apart on its list page, with FILE imported through the real dialog.
list_page_with() { # FILE
    window_open
    drive tab=2
    import_units "$1"
}
# Closed as its close box does; whatever went wrong, it does not outlive the scenario.
window_close() {
    drive close
    until_ended "$running"
}
until_ended() { # PID: waits up to 10 s for that Varnok to end, then ends it
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.2; done
    kill_tree "$1"
}
kill_tree() { # PID: that process and all below it, at once, as a power cut would
    local child
    for child in $(pgrep -P "$1"); do kill_tree "$child"; done
    kill -KILL "$1" 2>/dev/null
}

# The UI driver's steps on a Varnok started apart; what it prints is added to out.
drive() { in_pc timeout 120 wine "$bin/ui_driver.exe" "$@" >>"$dir/out" 2>>"$dir/err"; }

# A real mouse click (xdotool) at the centre of control ID, then the keys given.
click_into() { # ID KEY...
    local id=$1 x y
    shift
    drive where="$id"
    read -r x y <<<"$(point "$id")"
    xdotool mousemove "${x:-0}" "${y:-0}" click 1 sleep 0.3 key "$@"
}

dialog_open() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# The visible dialog of that title, within 20 s.
dialog_shown() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# TITLE WINDOW KEYS_FUNCTION: types into the real file dialog until it closes. Keys reach
# the dialog only once it has the focus and has filled its list, so the keys are tried
# again (KEYS_FUNCTION ATTEMPT) while it stays open.
file_dialog_keys() {
    local title=$1 window=$2 keys=$3 attempt
    for attempt in 1 2 3; do
        xdotool windowfocus --sync "$window" 2>/dev/null
        sleep $attempt
        "$keys" "$attempt"
        for _ in $(seq 25); do dialog_open "$title" || break; sleep 0.2; done
        echo "$attempt" >"$dir/dialog-attempts"
        dialog_open "$title" || return 0
    done
    expect "dialog \"$title\"" "still open after the path was typed" "closed"
    return 1
}

# BUTTON TITLE FILE: the button clicked, and in the real file dialog of that title the
# whole path typed.
file_dialog() {
    drive click="$1"
    local window
    window=$(dialog_shown "$2")
    if [ -z "$window" ]; then
        expect "dialog \"$2\"" "not shown" "shown"
        return 1
    fi
    DIALOG_PATH=$(windows_path "$3")
    file_dialog_keys "$2" "$window" type_whole_path
}
type_whole_path() { xdotool key ctrl+a && xdotool type --delay 40 "$DIALOG_PATH" && xdotool key Return; }
import_units() { file_dialog "$IDC_LIST_IMPORT" 'Import units' "$1"; } # FILE: "Import…"

# Varnok.exe from a script: NAME ARGUMENTS...; its output in NAME.out and NAME.err, its
# exit status in STATUS, its output without CRs in OUTPUT, its time in CLI_MS.
cli() {
    local run=$1 start
    shift
    start=$(now_ms)
    in_pc timeout 150 wine "$program" "$@" >"$dir/$run.out" 2>"$dir/$run.err"
    STATUS=$?
    CLI_MS=$(($(now_ms) - start))
    OUTPUT=$(tr -d '\r' <"$dir/$run.out")
}

# With VARNOK_PICTURES set: the visible window of that title as it is on the screen, in
# NAME.png there.
picture() { # NAME TITLE
    [ -n "${VARNOK_PICTURES:-}" ] || return 0
    local window X Y WIDTH HEIGHT SCREEN
    window=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -1)
    [ -n "$window" ] || { echo "no window '$2' to picture for $1"; return 0; }
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$VARNOK_PICTURES/$1.png"
}
picture_once_shown() { # NAME TITLE: in the background, once that window shows (within 30 s)
    [ -n "${VARNOK_PICTURES:-}" ] || return 0
    (for _ in $(seq 150); do
        xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1 && sleep 1 && picture "$@" && break
        sleep 0.2
    done) &
}

# --- the rack: a cabinet's units behind a switch --------------------------------------

# The one unit gives way to a rack of 48 behind a switch, once per group; every rack unit
# switched off, and the list and record Varnok keeps gone.
rack_fresh() {
    if [ "$RACK_MADE" -eq 0 ]; then
        seg_rack_up $RACK || { expect "rack of $RACK units" "not made" "made"; return 1; }
        RACK_MADE=1
    fi
    seg_rack_units_stop
    rm -f "$kept/units.csv"
    record_fresh
}
record_fresh() { # no record yet: the scenario's lines are the only ones
    rm -f "$kept/record.csv" "$kept/record.pending.csv"
    mkdir -p "$kept" # as Varnok's first start makes it, for files a scenario puts there
}

rack_on() { # K [unitsim options]: rack unit K switched on, its simulator recording to unitK.jsonl
    local k=$1
    shift
    seg_rack_unit_start "$k" "$(mac_of $((1000 + k)))" "$dir/unit$k.jsonl" --window 60 "$@" ||
        expect "rack unit $k" "not switched on" "switched on"
}
cabinet_on() { # K... [-- unitsim options]: those rack units switched on together, as a cabinet's power does
    local pairs=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do pairs+=("$1=$(mac_of $((1000 + $1)))") && shift; done
    [ "${1:-}" = -- ] && shift
    seg_rack_units_start "$dir/unit%d.jsonl" "${pairs[@]}" -- --window 60 "$@" ||
        expect "cabinet" "not switched on" "switched on"
}
held_and_answers() { # K: the address rack unit K holds and its answers to the echoes
    echo "$(ip -n "${SEG_RACK[$1]}" -4 -o addr show dev "$SEG_UNIT_IF" | awk '{print $4}')" \
        "$(records answer "$dir/unit$1.jsonl" | paste -sd ' ')"
}

# Every rack unit given that answered a configuration echo did so within the minute after
# its link came up (its power-on), by the times the unit recorded.
expect_within_their_minute() { # K...
    local k at late=''
    for k in "$@"; do
        at=$(sed -n 's/.*"answer":"echo".*"at":\([0-9]*\).*/\1/p' "$dir/unit$k.jsonl" 2>/dev/null |
            tail -1)
        [ -n "$at" ] || continue
        [ $((at - SEG_RACK_UP[k])) -le 60000 ] || late+=" $k ($((at - SEG_RACK_UP[k])) ms)"
    done
    expect "units addressed later than 60 s after power-on" "$late" ""
}

# --- the list a run should leave -------------------------------------------------------

# The wanted outcome of a list run, one unit at a time, in the list's order.
want_none() { WANT_LIST='' WANT_RECORD='' WANT_HELD='' WANT_LINES=''; }
want_unit() { # SERIAL ADDRESS succeeded|failed [ANSWERS]: ANSWERS the unit's, default "echo"
    local serial=$1 address=$2 state=$3 outcome=SUCCESS held="$2/24 ${4:-echo}"
    [ "$state" = failed ] && outcome=FAILED held=" "
    WANT_LIST+="$serial $address 255.255.255.0 10.77.0.1 $state"$'\n'
    WANT_RECORD+="$serial $(mac_of "$serial") $address 255.255.255.0 10.77.0.1 $outcome"$'\n'
    WANT_HELD+="$held"$'\n'
    WANT_LINES+="$serial $(mac_of "$serial") $address $outcome"$'\n'
}
list_line() { printf '%s,%s,255.255.255.0,10.77.0.1\r\n' "$1" "$2"; } # SERIAL ADDRESS: CSV, CRLF

# Each rack unit given holds its address and answered as wanted, in time.
expect_units_held() { # K...
    local k
    expect "each unit's address and answers" \
        "$(for k in "$@"; do held_and_answers "$k"; done)" "${WANT_HELD%$'\n'}"
    expect_within_their_minute "$@"
}
# The list kept and the record say what WANT_LIST and WANT_RECORD want (units side by
# side, so the record in any order).
expect_kept_as_wanted() {
    expect "the list kept" "$(list_states)" "${WANT_LIST%$'\n'}"
    expect "the record (units side by side, in any order)" "$(record_applies | sort)" \
        "$(sort <<<"${WANT_RECORD%$'\n'}")"
    check_record_form
}

# A CSV file's lines with the fields joined by "|", quotes undone.
csv_rows() { # FILE
    { tr -d '\r' <"$1"; } 2>/dev/null | awk '{
        out = ""; quoted = 0
        for (i = 1; i <= length($0); i++) {
            c = substr($0, i, 1)
            if (quoted && c == "\"" && substr($0, i + 1, 1) == "\"") { out = out c; i++ }
            else if (c == "\"") quoted = !quoted
            else if (c == "," && !quoted) out = out "|"
            else out = out c
        }
        print out
    }'
}
# The list Varnok keeps: serial, address, netmask, gateway and state of each unit; a
# failure must say why.
list_states() {
    csv_rows "$kept/units.csv" | grep -v '^serial|' |
        awk -F'|' '{print $1, $2, $3, $4, $5 ($5 == "failed" && $7 == "" ? " (no reason)" : "")}'
}
# The record's lines of assignments: serial, MAC (as mac_of writes it), address, netmask,
# gateway, outcome; a failure must say why, and each names its adapter.
record_applies() {
    csv_rows "$kept/record.csv" | sed 1d | awk -F'|' '$11 == "" {
        mac = tolower($3); gsub("-", ":", mac)
        print $2, mac, $4, $5, $6, $8 ($8 == "FAILED" && $9 == "" ? " (no reason)" : "") \
            ($7 == "" ? " (no adapter)" : "")
    }'
}
# The record's lines of uploads: address, outcome, reason, file name, size, SHA-256.
record_uploads() {
    csv_rows "$kept/record.csv" | sed 1d | awk -F'|' '$11 != "" {
        file = $11; sub(/.*[\\\/]/, "", file); print $4, $8, $9, file, $12, tolower($13) }'
}
# Every line of the record: its header, and a time in ISO 8601 with the offset from UTC.
check_record_form() {
    expect "record's header" "$(head -1 "$kept/record.csv" 2>/dev/null | tr -d '\r')" \
        "$RECORD_HEADER"
    expect "record's times not in ISO 8601 with offset" "$(csv_rows "$kept/record.csv" | sed 1d |
        cut -d'|' -f1 | grep -vE '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\.[0-9]+)?([+-][0-9]{2}:[0-9]{2}|Z)$')" ""
}

# --- what the units' TFTP servers received ----------------------------------------------

# K FILE...: what rack unit K's own server received, byte for byte as sent.
expect_received() {
    local k=$1 file
    shift
    for file in "$@"; do
        cmp -s "$dir/$file" "$dir/unit$k/$file" || expect "unit $k: $file received" "differs" "same"
    done
}

# K FIRST THEN SECONDS: rack unit K's server began to receive THEN at least SECONDS after
# FIRST (the unit's time to write FIRST, which runs from its answer to the check echo: less
# the second a client may take to start under Wine). By the files' birth times.
expect_sent_after() {
    local k=$1 apart least=$(($4 * 1000 - 1000))
    apart=$(stat -c %.3W "$dir/unit$k/$3" "$dir/unit$k/$2" | tr -d . | paste -sd -)
    apart=$((apart))
    [ "$apart" -ge "$least" ] || expect "unit $k: $3 begun after $2 (ms)" "$apart" ">= $least"
}
