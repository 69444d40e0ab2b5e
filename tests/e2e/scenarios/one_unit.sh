# One unit on the wired link, addressed from the address page (or, without Varnok.exe,
# by the sequence called directly): what the technician was shown, what the unit received
# and took, what arp.exe and route.exe were asked to do, and what the PC's tables kept.

group one-unit \
    apply-on-the-pcs-subnet apply-to-another-subnet unit-answers-the-third-echo \
    unit-answers-with-an-error-status no-unit-with-that-mac without-the-static-arp-entry \
    without-the-host-route address-held-by-another-device unit-already-holds-the-address \
    route-exe-missing the-users-settings-choose-nothing-removed
# The adapter chosen there is the one offered first here.
requires no-unit-with-that-mac apply-to-another-subnet

scenario_apply_on_the_pcs_subnet() {
    unit_on
    apply $SERIAL 10.77.0.50 255.255.255.0 10.77.0.1
    figure apply-ms "$ELAPSED_MS"
    figure apply-window-ms "${RESPONSE_MS:-}"
    expect "boxes" "$BOXES" "SUCCESS!"
    expect "unit's answers" "$(records answer)" "echo"
    expect "unit's address" "$(records address)" "10.77.0.50"
    expect "unit's netmask" "$(records netmask)" "255.255.255.0"
    expect "unit's gateway" "$(records gateway)" "10.77.0.1"
    # The Wi-Fi comes first and holds the default route: still no host route, and the
    # entry on the wired link.
    expect "arp and route" "$(cat "$dir/programs")" \
        "arp -d 10.77.0.50 $P"$'\n'"arp -s 10.77.0.50 $D $P"$'\n'"arp -d 10.77.0.50 $P"
    expect "unit's interface" "$(ip -n "$SEG_UNIT" -4 -o addr show dev "$SEG_UNIT_IF" |
        awk '{print $4}')" "10.77.0.50/24"
    expect "unit's default route" "$(ip -n "$SEG_UNIT" route show default | sed 's/ *$//')" \
        "default via 10.77.0.1 dev $SEG_UNIT_IF onlink"
    unit_takes_uploads 10.77.0.50
    [ "$front" = ui ] || return 0
    expect "settings" "$(in_pc wine reg query 'HKCU\Software\Strandel\Varnok\Init' |
        tr -d '\r' | awk 'NF == 3 {print $1, $2, $3}' | sort)" \
        "Gateway REG_BINARY 0A4D0001"$'\n'"IP REG_BINARY 0A4D0032"$'\n'"MAC REG_SZ $U"$'\n'"Netmask REG_BINARY FFFFFF00"$'\n'"SerialNo REG_DWORD 0x4d2"
}

# From now on the unit is an ordinary host whose kernel answers (ARP included): a TFTP
# server there takes an upload from Linux's client, and from tftp.exe under Wine, whose
# own transfer of 4 MiB is timed.
unit_takes_uploads() { # ADDRESS
    upload_folder
    random_file 300000 "$dir/image.bin"
    seg_tftpd_start "$dir/tftp" "$1" || { expect "TFTP server" "not started" "started"; return; }
    (cd "$dir" && ip netns exec "$SEG_PC" timeout 20 tftp -m binary "$1" -c put image.bin) \
        >/dev/null 2>&1
    cmp -s "$dir/image.bin" "$dir/tftp/image.bin" || expect "upload to the unit" "differs" "same"
    [ -n "$client" ] || return 0
    random_file 4194304 "$dir/client.bin"
    local start
    start=$(now_ms)
    in_pc timeout 60 wine "$client" -i "$1" PUT client.bin >"$dir/client.out" 2>&1
    figure client-4mib-ms $(($(now_ms) - start))
    cmp -s "$dir/client.bin" "$dir/tftp/client.bin" ||
        expect "tftp.exe's upload of 4 MiB" "differs" "same"
}

# Two adapters and the address on neither: the technician is asked, and the route and
# the entry go to the adapter chosen; the choice is kept for the next question.
scenario_apply_to_another_subnet() {
    unit_on
    CHOOSE=$SEG_PC_IF
    picture_once_shown adapter-question 'Network adapter'
    apply $SERIAL 10.88.0.50 255.255.255.0 10.88.0.1
    expect "boxes" "$BOXES" "SUCCESS!"
    expect "unit's configuration" "$(records address) $(records netmask) $(records gateway)" \
        "10.88.0.50 255.255.255.0 10.88.0.1"
    expect "arp and route" "$(cat "$dir/programs")" \
        "route ADD 10.88.0.50 MASK 255.255.255.255 0.0.0.0 IF $PC_INDEX"$'\n'"arp -d 10.88.0.50 $P"$'\n'"arp -s 10.88.0.50 $D $P"$'\n'"arp -d 10.88.0.50 $P"$'\n'"route DELETE 10.88.0.50 MASK 255.255.255.255"
    [ "$front" = ui ] || return 0
    expect "adapters offered" "$(sed -n 's/^adapter line: //p' "$dir/out" | tr -d '\r')" \
        "$SEG_WIFI_IF ($SEG_WIFI_ADDRESS)"$'\n'"$SEG_PC_IF ($SEG_PC_ADDRESS)"
    in_pc wine reg query 'HKCU\Software\Strandel\Varnok\Adapter' /v Chosen 2>/dev/null |
        grep -q REG_SZ || expect "choice remembered" "no" "yes"
}

scenario_unit_answers_the_third_echo() {
    unit_on --answer-from 3
    apply $SERIAL 10.77.0.51 255.255.255.0 10.77.0.1
    expect "boxes" "$BOXES" "SUCCESS!"
    expect "unit's answers" "$(records answer | paste -sd ' ')" "none none echo"
}

scenario_unit_answers_with_an_error_status() {
    unit_on --answer error
    apply $SERIAL 10.77.0.52 255.255.255.0 10.77.0.1 debug
    expect "boxes" "$BOXES" "FAILED!!!"
    expect "unit's answers" "$(records answer | paste -sd ' ')" "error error error"
    local line="ping ip=10.77.0.52 netmask=255.255.255.0 gateway=10.77.0.1 returned Ping: Destination host unreachable"
    expect "varnok.log" "$(tr -d '\r' <"$dir/varnok.log" 2>/dev/null | grep -v '^who holds')" \
        "$line"$'\n'"$line"$'\n'"$line"
    # What asking the segment added to this Apply: nobody holds the address.
    local check_ms
    check_ms=$(sed -n 's/^who holds 10.77.0.52: nobody (\([0-9]*\) ms).*/\1/p' "$dir/varnok.log")
    [ -n "$check_ms" ] || expect "address check in the log" "missing" "who holds 10.77.0.52: nobody"
    figure who-holds-ms "$check_ms"
}

scenario_no_unit_with_that_mac() {
    unit_on
    CHOOSE=$SEG_PC_IF
    apply $NOBODY_SERIAL 10.88.0.60 255.255.255.0 10.88.0.1
    if [ "$front" = ui ]; then
        expect "adapter preselected" "$(sed -n 's/^adapter preselected: //p' "$dir/out" | tr -d '\r')" \
            "$SEG_PC_IF ($SEG_PC_ADDRESS)"
    fi
    expect "boxes" "$BOXES" "FAILED!!!"
    expect "configurations received" "$(cat "$dir/unit.jsonl")" ""
    expect "arp and route" "$(programs_run)" "route ADD arp -d arp -s arp -d route DELETE"
    # Three echoes of 5 s each and two pauses of 1 s: a run that gave up early took less.
    [ "${ELAPSED_MS:-0}" -ge 16000 ] || expect "time to give up (ms)" "${ELAPSED_MS:-?}" ">= 16000"
    expect_responsive
    figure no-unit-ms "$ELAPSED_MS"
    figure no-unit-window-ms "${RESPONSE_MS:-}"
}

# Without the static entry the unit cannot be reached: it answers no ARP before it has an
# address. An "arp -s" that changes nothing (access denied, say) fails the run at that
# step, says which entry is missing and why, and leaves the tables clean.
scenario_without_the_static_arp_entry() {
    unit_on
    IGNORE="arp -s"
    apply $SERIAL 10.77.0.53 255.255.255.0 10.77.0.1
    expect "boxes" "$BOXES" "FAILED!!!"
    expect "why" "$(grep -F 'was not made' "$dir/out" | tr -d '\r')" \
        "The static ARP entry for 10.77.0.53 ($D) was not made (arp.exe: The arp change was refused.)."
    expect "configurations received" "$(cat "$dir/unit.jsonl")" ""
    expect "arp and route" "$(programs_run)" "arp -d arp -s arp -d"
    expect "static entries left" "$(ip -n "$SEG_PC" neigh show 10.77.0.53 nud permanent)" ""
}

# The same for a host route that route.exe did not make: nothing more is tried.
scenario_without_the_host_route() {
    unit_on
    CHOOSE=$SEG_PC_IF
    IGNORE="route ADD"
    apply $SERIAL 10.88.0.61 255.255.255.0 10.88.0.1
    expect "boxes" "$BOXES" "FAILED!!!"
    expect "why" "$(grep -F 'was not made' "$dir/out" | tr -d '\r')" \
        "The host route to 10.88.0.61 was not made (route.exe: The route change was refused.)."
    expect "arp and route" "$(programs_run)" "route ADD route DELETE"
    expect "configurations received" "$(cat "$dir/unit.jsonl")" ""
    expect "routes left" "$(ip -n "$SEG_PC" route show 10.88.0.61)" ""
}

# Another device (a PLC) already holds the address: nothing is bound and the unit is sent
# nothing; the technician is told which MAC holds it.
scenario_address_held_by_another_device() {
    unit_on
    local other=02:00:5e:10:00:99
    seg_other_device_start 10.77.0.55 $other || expect "other device" "not started" "started"
    apply $SERIAL 10.77.0.55 255.255.255.0 10.77.0.1
    seg_other_device_stop
    expect "boxes" "$BOXES" \
        "The address 10.77.0.55 is already in use by the device with MAC ${other//:/-}."
    expect "configurations received" "$(cat "$dir/unit.jsonl")" ""
    expect "arp and route" "$(cat "$dir/programs")" "arp -d 10.77.0.55 $P"
}

# The unit itself holds the address (it is given the same one again): its own MAC
# answers, and the run goes on.
scenario_unit_already_holds_the_address() {
    unit_on
    ip -n "$SEG_UNIT" addr add 10.77.0.56/24 dev "$SEG_UNIT_IF"
    apply $SERIAL 10.77.0.56 255.255.255.0 10.77.0.1 debug
    expect "boxes" "$BOXES" "SUCCESS!"
    expect "arp and route" "$(programs_run)" "arp -d arp -s arp -d"
    expect "who holds it" "$(sed -n 's/^\(who holds [^(]*\).*/\1/p' "$dir/varnok.log" | tr -d '\r')" \
        "who holds 10.77.0.56: $D "
}

# A program the launcher cannot start is logged, and the run stops before any ARP step.
scenario_route_exe_missing() {
    unit_on
    local system32=$prefix/drive_c/windows/system32
    mv "$system32/route.exe" "$work/route.exe.away"
    CHOOSE=$SEG_PC_IF
    apply $SERIAL 10.88.0.70 255.255.255.0 10.88.0.1 debug
    mv "$work/route.exe.away" "$system32/route.exe"
    expect "boxes" "$BOXES" "FAILED!!!"
    expect "arp and route" "$(cat "$dir/programs")" ""
    expect "varnok.log" "$(tr -d '\r' <"$dir/varnok.log" 2>/dev/null)" "The specified file was not found."
}

# What the technician's own programs can write (HKCU) never chooses what the elevated
# program removes: an earlier version's crash record naming an on-link host route an
# administrator made, and the address page's stored address naming a printer's static
# entry. Both stay; the record is removed unread.
scenario_the_users_settings_choose_nothing_removed() {
    unit_on
    local printer=00:1b:a9:00:00:01
    ip -n "$SEG_PC" neigh replace 10.77.0.240 lladdr $printer dev "$SEG_PC_IF" nud permanent
    ip -n "$SEG_PC" route add 10.77.0.241/32 dev "$SEG_PC_IF"
    local key='HKCU\Software\Strandel\Varnok'
    in_pc wine reg add "$key\Pending" /v IP /t REG_BINARY /d 0A4D00F1 /f >/dev/null 2>&1
    in_pc wine reg add "$key\Pending" /v HostRoute /t REG_DWORD /d 1 /f >/dev/null 2>&1
    in_pc wine reg add "$key\Init" /v IP /t REG_BINARY /d 0A4D00F0 /f >/dev/null 2>&1
    varnok -- read=$IDC_SERIAL
    expect "what the start ran" "$(cat "$dir/programs.start")" ""
    expect "the printer's entry" "$(ip -n "$SEG_PC" neigh show 10.77.0.240 nud permanent | awk '{print $5}')" \
        "$printer"
    expect "the administrator's route" "$(ip -n "$SEG_PC" route show 10.77.0.241/32 | awk '{print $1}')" \
        "10.77.0.241"
    in_pc wine reg query "$key\Pending" /v IP >/dev/null 2>&1 &&
        expect "the user's crash record" "still there" "removed unread"
    ip -n "$SEG_PC" neigh del 10.77.0.240 dev "$SEG_PC_IF"
    ip -n "$SEG_PC" route del 10.77.0.241/32 dev "$SEG_PC_IF"
}
