#!/usr/bin/env bash
# The end-to-end scenarios: Varnok.exe under Wine commissioning simulated units on a
# virtual Ethernet segment (segment.sh), the PC's side in a network namespace of its own,
# arp.exe and route.exe replaced by stand-ins that change the namespace's real tables.
#   run.sh [OPTIONS] [NAME...]
# NAME is a scenario or a group of them (scenarios/*.sh; --list shows them). Without one,
# every group runs, the groups side by side, each on a segment, a Wine prefix and a
# virtual display of its own: the run takes about as long as its longest group. A
# scenario named alone runs after those it requires (what an earlier one leaves behind,
# such as the adapter chosen last).
# Options, by default the build trees tools/test makes:
#   --build DIR     the Windows build's tests/e2e (stand-ins, UI driver, apply_probe)
#   --unitsim FILE  the unit simulator, from the native build
#   --work DIR      where the files stay: WORK/GROUP/scenarios/NAME (what the unit
#                   recorded, what arp.exe and route.exe were asked, the program's output
#                   and log, timings); WORK/figures the figures of time (NAME MS SCENARIO)
#   --program EXE   Varnok.exe, each "Apply" clicked in its window
#   --probe         the assignment sequence called directly (apply_probe) instead of the
#                   window; only the scenarios of one unit run
#   --one-at-a-time the groups one after another (for figures of time: tools/bench)
#   --list          the groups and their scenarios, in order
# VARNOK_E2E_TFTP, when set, names tftp.exe, whose own 4 MiB transfer is timed;
# VARNOK_PICTURES, a folder, has the scenarios picture the program at work there.
# Needs root; otherwise it says so in one line and exits 77 (skipped).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
source "$repo/tools/lib.sh"
source "$here/segment.sh"
source "$here/harness.sh"

# --- the scenarios, by group ------------------------------------------------------------

GROUP_NAMES=()
declare -A GROUP_SCENARIOS GROUP_OF REQUIRES UI_ONLY BENCH_ONLY
group() { # NAME SCENARIO...: a group's scenarios, in the order they run
    local g=$1 s
    shift
    GROUP_NAMES+=("$g")
    GROUP_SCENARIOS[$g]="$*"
    for s in "$@"; do GROUP_OF[$s]=$g; done
}
requires() { REQUIRES[$1]="${REQUIRES[$1]:-} ${*:2}"; } # SCENARIO EARLIER...: of its group
ui_only() { local s; for s in "$@"; do UI_ONLY[$s]=1; done; } # SCENARIO...: through the window only
# SCENARIO...: figures for tools/bench, run only when named alone (never by a group or a whole run)
bench_only() { local s; for s in "$@"; do BENCH_ONLY[$s]=1; done; }
for file in "$here"/scenarios/*.sh; do source "$file"; done

# Adds NAME, after what it requires, to SELECTED (a scenario at most once).
declare -A SELECTED
select_scenario() {
    local r
    for r in ${REQUIRES[$1]:-}; do select_scenario "$r"; done
    SELECTED[$1]=1
}
# The selected scenarios of group G, in the group's order.
selected_of() {
    local s
    for s in ${GROUP_SCENARIOS[$1]}; do [ -n "${SELECTED[$s]:-}" ] && echo "$s"; done
}

build=$repo/build/windows/tests/e2e
SEG_UNITSIM=$repo/build/native/tests/e2e/unitsim
work=
program=$repo/build/windows/Varnok.exe
worker=
template=
one_at_a_time=
names=()
while [ $# -gt 0 ]; do
    case $1 in
    --build) build=$2 && shift ;;
    --unitsim) SEG_UNITSIM=$2 && shift ;;
    --work) work=$2 && shift ;;
    --program) program=$2 && shift ;;
    --probe) program= ;;
    --one-at-a-time) one_at_a_time=1 ;;
    --worker) worker=$2 && template=$3 && export DISPLAY=$4 && shift 3 ;; # GROUP TEMPLATE DISPLAY
    --list)
        for g in "${GROUP_NAMES[@]}"; do echo "$g: ${GROUP_SCENARIOS[$g]}"; done
        echo "for tools/bench only: ${!BENCH_ONLY[*]}"
        exit 0
        ;;
    -*) echo "run.sh: unknown option $1" >&2 && exit 2 ;;
    *) names+=("$1") ;;
    esac
    shift
done
for name in "${names[@]}"; do
    if [ -n "${GROUP_SCENARIOS[$name]:-}" ]; then
        for s in ${GROUP_SCENARIOS[$name]}; do
            if [ -z "${BENCH_ONLY[$s]:-}" ]; then select_scenario "$s"; fi
        done
    elif [ -n "${GROUP_OF[$name]:-}" ]; then
        select_scenario "$name"
    else
        echo "run.sh: no scenario or group named $name (run.sh --list)" >&2
        exit 2
    fi
done
if [ ${#names[@]} -eq 0 ]; then
    for s in "${!GROUP_OF[@]}"; do
        if [ -z "${BENCH_ONLY[$s]:-}" ]; then SELECTED[$s]=1; fi
    done
fi

bin=$(realpath "$build")
SEG_UNITSIM=$(realpath "$SEG_UNITSIM")
work=$(realpath -m "${work:-$bin/work}")
program=${program:+$(realpath "$program")}
client=${VARNOK_E2E_TFTP:-} # tftp.exe, for the client's own transfer time
front=${program:+ui}
front=${front:-probe}
load_control_ids

# --- one group, in this process ------------------------------------------------------------

run_group() { # GROUP: its selected scenarios on a PC of its own; the status its failures'
    local s
    failures=0
    VARNOK_PIDS=()
    trap pc_down EXIT
    trap 'exit 1' INT TERM
    pc_up "$work" "$template" || { echo "not ok - $1: the PC could not be set up"; return 1; }
    U=$(mac_of $SERIAL)
    D=${U//:/-}
    P=$SEG_PC_ADDRESS # every arp.exe run names the unit's adapter by this address
    for s in $(selected_of "$1"); do
        if [ "$front" != ui ] && [ -n "${UI_ONLY[$s]:-}" ]; then
            echo "ok - $s # SKIP through the window only"
            continue
        fi
        fresh "$s"
        "scenario_${s//-/_}"
        end
    done
    [ "$failures" -eq 0 ]
}

if [ -n "$worker" ]; then
    run_group "$worker"
    exit
fi

# --- every group selected, side by side --------------------------------------------------

if ! seg_can_run; then
    echo "SKIPPED: end-to-end scenarios need root to make network namespaces"
    exit 77
fi
for f in "$SEG_UNITSIM" "$bin/apply_probe.exe" "$bin/ui_driver.exe" "$bin/system32/arp.exe" \
    "$bin/system32/route.exe" ${program:+"$program"}; do
    [ -x "$f" ] || { echo "missing: $f (build both presets first)"; exit 1; }
done
command -v in.tftpd >/dev/null || { echo "missing: in.tftpd (tftpd-hpa)"; exit 1; }

groups=()
for g in "${GROUP_NAMES[@]}"; do
    [ -n "$(selected_of "$g")" ] && groups+=("$g")
done
trap stop_virtual_displays EXIT
declare -A display
for g in "${groups[@]}"; do
    new_virtual_display || exit 1
    display[$g]=$DISPLAY
done

# Every group's Wine prefix is a copy of one made once, with no server left running.
template=$work/wineprefix-template
if [ ! -f "$template/system.reg" ]; then
    rm -rf "$template"
    "$repo/tools/wineprefix" "$template" >/dev/null || { echo "could not make the Wine prefix"; exit 1; }
fi
WINEPREFIX=$template wineserver -k 2>/dev/null
WINEPREFIX=$template wineserver -w 2>/dev/null
front_options=(--probe)
[ -n "$program" ] && front_options=(--program "$program")

workers=()
trap 'kill "${workers[@]}" 2>/dev/null; stop_virtual_displays' EXIT
trap 'exit 1' INT TERM
rm -f "$work/figures"
started=$SECONDS
for g in "${groups[@]}"; do
    rm -rf "${work:?}/$g"
    mkdir -p "$work/$g"
    # Each line of a group's output carries its name: the groups' lines interleave.
    { "$0" --build "$bin" --unitsim "$SEG_UNITSIM" --work "$work/$g" "${front_options[@]}" \
        --worker "$g" "$template" "${display[$g]}" $(selected_of "$g")
      echo $? >"$work/$g/status"; } 2>&1 | tee "$work/$g/output" | sed -u "s/^/$g: /" &
    workers+=($!)
    [ -z "$one_at_a_time" ] || wait $!
done
wait "${workers[@]}"
status=0
for g in "${groups[@]}"; do
    [ "$(cat "$work/$g/status" 2>/dev/null)" = 0 ] || status=1
done
for g in "${groups[@]}"; do cat "$work/$g/figures" 2>/dev/null; done >"$work/figures"
echo "figures (ms): $(awk '{print $1 "=" $2}' "$work/figures" | paste -sd ' ')"
echo "end to end: ${#groups[@]} group(s)$([ -z "$one_at_a_time" ] && echo " side by side"), $((SECONDS - started)) s"
if [ "$status" -ne 0 ]; then
    grep -h '^not ok' "$work"/*/output
    echo "end to end: FAILED"
    exit 1
fi
echo "end to end: all scenarios passed"
