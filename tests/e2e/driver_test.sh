#!/usr/bin/env bash
# The UI driver against a window with Varnok's title and control ids (fake_window):
# every kind of step must reach the window, and the driver must fail loudly on a control
# that is not there. Runs in the Windows tests' prefix on the current display.
#   driver_test.sh E2E_BUILD_DIR
set -uo pipefail
bin=$(realpath "${1:?usage: driver_test.sh E2E_BUILD_DIR}")
status=0
out=$(mktemp)
# Output goes through a file, never a pipe: Wine's server and services, started by the
# first program, would hold a pipe open long after the program ended.

wine "$bin/fake_window.exe" &
window=$!
trap 'kill $window 2>/dev/null; rm -f "$out"' EXIT

check() { # WHAT EXPECTED-OUTPUT STEPS...
    local what=$1 expected=$2
    shift 2
    local output
    wine "$bin/ui_driver.exe" "$@" >"$out" 2>&1
    output=$(tr -d '\r' <"$out" | grep -v '^box-after-ms: \|^worst-response-ms: ')
    if [ "$output" != "$expected" ]; then
        printf 'FAILED: %s\n  got:      %s\n  expected: %s\n' "$what" "${output//$'\n'/ | }" \
            "${expected//$'\n'/ | }"
        status=1
    fi
}

check "address page" \
    "box: serial=1234 address=10.77.0.50 netmask=255.255.255.0 gateway=10.77.0.1" \
    serial=1234 address=10.77.0.50 netmask=255.255.255.0 gateway=10.77.0.1 apply box=20
check "update page, a path with blanks" \
    "text 1038: page 1"$'\n'"box: path=C:\\my files\\fw 1.bin" \
    tab=1 read=1038 "firmware-path=C:\\my files\\fw 1.bin" update-firmware box=20
check "back to the first page" "text 1038: page 0" tab=0 read=1038
check "a control that is not there" "ui_driver: no control 4242" click=4242
check "a script it does not understand" "ui_driver: not a step: tab=7" tab=7
check "a window that takes commands" "" ready
check "closing the window" "" close
wait "$window"
[ "$status" -eq 0 ] && echo "ui driver: all checks passed"
exit "$status"
