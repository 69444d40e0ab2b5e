#!/usr/bin/env bash
# The end-to-end scenarios: "Apply" against a simulated unit on a virtual Ethernet segment
# (segment.sh), with the PC's side under Wine in a namespace of its own, arp.exe and
# route.exe replaced by stand-ins that change the namespace's real tables.
#   run.sh WINDOWS_BUILD_DIR/tests/e2e UNITSIM WORKDIR
# Needs root; otherwise it says so in one line and exits 77 (skipped).
# Each scenario checks what the user was shown, what the unit received and took, what
# arp.exe and route.exe were asked to do, and what was left in the PC's tables.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
bin=$(realpath "${1:?usage: run.sh E2E_BUILD_DIR UNITSIM WORKDIR}")
SEG_UNITSIM=$(realpath "${2:?}")
mkdir -p "${3:?}" && work=$(realpath "$3")
source "$here/segment.sh"
source "$repo/tools/lib.sh"

if ! seg_can_run; then
    echo "SKIPPED: end-to-end scenarios need root to make network namespaces"
    exit 77
fi
for f in "$SEG_UNITSIM" "$bin/apply_probe.exe" "$bin/system32/arp.exe" "$bin/system32/route.exe"; do
    [ -x "$f" ] || { echo "missing: $f (build both presets first)"; exit 1; }
done
command -v in.tftpd >/dev/null || { echo "missing: in.tftpd (tftpd-hpa)"; exit 1; }
start_virtual_display || exit 1

SERIAL=1234
NOBODY_SERIAL=1250 # a serial whose MAC no unit on the segment has

# The MAC the program derives from a serial: 00:50:c2:11:8 and the leading three hex
# digits of serial + 2000.
mac_of() {
    local hex
    hex=$(printf '%x' $(($1 + 2000)))
    hex=${hex:0:3}
    echo "00:50:c2:11:8${hex:0:1}:${hex:1:2}"
}

prefix=$work/wineprefix
failures=0
cleanup() {
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    seg_down
}
trap cleanup EXIT
trap 'exit 1' INT TERM

rm -rf "$work/scenarios"
mkdir -p "$work/scenarios"
seg_up "$work" "$(mac_of $SERIAL)" || { echo "could not make the segment"; exit 1; }

# The prefix's wineserver, and so the service that sends the echoes, must start inside
# the PC's namespace: any one left from elsewhere goes first.
WINEPREFIX=$prefix wineserver -k 2>/dev/null
ip netns exec "$SEG_PC" env WINEPREFIX="$prefix" "$repo/tools/wineprefix" "$prefix" >/dev/null ||
    { echo "could not make the Wine prefix"; exit 1; }
cp "$bin/system32/arp.exe" "$bin/system32/route.exe" "$prefix/drive_c/windows/system32/"
wine_env=(WINEPREFIX="$prefix" WINEDEBUG=-all
          WINEDLLOVERRIDES="mscoree,mshtml=;arp.exe,route.exe=n"
          VARNOK_E2E_INTERFACE="$SEG_PC_IF" DISPLAY="$DISPLAY")
ip netns exec "$SEG_PC" env "${wine_env[@]}" wineserver -p
baseline=$(seg_pc_tables)

# --- the front end: "Apply" through Setup::Run directly --------------------------------

# apply SERIAL ADDRESS NETMASK GATEWAY [debug]: one "Apply" from the scenario's folder.
# Sets BOXES (the boxes' texts, one a line) and ELAPSED_MS.
apply() {
    local mac
    mac=$(mac_of "$1")
    (cd "$dir" && timeout 90 ip netns exec "$SEG_PC" env "${wine_env[@]}" \
        VARNOK_E2E_RECORDS="$dir/programs" ${IGNORE:+VARNOK_E2E_IGNORE="$IGNORE"} \
        wine "$bin/apply_probe.exe" "$mac" "$2" "$3" "$4" ${5:-} >"$dir/out" 2>"$dir/err")
    BOXES=$(sed -n 's/^box: //p' "$dir/out" | tr -d '\r')
    ELAPSED_MS=$(sed -n 's/^elapsed-ms: //p' "$dir/out" | tr -d '\r')
}

# --- checks -------------------------------------------------------------------------

scenario_failed=0
expect() { # WHAT ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        printf '  %s:\n    got:      %s\n    expected: %s\n' "$1" "${2//$'\n'/ | }" \
            "${3//$'\n'/ | }"
        scenario_failed=1
    fi
}
records() { # FIELD: that field of each configuration the unit received, one a line
    sed -n "s/.*\"$1\":\"\\([^\"]*\\)\".*/\\1/p" "$dir/unit.jsonl"
}
begin() { # NAME [unitsim options]: a fresh folder and a unit just switched on
    name=$1
    shift
    dir=$work/scenarios/$name
    mkdir -p "$dir"
    : >"$dir/programs"
    scenario_failed=0
    IGNORE=
    seg_unit_start "$dir/unit.jsonl" "$@" || scenario_failed=1
}
end() {
    expect "PC tables afterwards" "$(seg_pc_tables)" "$baseline"
    if [ "$scenario_failed" -eq 0 ]; then
        echo "ok - $name (${ELAPSED_MS:-?} ms)"
    else
        echo "not ok - $name (files in $dir)"
        failures=$((failures + 1))
    fi
}

# --- scenarios -----------------------------------------------------------------------

U=$(mac_of $SERIAL)
D=${U//:/-}

begin apply-on-the-pcs-subnet
apply $SERIAL 10.77.0.50 255.255.255.0 10.77.0.1
expect "boxes" "$BOXES" "SUCCESS!"
expect "unit's answers" "$(records answer)" "echo"
expect "unit's address" "$(records address)" "10.77.0.50"
expect "unit's netmask" "$(records netmask)" "255.255.255.0"
expect "unit's gateway" "$(records gateway)" "10.77.0.1"
expect "arp and route" "$(cat "$dir/programs")" \
    "arp -d 10.77.0.50"$'\n'"arp -s 10.77.0.50 $D"$'\n'"arp -d 10.77.0.50"
expect "unit's interface" "$(ip -n "$SEG_UNIT" -4 -o addr show dev "$SEG_UNIT_IF" |
    awk '{print $4}')" "10.77.0.50/24"
expect "unit's default route" "$(ip -n "$SEG_UNIT" route show default | sed 's/ *$//')" \
    "default via 10.77.0.1 dev $SEG_UNIT_IF onlink"
# From now on the unit is an ordinary host whose kernel answers (ARP included): a TFTP
# server there takes an upload.
mkdir -p "$dir/tftp" && chmod 777 "$dir/tftp"
head -c 300000 /dev/urandom >"$dir/image.bin"
if seg_tftpd_start "$dir/tftp" 10.77.0.50; then
    (cd "$dir" && ip netns exec "$SEG_PC" timeout 20 tftp -m binary 10.77.0.50 -c put image.bin) \
        >/dev/null 2>&1
    cmp -s "$dir/image.bin" "$dir/tftp/image.bin" || expect "upload to the unit" "differs" "same"
else
    expect "TFTP server" "not started" "started"
fi
end
ON_SUBNET_MS=$ELAPSED_MS

begin apply-to-another-subnet
apply $SERIAL 10.88.0.50 255.255.255.0 10.88.0.1
expect "boxes" "$BOXES" "SUCCESS!"
expect "unit's configuration" "$(records address) $(records netmask) $(records gateway)" \
    "10.88.0.50 255.255.255.0 10.88.0.1"
expect "arp and route" "$(cat "$dir/programs")" \
    "route ADD 10.88.0.50 MASK 255.255.255.255 0.0.0.0"$'\n'"arp -d 10.88.0.50"$'\n'"arp -s 10.88.0.50 $D"$'\n'"arp -d 10.88.0.50"$'\n'"route DELETE 10.88.0.50"
end

begin unit-answers-the-third-echo --answer-from 3
apply $SERIAL 10.77.0.51 255.255.255.0 10.77.0.1
expect "boxes" "$BOXES" "SUCCESS!"
expect "unit's answers" "$(records answer | paste -sd ' ')" "none none echo"
end

begin unit-answers-with-an-error-status --answer error
apply $SERIAL 10.77.0.52 255.255.255.0 10.77.0.1 debug
expect "boxes" "$BOXES" "FAILED!!!"
expect "unit's answers" "$(records answer | paste -sd ' ')" "error error error"
line="ping ip=10.77.0.52 netmask=255.255.255.0 gateway=10.77.0.1 returned Ping: Destination host unreachable"
expect "varnok.log" "$(tr -d '\r' <"$dir/varnok.log" 2>/dev/null)" "$line"$'\n'"$line"$'\n'"$line"
end

begin no-unit-with-that-mac
apply $NOBODY_SERIAL 10.88.0.60 255.255.255.0 10.88.0.1
expect "boxes" "$BOXES" "FAILED!!!"
expect "configurations received" "$(cat "$dir/unit.jsonl")" ""
expect "arp and route" "$(cat "$dir/programs" | cut -d' ' -f1-2 | paste -sd ' ')" \
    "route ADD arp -d arp -s arp -d route DELETE"
end
NO_UNIT_MS=$ELAPSED_MS

# Without the static entry the unit cannot be reached: it answers no ARP before it has an
# address. An "arp -s" that changes nothing must therefore fail the run.
begin without-the-static-arp-entry
IGNORE="arp -s"
apply $SERIAL 10.77.0.53 255.255.255.0 10.77.0.1
expect "boxes" "$BOXES" "FAILED!!!"
expect "configurations received" "$(cat "$dir/unit.jsonl")" ""
end

echo "figures: Apply to outcome box, unit answering at once: ${ON_SUBNET_MS:-?} ms;" \
    "no unit: ${NO_UNIT_MS:-?} ms"
if [ "$failures" -ne 0 ]; then
    echo "end to end: $failures scenario(s) failed"
    exit 1
fi
echo "end to end: all scenarios passed"
