# Varnok.exe from scripts on the rack, and what runs beside another Varnok: the command
# line's forms, an upload cut short, two batches that take turns with the PC's tables, a
# device taking an address while a run waits, "Stop" in the middle of a run, and finding
# units already addressed.

group scripts \
    command-line upload-closed-while-the-unit-writes two-command-lines-at-once \
    a-device-takes-an-address-mid-run stop-mid-run record-and-its-waiting-lines-held-open \
    find-units-on-the-segment client-folder-someone-else-filled update-list-of-a-cabinet
ui_only command-line upload-closed-while-the-unit-writes two-command-lines-at-once \
    a-device-takes-an-address-mid-run stop-mid-run record-and-its-waiting-lines-held-open \
    find-units-on-the-segment client-folder-someone-else-filled
# Find proposes the subnet of the adapter a unit was last addressed through.
requires find-units-on-the-segment two-command-lines-at-once

# Varnok.exe from a script: apply, apply-list (one unit absent), upload, and a command with
# a mistake. One line per unit on stdout; exit status 0, 1 or 2.
scenario_command_line() {
    rack_fresh || return
    # The window of an earlier scenario may still be ending.
    [ ${#VARNOK_PIDS[@]} -gt 0 ] && wait "${VARNOK_PIDS[@]}" 2>/dev/null
    rack_on 0
    rack_on 1
    cli apply apply 1000 10.77.0.140 255.255.255.0 10.77.0.1
    figure cli-apply-ms "$CLI_MS"
    expect "apply: output" "$OUTPUT" "1000 $(mac_of 1000) 10.77.0.140 SUCCESS"
    expect "apply: exit status" "$STATUS" 0
    # The second unit's serial 1019 is switched off; "debug" at the end turns the log on.
    printf '%s\n' 1001,10.77.0.141,255.255.255.0,10.77.0.1 1019,10.77.0.142,255.255.255.0,10.77.0.1 \
        >"$dir/two.csv"
    cli apply-list apply-list two.csv debug
    expect "apply-list: first line" "$(sed -n 1p <<<"$OUTPUT")" \
        "1001 $(mac_of 1001) 10.77.0.141 SUCCESS"
    local second
    second=$(sed -n 2p <<<"$OUTPUT")
    [[ $second =~ ^"1019 $(mac_of 1019) 10.77.0.142 FAILED ". ]] ||
        expect "apply-list: second line" "$second" "1019 $(mac_of 1019) 10.77.0.142 FAILED <reason>"
    expect "apply-list: lines" "$(wc -l <<<"$OUTPUT")" 2
    expect "apply-list: exit status" "$STATUS" 1
    [ -s "$dir/varnok.log" ] || expect "varnok.log with \"debug\" last" "missing" "written"
    # The unit that took 10.77.0.140 answers like any host now: web pages by TFTP, the
    # fixed wait of 15 s included.
    web_pages_on_rack_unit_0
    cli upload upload 10.77.0.140 "$IMAGE"
    figure cli-upload-ms "$CLI_MS"
    expect "upload: output" "$OUTPUT" "10.77.0.140 $IMAGE SUCCESS"
    expect "upload: exit status" "$STATUS" 0
    cmp -s "$dir/my files/pages.ROM" "$dir/tftp/pages.ROM" || expect "web pages received" "differs" "same"
    [ "$CLI_MS" -ge 15000 ] || expect "upload's time with the fixed wait (ms)" "$CLI_MS" ">= 15000"
    cli mistaken apply 1234
    expect "a command with a mistake: exit status" "$STATUS" 2
    grep -q apply-list "$dir/mistaken.out" "$dir/mistaken.err" ||
        expect "a command with a mistake: usage text" "$(cat "$dir/mistaken.out" "$dir/mistaken.err")" \
            "a usage text naming apply, apply-list and upload"
    expect "the record of the assignments" "$(record_applies)" \
        "1000 $(mac_of 1000) 10.77.0.140 255.255.255.0 10.77.0.1 SUCCESS"$'\n'"1001 $(mac_of 1001) 10.77.0.141 255.255.255.0 10.77.0.1 SUCCESS"$'\n'"1019 $(mac_of 1019) 10.77.0.142 255.255.255.0 10.77.0.1 FAILED"
    expect "the record of the upload: address, outcome, reason, file, size, SHA-256" \
        "$(record_uploads)" \
        "10.77.0.140 SUCCESS  pages.ROM 100000 $(sha256sum "$dir/my files/pages.ROM" | cut -d' ' -f1)"
    check_record_form
}

# ProgramData\Varnok made beforehand by someone else, holding a manifest for tftp.exe and a
# DLL it could name: the upload works, from a folder of Varnok's own beside it holding the
# client alone, and the other folder stays exactly as it was.
scenario_client_folder_someone_else_filled() {
    rack_fresh || return
    rack_on 0
    cli apply apply 1000 10.77.0.140 255.255.255.0 10.77.0.1
    expect "apply: exit status" "$STATUS" 0
    local data=$prefix/drive_c/ProgramData
    rm -rf "$data"/Varnok*
    mkdir -p "$data/Varnok"
    printf '<assembly/>\n' >"$data/Varnok/tftp.exe.manifest"
    printf 'MZ' >"$data/Varnok/version.dll"
    web_pages_on_rack_unit_0
    cli upload upload 10.77.0.140 "$IMAGE"
    expect "upload: output" "$OUTPUT" "10.77.0.140 $IMAGE SUCCESS"
    cmp -s "$dir/my files/pages.ROM" "$dir/tftp/pages.ROM" || expect "web pages received" "differs" "same"
    expect "the other folder" "$(ls -A "$data/Varnok" | paste -sd ' ')" "tftp.exe.manifest version.dll"
    local own=("$data"/Varnok.*)
    expect "folders of Varnok's own" "${#own[@]}" 1
    expect "what Varnok's own holds" "$(ls -A "${own[0]}" | paste -sd ' ')" "tftp.exe"
}

# A cabinet brought to one release from a script: the firmware, then the web pages, to every
# unit side by side. One unit's server refuses the firmware: it is sent no web pages, and
# says why; one unit is switched off and fails with its reason. The others hold both images
# byte for byte, the web pages sent only after the firmware's 30 s.
scenario_update_list_of_a_cabinet() {
    rack_fresh || return
    local k address present=(20 21 22 23 24 25 26) refusing=25 absent=27 lines=()
    random_file 1048576 "$dir/firmware.bin"
    random_file 200000 "$dir/web.ROM"
    : >"$dir/cabinet.csv"
    for k in "${present[@]}" $absent; do
        address=10.77.0.$((100 + k))
        list_line $((1000 + k)) "$address" >>"$dir/cabinet.csv"
        [ "$k" = "$absent" ] && continue
        rack_on "$k" --holds "$address/24"
        mkdir -p "$dir/unit$k" && chmod 777 "$dir/unit$k"
        seg_rack_tftpd_start "$k" "$dir/unit$k" "$address" "$([ "$k" = $refusing ] && echo refusing)" ||
            expect "TFTP server in rack unit $k" "not started" "started"
    done
    cli update update-list cabinet.csv firmware.bin web.ROM
    figure cli-update-list-ms "$CLI_MS"
    expect "exit status" "$STATUS" 1
    for k in "${present[@]}"; do
        [ "$k" = $refusing ] && continue
        lines+=("10.77.0.$((100 + k)) firmware.bin SUCCESS" "10.77.0.$((100 + k)) web.ROM SUCCESS")
        expect_received "$k" firmware.bin web.ROM
        expect_sent_after "$k" firmware.bin web.ROM 30
    done
    for k in $refusing $absent; do
        lines+=("10.77.0.$((100 + k)) firmware.bin FAILED <reason>"
            "10.77.0.$((100 + k)) web.ROM FAILED Not sent: the firmware update failed.")
    done
    expect "lines" "$(sed 's/\(firmware.bin FAILED\) .*/\1 <reason>/' <<<"$OUTPUT" | sort)" \
        "$(printf '%s\n' "${lines[@]}" | sort)"
    expect "the absent unit's reason" "$(grep -c "^10.77.0.127 firmware.bin FAILED The unit did not answer" <<<"$OUTPUT")" 1
    expect "what the refusing unit's server holds" "$(ls -A "$dir/unit$refusing")" ""
    expect "record lines: one per image and unit" "$(record_uploads | wc -l)" 16
    expect "record lines of images taken, with their size and SHA-256" \
        "$(record_uploads | awk '$2 == "SUCCESS" { print $(NF - 2), $(NF - 1), $NF }' | sort | uniq -c |
            awk '{ print $1, $2, $3, $4 }')" \
        "$(printf '6 firmware.bin 1048576 %s\n6 web.ROM 200000 %s' "$(sha256sum "$dir/firmware.bin" | cut -d' ' -f1)" \
            "$(sha256sum "$dir/web.ROM" | cut -d' ' -f1)")"
    check_record_form
}

# Web pages in "my files" for rack unit 0, which holds 10.77.0.140, and a TFTP server
# there to take them; IMAGE names them as Varnok is given them.
web_pages_on_rack_unit_0() {
    upload_folder
    mkdir -p "$dir/my files"
    random_file 100000 "$dir/my files/pages.ROM"
    seg_tftpd_start "$dir/tftp" 10.77.0.140 "${SEG_RACK[0]}" ||
        expect "TFTP server in rack unit 0" "not started" "started"
    IMAGE="$(windows_path "$dir/my files/pages.ROM")"
}

# Closed while the unit writes the image (its fixed wait of 15 s under way): the window
# ends at once, and the record says the upload was cut short, not that it succeeded. The
# unit was addressed before: it is given the same address again.
scenario_upload_closed_while_the_unit_writes() {
    rack_fresh || return
    rack_on 0 --holds 10.77.0.140/24
    web_pages_on_rack_unit_0
    varnok -- serial=1000 address=10.77.0.140 netmask=255.255.255.0 gateway=10.77.0.1 apply \
        box=30 tab=1 web-path="$IMAGE" update-web sleep=5000
    expect "boxes" "$(boxes_shown)" "SUCCESS!"
    expect "the upload's record line: address, outcome, reason" \
        "$(record_uploads | tail -1 | sed 's/ pages\.ROM .*//')" \
        "10.77.0.140 FAILED Interrupted before the unit had written the image."
}

# Two command lines at once, three units each. Every Varnok holds the lock on the PC's
# tables for its whole batch, so the two batches take turns: no entry of one is made while
# the other's units are in flight.
scenario_two_command_lines_at_once() {
    rack_fresh || return
    local k first first_status second_status
    want_none
    : >"$dir/a.csv"
    : >"$dir/b.csv"
    for k in 2 3 4 5 6 7; do
        echo "$((1000 + k)),10.77.0.$((150 + k)),255.255.255.0,10.77.0.1" \
            >>"$dir/$([ $k -lt 5 ] && echo a || echo b).csv"
        want_unit $((1000 + k)) 10.77.0.$((150 + k)) succeeded
    done
    cabinet_on 2 3 4 5 6 7
    in_pc timeout 150 wine "$program" apply-list a.csv >"$dir/a.out" 2>"$dir/a.err" &
    first=$!
    in_pc timeout 150 wine "$program" apply-list b.csv >"$dir/b.out" 2>"$dir/b.err"
    second_status=$?
    wait "$first"
    first_status=$?
    expect "exit statuses" "$first_status $second_status" "0 0"
    expect "lines" "$(cat "$dir/a.out" "$dir/b.out" | tr -d '\r' | awk '{print $1, $4}' | sort)" \
        "$(printf '%s SUCCESS\n' 1002 1003 1004 1005 1006 1007)"
    expect_units_held 2 3 4 5 6 7
    # The batch of each arp.exe run in order: "a" for 10.77.0.152-154, "b" for the rest.
    expect "the batches' arp.exe runs, in order, each batch's together" \
        "$(awk '$1 == "arp" { split($3, octet, "."); print (octet[4] < 155) ? "a" : "b" }' "$dir/programs" |
            uniq | paste -sd ' ' | sed 's/^b a$/a b/')" "a b"
}

# Another device takes a unit's address while the run is under way: here while the run
# waits for another Varnok's batch (a script addressing an absent unit). Only that unit
# fails, with the in-use text; the others take theirs.
scenario_a_device_takes_an_address_mid_run() {
    rack_fresh || return
    printf '%s\n' 1010,10.77.0.210,255.255.255.0,10.77.0.1 >"$dir/absent.csv"
    : >"$dir/units.csv"
    local k script
    for k in 0 1 2 3; do
        echo "$((1000 + k)),10.77.0.$((220 + k)),255.255.255.0,10.77.0.1" >>"$dir/units.csv"
    done
    list_page_with "$dir/units.csv"
    cabinet_on 0 1 2 3
    in_pc timeout 150 wine "$program" apply-list absent.csv >"$dir/absent.out" 2>&1 &
    script=$!
    for _ in $(seq 100); do grep -q '^arp -s 10.77.0.210' "$dir/programs" && break; sleep 0.1; done
    drive click=$IDC_LIST_APPLY_ALL sleep=1000 read=$IDC_LIST_COUNTS
    seg_other_device_start 10.77.0.222 02:00:5e:10:00:99 ||
        expect "another device" "not started" "holding 10.77.0.222"
    drive box=60 no-box=2
    wait "$script"
    window_close
    [[ $(texts_read $IDC_LIST_COUNTS) == *"waits for another Varnok"* ]] ||
        expect "the run waiting for the tables, shown" "$(texts_read $IDC_LIST_COUNTS)" \
            "... waits for another Varnok"
    expect "boxes" "$(boxes_shown)" "3 of 4 units took their address"
    expect "the units" "$(list_states)" "$(printf '%s\n' \
        "1000 10.77.0.220 255.255.255.0 10.77.0.1 succeeded" \
        "1001 10.77.0.221 255.255.255.0 10.77.0.1 succeeded" \
        "1002 10.77.0.222 255.255.255.0 10.77.0.1 failed" \
        "1003 10.77.0.223 255.255.255.0 10.77.0.1 succeeded")"
    expect "the failure's reason" "$(csv_rows "$kept/units.csv" | awk -F'|' '$1 == 1002 {print $7}')" \
        "The address 10.77.0.222 is already in use by the device with MAC 02-00-5e-10-00-99."
    expect "unit 1002 left alone" "$(held_and_answers 2)" " "
    expect "no entry for the device's address" "$(grep -c '^arp -s 10.77.0.222' "$dir/programs")" 0
    seg_other_device_stop
}

# "Stop" a few seconds into a run of units that never answer: every one of them skips its
# remaining echoes and cleans up; the PC's tables are as before.
scenario_stop_mid_run() {
    rack_fresh || return
    local k
    : >"$dir/units.csv"
    for k in $(seq 0 11); do
        echo "$((1000 + k)),10.77.0.$((230 + k)),255.255.255.0,10.77.0.1" >>"$dir/units.csv"
    done
    list_page_with "$dir/units.csv"
    cabinet_on $(seq 0 11) -- --answer never
    drive click=$IDC_LIST_APPLY_ALL sleep=3000 click=$IDC_LIST_STOP box=10
    window_close
    expect "boxes" "$(boxes_shown)" "0 of 12 units took their address"
    figure stop-ms "$(boxes_after_ms | tail -1)"
    expect "configuration echoes each unit received" \
        "$(for k in $(seq 0 11); do records answer "$dir/unit$k.jsonl" | paste -sd ' '; done |
            sort | uniq -c | awk '{$1 = $1; print}')" "12 none"
    expect "the units" "$(list_states | awk '{print $5}' | sort | uniq -c | awk '{$1 = $1; print}')" \
        "12 failed"
}

# The record and its waiting lines both held open by a spreadsheet while four units are
# addressed (a line of an earlier run waits already): no line passes the one that waits,
# and the technician is shown the line that could not be kept. Let go, the next unit's
# run adds every line to the record in the order they were made. Then, with the record
# held again, "Export record..." still holds every line, the waiting one included.
scenario_record_and_its_waiting_lines_held_open() {
    rack_fresh || return
    local earlier="2026-12-09T08:00:00+01:00,999,x,10.77.0.9,255.255.255.0,10.77.0.1,,SUCCESS,,1.000,,,"
    printf '%s\r\n' "$RECORD_HEADER" >"$kept/record.csv"
    printf '%s\r\n' "$earlier" >"$kept/record.pending.csv"
    : >"$dir/units.csv"
    local k
    for k in 0 1 2 3 4; do
        echo "$((1000 + k)),10.77.0.$((200 + k)),255.255.255.0,10.77.0.1" >>"$dir/units.csv"
    done
    cabinet_on 0 1 2 3
    list_page_with "$dir/units.csv"
    HOLDERS=()
    hold_open record.csv one
    hold_open record.pending.csv two
    drive click=$IDC_LIST_APPLY_ALL box=90 box=10
    touch "$dir/let go one" "$dir/let go two"
    wait "${HOLDERS[@]}" 2>/dev/null
    expect "the record while held" "$(record_applies | wc -l)" 0
    # The box's text goes on over its lines: the line itself follows "It reads:".
    [[ $(tr -d '\r' <"$dir/out" | grep -A1 'cannot be kept yet.*It reads:$' | tail -1) == \
        *",100"[0-3]","* ]] ||
        expect "the line kept nowhere, shown whole" "$(tr -d '\r' <"$dir/out" | grep -A1 'It reads:')" \
            "... cannot be kept yet ... It reads: | <the line of the first unit done>"
    rack_on 4
    drive click=$IDC_LIST_APPLY_AGAIN box=30
    expect "the record's lines in the order they were made" \
        "$(csv_rows "$kept/record.csv" | sed 1d | cut -d'|' -f2 | sed -n '1p;$p' | paste -sd ' ')" \
        "999 1004"
    expect "lines in the record" "$(csv_rows "$kept/record.csv" | sed 1d | wc -l)" 7
    [ -e "$kept/record.pending.csv" ] && expect "lines waiting at the end" "some" "none"
    # A script's line waits beside the record held again; the export holds it too.
    hold_open record.csv three
    cli again apply 1000 10.77.0.200 255.255.255.0 10.77.0.1
    file_dialog "$IDC_LIST_EXPORT" 'Export record' "$dir/export.csv"
    touch "$dir/let go three"
    wait "${HOLDERS[@]}" 2>/dev/null
    window_close
    # The waiting line followed into the record as the window closed: the export held the
    # record as it now stands.
    expect "the export: every line, the waiting one last" \
        "$(csv_rows "$dir/export.csv" | cut -d'|' -f2 | paste -sd ' ')" \
        "$(csv_rows "$kept/record.csv" | cut -d'|' -f2 | paste -sd ' ')"
    expect "the waiting line, last" "$(csv_rows "$kept/record.csv" | tail -1 | cut -d'|' -f2)" 1000
}

# A spreadsheet holding one of Varnok's files open until "let go NAME" appears in the
# scenario's folder; its process id joins HOLDERS.
hold_open() { # FILE NAME
    in_pc timeout 150 wine "$bin/file_holder.exe" "$(windows_path "$kept/$1")" \
        "$(windows_path "$dir/let go $2")" >"$dir/holder-$2.out" 2>>"$dir/err" &
    HOLDERS+=($!)
    for _ in $(seq 100); do grep -q held "$dir/holder-$2.out" 2>/dev/null && break; sleep 0.1; done
    expect "$1 held open" "$(tr -d '\r' <"$dir/holder-$2.out")" "held"
}

# Units someone addressed before, and a laptop, on the /24: "Find" lists every unit (its
# address, MAC and serials) and not the laptop; a typed range of 41 addresses only the
# units inside it; the command line the same, and nothing on the Wi-Fi's subnet.
scenario_find_units_on_the_segment() {
    rack_fresh || return
    # 20 neighbouring serials, and four whose MACs name other groups.
    local serials=($(seq 1000 1019) 2096 5000 99999 1234)
    local pairs=() want_found='' want_range='' k serial address named
    for ((k = 0; k < 24; k++)); do
        serial=${serials[k]} address=10.77.0.$((10 + 9 * k))
        pairs+=("$k=$(mac_of "$serial")@$address/24")
        case $serial in
        2096) named=2096-2111,63536-63791 ;;
        5000) named=4992-5007 ;;
        99999) named=4368-4383,99888-99999 ;;
        *) named=$serial,$(((serial + 2000) * 16 - 2000))-$(((serial + 2000) * 16 - 1985)) ;;
        esac
        want_found+="$(mac_of "$serial") $address $named"$'\n'
        [ $((10 + 9 * k)) -ge 60 ] && [ $((10 + 9 * k)) -le 100 ] &&
            want_range+="$(mac_of "$serial") $address $named"$'\n'
    done
    seg_rack_units_start "$dir/unit%d.jsonl" "${pairs[@]}" || expect "units" "not switched on" "on"
    seg_other_device_start 10.77.0.222 02:00:5e:10:00:99 ||
        expect "a laptop" "not started" "holding 10.77.0.222"
    window_open
    drive tab=3 read=$IDC_FIND_FROM read=$IDC_FIND_TO click=$IDC_FIND_START \
        until=$IDC_FIND_COUNTS:"units found on"
    picture find-page-with-units 'Varnok 2\.6'
    figure find-ms "$(sed -n 's/^until-after-ms: //p' "$dir/out" | tr -d '\r' | tail -1)"
    RESPONSE_MS=$(slowest_answer_ms)
    figure find-window-ms "$RESPONSE_MS"
    expect "the range proposed: the subnet of the adapter last used for a unit" \
        "$(texts_read "$IDC_FIND_FROM"; texts_read "$IDC_FIND_TO")" "10.77.0.0"$'\n'"10.77.0.255"
    expect_responsive
    file_dialog $IDC_FIND_EXPORT 'Export units found' "$dir/found.csv"
    expect "the units found, exported" "$(found_rows "$dir/found.csv")" "${want_found%$'\n'}"
    drive ip=$IDC_FIND_FROM:10.77.0.60 ip=$IDC_FIND_TO:10.77.0.100 click=$IDC_FIND_START \
        until=$IDC_FIND_COUNTS:"units found on 10.77.0.60"
    file_dialog $IDC_FIND_EXPORT 'Export units found' "$dir/range.csv"
    window_close
    expect "a range of 41 addresses: only its units" "$(found_rows "$dir/range.csv")" \
        "${want_range%$'\n'}"
    expect "the form of the list" "$(head -1 "$dir/found.csv" | tr -d '\r')" \
        "serials,mac,address,adapter,seen"
    # The command line: the adapter last used, a range, and a subnet with no unit.
    cli find find
    figure find-cli-ms "$CLI_MS"
    expect "find: exit status, lines" "$STATUS $OUTPUT" "0 ${want_found%$'\n'}"
    cli range find 10.77.0.60 10.77.0.100
    expect "find FROM TO: exit status, lines, errors" "$STATUS $OUTPUT$(cat "$dir/range.err")" \
        "0 ${want_range%$'\n'}"
    cli none find "$SEG_WIFI_ADDRESS"
    expect "find on a subnet without units: exit status, lines, errors" \
        "$STATUS $OUTPUT$(cat "$dir/none.err")" "1 "
    seg_other_device_stop
    seg_rack_units_stop
}
# "MAC ADDRESS SERIALS" of each row of an exported list, the adapter checked.
found_rows() { # FILE
    csv_rows "$1" | awk -F'|' 'NR > 1 { print $2, $3, $1 (($4 == "pc0 (10.77.0.1)") ? "" : " via " $4) }'
}
