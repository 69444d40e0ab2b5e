# The list page on a rack of units behind a switch: a list imported through the real
# "Import units" dialog and applied side by side, a cabinet in one power cycle (and the
# same list from a script), units absent or late, and "Stop"; a cabinet's images from the
# page, stopped and in one pass from power-on. Like a real unit, each rack unit takes a
# configuration only within 60 s of its power-on.

group list \
    list-of-twenty-all-answering cabinet-of-48-in-one-power-cycle \
    list-with-an-absent-and-a-late-unit fill-with-a-slip-in-the-netmask \
    update-all-stopped cabinet-in-one-pass update-all-of-24 update-list-of-24
bench_only update-all-of-24 update-list-of-24
ui_only list-of-twenty-all-answering cabinet-of-48-in-one-power-cycle \
    list-with-an-absent-and-a-late-unit fill-with-a-slip-in-the-netmask update-all-stopped \
    cabinet-in-one-pass update-all-of-24

# Twenty units on the bench, imported from a spreadsheet's CSV (a header, CRLF line ends)
# through the real Open dialog; "Apply all" gives each its own address.
scenario_list_of_twenty_all_answering() {
    rack_fresh || return
    printf 'serial,ip,netmask,gateway\r\n' >"$dir/units.csv"
    want_none
    local k
    for ((k = 0; k < 20; k++)); do
        list_line $((1000 + k)) 10.77.0.$((100 + k)) >>"$dir/units.csv"
        want_unit $((1000 + k)) 10.77.0.$((100 + k)) succeeded
    done
    cabinet_on $(seq 0 19)
    list_page_with "$dir/units.csv"
    # Exactly one box, at the end.
    drive click=$IDC_LIST_APPLY_ALL box=60 no-box=2
    window_close
    expect "boxes" "$(boxes_shown)" "20 of 20 units took their address"
    expect_window_answered
    expect_units_held $(seq 0 19)
    expect_kept_as_wanted
    figure list-of-20-ms "$(boxes_after_ms | head -1)"
    figure list-of-20-window-ms "$RESPONSE_MS"
}

# A cabinet of 48 switched on once, 8 of its units not cabled (three of them in the first
# rows). Every unit takes its address only within 60 s of the power-on: one "Apply all"
# must address all 40 that are there, the absent ones' waits run beside theirs. Then the
# same list from a script, after the next power cycle.
scenario_cabinet_of_48_in_one_power_cycle() {
    rack_fresh || return
    local absent=" 0 1 2 13 21 30 38 47 " present=() k
    printf 'serial,ip,netmask,gateway\r\n' >"$dir/units.csv"
    want_none
    for ((k = 0; k < RACK; k++)); do
        list_line $((1000 + k)) 10.77.0.$((160 + k)) >>"$dir/units.csv"
        if [[ $absent == *" $k "* ]]; then
            want_unit $((1000 + k)) 10.77.0.$((160 + k)) failed
        else
            want_unit $((1000 + k)) 10.77.0.$((160 + k)) succeeded
            present+=("$k")
        fi
    done
    list_page_with "$dir/units.csv"
    cabinet_on "${present[@]}"
    drive click=$IDC_LIST_APPLY_ALL box=90 no-box=2
    window_close
    expect "boxes" "$(boxes_shown)" "40 of 48 units took their address"
    expect_window_answered
    expect_units_held $(seq 0 $((RACK - 1)))
    expect_kept_as_wanted
    figure cabinet-ms "$(boxes_after_ms | head -1)"
    figure cabinet-window-ms "$RESPONSE_MS"
    # The next power cycle, and the same list from a script: one line per unit as each
    # finishes, exit status 1 for the units that failed.
    seg_rack_units_stop
    rm -f "$kept/record.csv" "$kept/record.pending.csv"
    cabinet_on "${present[@]}"
    cli apply-list apply-list units.csv
    figure cabinet-apply-list-ms "$CLI_MS"
    expect "apply-list: exit status" "$STATUS" 1
    expect "apply-list: one line per unit (serial, MAC, address, outcome)" \
        "$(awk '{print $1, $2, $3, $4}' <<<"$OUTPUT" | sort)" "$(sort <<<"${WANT_LINES%$'\n'}")"
    grep ' FAILED' <<<"$OUTPUT" | grep -vq ' FAILED .' &&
        expect "apply-list: failures" "one without its reason" "each with its reason"
    expect_units_held $(seq 0 $((RACK - 1)))
    expect "the record, from the script" "$(record_applies | sort)" \
        "$(sort <<<"${WANT_RECORD%$'\n'}")"
}

# Eleven rows (no header, LF): one unit answers only the third echo and still takes its
# address; one is switched off during "Apply all" and on before "Apply again", which runs
# only that row. A spreadsheet holds the record open during "Apply all": its lines wait,
# and follow, in order, with the next one.
scenario_list_with_an_absent_and_a_late_unit() {
    rack_fresh || return
    printf '%s\r\n' "$RECORD_HEADER" >"$kept/record.csv"
    local late=3 absent=7 k want_final=''
    : >"$dir/units.csv"
    want_none
    for ((k = 0; k <= 10; k++)); do
        echo "$((1000 + k)),10.77.0.$((120 + k)),255.255.255.0,10.77.0.1" >>"$dir/units.csv"
        want_final+="$((1000 + k)) 10.77.0.$((120 + k)) 255.255.255.0 10.77.0.1 succeeded"$'\n'
        case $k in
        "$late") rack_on $k --answer-from 3 && want_unit $((1000 + k)) 10.77.0.$((120 + k)) \
            succeeded "none none echo" ;;
        "$absent") want_unit $((1000 + k)) 10.77.0.$((120 + k)) failed ;;
        *) rack_on $k && want_unit $((1000 + k)) 10.77.0.$((120 + k)) succeeded ;;
        esac
    done
    list_page_with "$dir/units.csv"
    in_pc timeout 150 wine "$bin/file_holder.exe" "$(windows_path "$kept/record.csv")" \
        "$(windows_path "$dir/spreadsheet closed")" >"$dir/holder.out" 2>>"$dir/err" &
    local holder=$!
    for _ in $(seq 100); do grep -q held "$dir/holder.out" 2>/dev/null && break; sleep 0.1; done
    expect "record held open" "$(tr -d '\r' <"$dir/holder.out")" "held"
    drive click=$IDC_LIST_APPLY_ALL box=90 box=10
    picture list-page-after-a-run 'Varnok 2\.6'
    touch "$dir/spreadsheet closed"
    wait "$holder" 2>/dev/null
    # Kept as it changes, not only when the window closes.
    expect "the list kept after Apply all" "$(list_states)" "${WANT_LIST%$'\n'}"
    [ -s "$kept/record.pending.csv" ] || expect "lines waiting beside the record" "none" "some"
    rack_on $absent
    drive click=$IDC_LIST_APPLY_AGAIN box=30 no-box=2
    window_close
    expect "boxes" "$(boxes_shown | sed 2d)" \
        "10 of 11 units took their address"$'\n'"1 of 1 units took their address"
    [[ $(boxes_shown | sed -n 2p) == "The commissioning record "*"cannot be written"*"wait in "* ]] ||
        expect "the record held open, told" "$(boxes_shown | sed -n 2p)" "... cannot be written ... wait in ..."
    [ -e "$kept/record.pending.csv" ] && expect "lines waiting at the end" "some" "none"
    # After "Apply again" the absent unit holds its address too.
    WANT_HELD=$(sed "$((absent + 1))s|.*|10.77.0.$((120 + absent))/24 echo|" <<<"$WANT_HELD")
    expect_units_held $(seq 0 10)
    expect "the list kept at the end" "$(list_states)" "${want_final%$'\n'}"
    # The units of one run finish in any order; "Apply again" comes after them all.
    expect "the record" "$(record_applies | head -n -1 | sort)" "$(sort <<<"${WANT_RECORD%$'\n'}")"
    expect "the record's last line" "$(record_applies | tail -1)" \
        "$((1000 + absent)) $(mac_of $((1000 + absent))) 10.77.0.$((120 + absent)) 255.255.255.0 10.77.0.1 SUCCESS"
    check_record_form
}

# "Fill…" with a slip in the netmask, as a technician at a cabinet makes it: the box names
# the netmask, and once it is dismissed the dialog is still there with everything as
# typed, the netmask's first field focused and selected; typed over there with real keys,
# OK: the list holds the units.
scenario_fill_with_a_slip_in_the_netmask() {
    rm -f "$kept/units.csv"
    window_open
    local fields="read=$IDC_FILL_SERIAL read=$IDC_FILL_ADDRESS read=$IDC_FILL_COUNT"
    fields+=" read=$IDC_FILL_NETMASK read=$IDC_FILL_GATEWAY"
    drive tab=2 click=$IDC_LIST_FILL dialog='Fill the list' text=$IDC_FILL_SERIAL:1000 \
        ip=$IDC_FILL_ADDRESS:10.77.0.10 text=$IDC_FILL_COUNT:5 ip=$IDC_FILL_NETMASK:255.0.255.0 \
        ip=$IDC_FILL_GATEWAY:10.77.0.1 click=1 check=10 focus=$IDC_FILL_NETMASK $fields
    expect "the box" "$(sed -n 's/^check: //p' "$dir/out" | tr -d '\r')" \
        "Netmask: The new netmask must be ones followed by zeros, such as 255.255.255.0."
    expect "the netmask's field" "$(sed -n "s/^focus $IDC_FILL_NETMASK: //p" "$dir/out" | tr -d '\r')" \
        "all selected"
    expect "the dialog, still open, as typed" "$(for id in $IDC_FILL_SERIAL $IDC_FILL_ADDRESS \
        $IDC_FILL_COUNT $IDC_FILL_NETMASK $IDC_FILL_GATEWAY; do texts_read "$id"; done | paste -sd ' ')" \
        "1000 10.77.0.10 5 255.0.255.0 10.77.0.1"
    # Typed over from the focused field on, with real keys: each full octet moves on to
    # the next field, where Delete clears what is there (all of it where the move selects
    # it, as on Windows; one digit a press where it does not, as under Wine).
    local window clear='Delete Delete Delete'
    window=$(dialog_shown 'Fill the list')
    [ -n "$window" ] && xdotool windowfocus --sync "$window" 2>/dev/null
    sleep 0.5
    xdotool key --delay 60 2 5 5 $clear 2 5 5 $clear 2 5 5 $clear 0
    : >"$dir/out"
    drive dialog='Fill the list' read=$IDC_FILL_NETMASK click=1 main no-box=2
    expect "the netmask typed over" "$(texts_read $IDC_FILL_NETMASK)" "255.255.255.0"
    window_close
    expect "the list kept" "$(list_states)" "$(for k in 0 1 2 3 4; do
        echo "$((1000 + k)) 10.77.0.$((10 + k)) 255.255.255.0 10.77.0.1 waiting"; done)"
}

# "Update all" on the list page, stopped four seconds in: two units' servers answer (their
# firmware sent, the units writing it), two never do (their clients still sending). Stop
# ends every client at once; each firmware is recorded as interrupted, each unit's web
# pages as not sent, and no unit counts as updated.
scenario_update_all_stopped() {
    rack_fresh || return
    local k address silent=(32 33)
    random_file 1048576 "$dir/firmware.bin"
    random_file 200000 "$dir/web.ROM"
    : >"$dir/units.csv"
    for k in 30 31 32 33; do
        address=10.77.0.$((100 + k))
        list_line $((1000 + k)) "$address" >>"$dir/units.csv"
        rack_on "$k" --holds "$address/24"
        mkdir -p "$dir/unit$k" && chmod 777 "$dir/unit$k"
        seg_rack_tftpd_start "$k" "$dir/unit$k" "$address" ||
            expect "TFTP server in rack unit $k" "not started" "started"
    done
    # Those two servers hear the client and never answer.
    for k in "${silent[@]}"; do kill -STOP "${SEG_RACK_TFTPD_PIDS[k]}"; done
    list_page_with "$dir/units.csv"
    drive text=$IDC_LIST_FIRMWARE:"$(windows_path "$dir/firmware.bin")" \
        text=$IDC_LIST_WEB:"$(windows_path "$dir/web.ROM")" click=$IDC_LIST_UPDATE_ALL sleep=4000 \
        click=$IDC_LIST_STOP box=10
    expect "clients still running once the run stopped" "$(clients_running)" 0
    window_close
    for k in "${silent[@]}"; do kill -CONT "${SEG_RACK_TFTPD_PIDS[k]}"; done
    expect_window_answered
    expect "boxes" "$(boxes_shown)" "0 of 4 units took both images"
    expect "record lines: outcome and reason" "$(record_uploads | awk '{ $1 = ""; print }' |
        sed 's/^ //; s/ \(firmware.bin\|web.ROM\) .*//' | sort | uniq -c | awk '{ $1 = $1; print }')" \
        "2 FAILED Interrupted before the unit had written the image.
2 FAILED Interrupted while the image was being sent.
4 FAILED Not sent: the run was stopped."
}

# The TFTP clients this group's Wine runs (its prefix's).
clients_running() {
    local pid count=0
    for pid in $(pgrep -f 'tftp\.exe'); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" &&
            count=$((count + 1))
    done
    echo "$count"
}

# A cabinet in one pass from power-on: six units switched on together, "then update"
# ticked with both images chosen, one "Apply all". Each unit takes its address within its
# minute and goes on to its images at once; every server holds both images.
scenario_cabinet_in_one_pass() {
    rack_fresh || return
    local k
    want_none
    random_file 1048576 "$dir/firmware.bin"
    random_file 200000 "$dir/web.ROM"
    : >"$dir/units.csv"
    for k in $(seq 40 45); do
        list_line $((1000 + k)) 10.77.0.$((100 + k)) >>"$dir/units.csv"
        want_unit $((1000 + k)) 10.77.0.$((100 + k)) succeeded
    done
    cabinet_on $(seq 40 45)
    for k in $(seq 40 45); do
        # The unit's server answers at whatever address it will take.
        mkdir -p "$dir/unit$k" && chmod 777 "$dir/unit$k"
        seg_rack_tftpd_start "$k" "$dir/unit$k" 0.0.0.0 ||
            expect "TFTP server in rack unit $k" "not started" "started"
    done
    list_page_with "$dir/units.csv"
    drive text=$IDC_LIST_FIRMWARE:"$(windows_path "$dir/firmware.bin")" \
        text=$IDC_LIST_WEB:"$(windows_path "$dir/web.ROM")" click=$IDC_LIST_THEN_UPDATE \
        click=$IDC_LIST_APPLY_ALL box=150
    window_close
    expect "boxes" "$(boxes_shown)" "6 of 6 units took their address"
    # The summary's second line, below the first.
    expect "the images' summary" "$(grep -A1 '^box: ' "$dir/out" | sed -n 2p | tr -d '\r')" \
        "6 of 6 units took both images"
    expect_window_answered
    expect_within_their_minute $(seq 40 45)
    expect_kept_as_wanted
    for k in $(seq 40 45); do expect_received "$k" firmware.bin web.ROM; done
    expect "record lines of images" "$(record_uploads | awk '{ print $2 }' | sort | uniq -c |
        awk '{ $1 = $1; print }')" "12 SUCCESS"
}

# For tools/bench: a cabinet of 24 rows, 20 units holding their addresses (each its own
# TFTP server) and 4 switched off, a 4 MiB firmware and a 1 MiB web-page image; by "Update
# all", with the window's slowest answer meanwhile, and by update-list.
cabinet_of_24_with_images() {
    rack_fresh || return 1
    local k address
    random_file 4194304 "$dir/firmware.bin"
    random_file 1048576 "$dir/web.ROM"
    : >"$dir/cabinet.csv"
    for k in $(seq 0 23); do
        address=10.77.0.$((100 + k))
        list_line $((1000 + k)) "$address" >>"$dir/cabinet.csv"
        [ "$k" -ge 20 ] && continue
        rack_on "$k" --holds "$address/24"
        mkdir -p "$dir/unit$k" && chmod 777 "$dir/unit$k"
        seg_rack_tftpd_start "$k" "$dir/unit$k" "$address" ||
            expect "TFTP server in rack unit $k" "not started" "started"
    done
}
scenario_update_all_of_24() {
    cabinet_of_24_with_images || return
    list_page_with "$dir/cabinet.csv"
    drive text=$IDC_LIST_FIRMWARE:"$(windows_path "$dir/firmware.bin")" \
        text=$IDC_LIST_WEB:"$(windows_path "$dir/web.ROM")" click=$IDC_LIST_UPDATE_ALL box=150
    window_close
    expect "boxes" "$(boxes_shown)" "20 of 24 units took both images"
    expect_window_answered
    for k in $(seq 0 19); do expect_received "$k" firmware.bin web.ROM; done
    figure update-all-24-ms "$(boxes_after_ms | head -1)"
    figure update-all-24-window-ms "$RESPONSE_MS"
}
scenario_update_list_of_24() {
    cabinet_of_24_with_images || return
    cli update update-list cabinet.csv firmware.bin web.ROM
    expect "exit status" "$STATUS" 1
    expect "lines" "$(grep -c SUCCESS <<<"$OUTPUT") $(wc -l <<<"$OUTPUT")" "40 48"
    for k in $(seq 0 19); do expect_received "$k" firmware.bin web.ROM; done
    figure update-list-24-ms "$CLI_MS"
}
