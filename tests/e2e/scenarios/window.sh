# The window as a technician uses it with the one unit: uploads from the update page, the
# keyboard, the mouse and the real file dialog, Varnok closed or killed in the middle of an
# Apply, and another program holding the names Varnok's processes share.

group window \
    uploads keyboard-mouse-and-file-dialog apply-clicked-during-start-up closed-during-apply \
    killed-during-apply other-words-open-the-window lock-names-taken-by-another-program \
    instance-name-taken-by-another-program
ui_only uploads keyboard-mouse-and-file-dialog apply-clicked-during-start-up closed-during-apply \
    killed-during-apply other-words-open-the-window lock-names-taken-by-another-program \
    instance-name-taken-by-another-program

# Uploads to a unit that has just taken its address: a firmware image of 4 MiB, web pages
# from a path with blanks, and a file the server refuses.
scenario_uploads() {
    unit_on
    apply $SERIAL 10.77.0.50 255.255.255.0 10.77.0.1
    expect "boxes of the Apply" "$BOXES" "SUCCESS!"
    mkdir -p "$dir/tftp" "$dir/my files"
    random_file 4194304 "$dir/firmware.bin"
    random_file 150000 "$dir/my files/web pages.ROM"
    random_file 1000 "$dir/refused.bin"
    local folder
    folder=$(windows_path "$dir")
    seg_tftpd_start "$dir/tftp" 10.77.0.50
    varnok -- tab=1 read=$IDC_CURRENT_IP firmware-path="$folder\\firmware.bin" update-firmware \
        box=60 web-path="$folder\\my files\\web pages.ROM" update-web box=40 \
        web-path="$folder\\refused.bin" update-web box=40
    expect_responsive
    expect "address on the update page" "$(texts_read $IDC_CURRENT_IP)" "10.77.0.50"
    expect "boxes of the uploads" "$(boxes_shown)" "SUCCESS!"$'\n'"SUCCESS!"$'\n'"FAILED!!!"
    local firmware_ms web_ms
    read -r firmware_ms web_ms _ <<<"$ELAPSED_MS"
    # Each upload's fixed wait for the unit to write the image is its behaviour.
    [ "${firmware_ms:-0}" -ge 30000 ] || expect "firmware wait (ms)" "${firmware_ms:-?}" ">= 30000"
    [ "${web_ms:-0}" -ge 15000 ] || expect "web-page wait (ms)" "${web_ms:-?}" ">= 15000"
    expect "files on the server" "$(ls "$dir/tftp")" "firmware.bin"$'\n'"web pages.ROM"
    cmp -s "$dir/firmware.bin" "$dir/tftp/firmware.bin" || expect "firmware received" "differs" "same"
    cmp -s "$dir/my files/web pages.ROM" "$dir/tftp/web pages.ROM" ||
        expect "web pages received" "differs" "same"
    figure upload-firmware-ms "$firmware_ms"
    figure upload-web-ms "$web_ms"
    figure uploads-window-ms "$RESPONSE_MS"
}

# A technician at the keyboard and mouse of the virtual display: a click into the serial
# field and Enter apply; on the update page a click into the path field, Tab to "..." and
# Enter open the real file dialog, where typing walks into the folder "web" and picks the
# image. The upload after browsing must reach the unit.
scenario_keyboard_mouse_and_file_dialog() {
    unit_on
    upload_folder
    mkdir -p "$dir/web"
    random_file 200000 "$dir/web/pages.ROM"
    window_open
    drive serial=$SERIAL address=10.77.0.54 netmask=255.255.255.0 gateway=10.77.0.1
    click_into $IDC_SERIAL End Return
    drive box=40
    seg_tftpd_start "$dir/tftp" 10.77.0.54
    # The web pages' field: their fixed wait is the shorter one (the firmware's is covered
    # by the uploads).
    drive tab=1
    click_into $IDC_ROM_PATH Tab Return
    local window
    window=$(dialog_shown Open)
    if [ -n "$window" ]; then
        DIALOG_PATH=$(windows_path "$dir/web/pages.ROM")
        file_dialog_keys Open "$window" walk_to_the_pages
    else
        expect "file dialog after Enter on \"...\"" "not shown" "shown"
    fi
    drive read=$IDC_ROM_PATH update-web box=60
    window_close
    expect "boxes" "$(boxes_shown)" "SUCCESS!"$'\n'"SUCCESS!"
    expect "unit's address" "$(records address | head -1)" "10.77.0.54"
    expect "path picked" "$(texts_read $IDC_ROM_PATH)" "$DIALOG_PATH"
    cmp -s "$dir/web/pages.ROM" "$dir/tftp/pages.ROM" || expect "web pages received" "differs" "same"
    [ ! -e "$dir/web/varnok.log" ] || expect "log" "in the image's folder" "where Varnok started"
}
# The first time into the folder and to the file by name, as a technician types; then the
# whole path.
walk_to_the_pages() { # ATTEMPT
    if [ "$1" -eq 1 ]; then
        xdotool type --delay 40 web && xdotool key Return sleep 1.5
        xdotool type --delay 40 pages.ROM && xdotool key Return
    else
        type_whole_path
    fi
}

# Another Varnok holds the PC's tables (a script addressing a unit that is not there) as
# Varnok starts: its start waits for them, its window disabled. "Apply" clicked at once is
# taken once the start's own work is done: the window answers all along, and the unit
# takes its address after the wait.
scenario_apply_clicked_during_start_up() {
    unit_on
    printf '%s\n' "$NOBODY_SERIAL,10.77.0.58,255.255.255.0,10.77.0.1" >"$dir/absent.csv"
    in_pc timeout 150 wine "$program" apply-list absent.csv >"$dir/absent.out" 2>&1 &
    local script=$!
    for _ in $(seq 100); do grep -q '^arp -s 10.77.0.58' "$dir/programs" && break; sleep 0.1; done
    in_pc timeout 150 wine "$program" >"$dir/varnok.out" 2>&1 &
    running=$!
    drive serial=$SERIAL address=10.77.0.57 netmask=255.255.255.0 gateway=10.77.0.1 apply box=60
    wait "$script"
    window_close
    expect_window_answered
    expect "boxes" "$(boxes_shown)" "SUCCESS!"
    expect "unit's address" "$(records address)" "10.77.0.57"
    # The script's run, then the Apply (the start found no entry of a unit to remove).
    expect "whose arp.exe runs, in order" \
        "$(awk '$1 == "arp" {print $3}' "$dir/programs" | uniq | paste -sd ' ')" \
        "10.77.0.58 10.77.0.57"
    expect "arp.exe runs in all" "$(grep -c '^arp' "$dir/programs")" 6
}

# Closed with its close box in the middle of an Apply to another subnet: the window goes
# at once, the process only after the clean-up, and the PC's tables are clean.
scenario_closed_during_apply() {
    unit_on
    in_pc timeout 150 wine "$program" >"$dir/varnok.out" 2>&1 &
    local running=$! closed
    in_pc timeout 60 wine "$bin/ui_driver.exe" serial=$NOBODY_SERIAL address=10.88.0.62 \
        netmask=255.255.255.0 gateway=10.88.0.1 apply adapter="$SEG_PC_IF" sleep=2000 close \
        >"$dir/out" 2>>"$dir/err"
    closed=$(now_ms)
    for _ in $(seq 100); do kill -0 "$running" 2>/dev/null || break; sleep 0.2; done
    kill -0 "$running" 2>/dev/null && expect "process after close" "still running" "ended"
    kill_tree "$running"
    figure closed-to-ended-ms $(($(now_ms) - closed))
    expect "arp and route" "$(programs_run)" "route ADD arp -d arp -s arp -d route DELETE"
    expect "boxes" "$(boxes_shown)" ""
}

# Ended from the task manager (or power lost) in the middle of an "Apply" to another
# subnet: its static entry and host route stay, until the next start undoes them.
scenario_killed_during_apply() {
    unit_on
    in_pc timeout 150 wine "$program" >"$dir/varnok.out" 2>&1 &
    local killed=$!
    in_pc timeout 40 wine "$bin/ui_driver.exe" read=$IDC_SERIAL >/dev/null 2>>"$dir/err"
    in_pc timeout 40 wine "$bin/ui_driver.exe" serial=$NOBODY_SERIAL address=10.88.0.61 \
        netmask=255.255.255.0 gateway=10.88.0.1 apply adapter="$SEG_PC_IF" sleep=3000 \
        >"$dir/out" 2>>"$dir/err"
    kill_tree "$killed"
    wait "$killed" 2>/dev/null
    sleep 1
    expect "arp and route before the kill" "$(programs_run)" "route ADD arp -d arp -s"
    [ "$(seg_pc_tables)" != "$baseline" ] ||
        expect "PC tables after the kill" "as at the start" "the entry and the route left"
    mv "$dir/programs" "$dir/programs.killed" && : >"$dir/programs"
    varnok -- read=$IDC_SERIAL
    # (With the entry gone, the start's own look at the stored address finds nothing.)
    expect "arp and route at the next start" "$(cat "$dir/programs.start")" \
        "arp -d 10.88.0.61"$'\n'"route DELETE 10.88.0.61 MASK 255.255.255.255"
}

# Started with words that are no command (a shortcut's "-debug", a launcher's own word):
# the window opens as it always did.
scenario_other_words_open_the_window() {
    local words
    for words in -debug "frobnicate debug"; do
        : >"$dir/programs"
        varnok $words -- read=$IDC_SERIAL
        expect "a window for \"$words\"" "$(texts_read $IDC_SERIAL | wc -l)" 1
    done
}

# Another program (any user's) holds the names of the tables' lock, each by an event, until
# it ends (touch DIR/let-go). Under Wine there are no private namespaces to keep it out.
names_taken() { # NAME...
    in_pc wine "$bin/name_squatter.exe" "$(windows_path "$dir/let-go")" "$@" >"$dir/squatter.out" \
        2>>"$dir/err" &
    squatter=$!
    for _ in $(seq 100); do grep -q held "$dir/squatter.out" 2>/dev/null && break; sleep 0.1; done
    expect "the other program" "$(tr -d '\r' <"$dir/squatter.out")" held
}
names_let_go() { touch "$dir/let-go" && wait "$squatter"; }

# Both names the lock on the PC's tables ever had, held by another program's events: an
# Apply from the window and one from the command line each refuse with the reason (the
# box's second line, the command's line, the record's reason), and nothing is changed: no
# arp.exe or route.exe runs, not even the start's, and the unit is never asked.
scenario_lock_names_taken_by_another_program() {
    record_fresh
    unit_on
    names_taken 'Global\Varnok.Tables' 'Local\Varnok.Tables'
    local reason="The lock on the PC's tables (Global\Varnok.Tables) belongs to a program that is not Varnok's"
    varnok -- serial=$SERIAL address=10.77.0.59 netmask=255.255.255.0 gateway=10.77.0.1 apply box=40
    expect "the box" "$(boxes_shown)" "FAILED!!!"
    grep -qF "$reason" "$dir/out" || expect "the box's second line" "$(tr -d '\r' <"$dir/out")" "$reason..."
    cli apply apply $SERIAL 10.77.0.59 255.255.255.0 10.77.0.1
    expect "the command's exit status" "$STATUS" 1
    [[ $OUTPUT == "$SERIAL $(mac_of $SERIAL) 10.77.0.59 FAILED $reason"* ]] ||
        expect "the command's line" "$OUTPUT" "$SERIAL $(mac_of $SERIAL) 10.77.0.59 FAILED $reason..."
    names_let_go
    expect "the record" "$(record_applies)" \
        "$SERIAL $(mac_of $SERIAL) 10.77.0.59 255.255.255.0 10.77.0.1 FAILED"$'\n'"$SERIAL $(mac_of $SERIAL) 10.77.0.59 255.255.255.0 10.77.0.1 FAILED"
    expect "the record's reasons naming the lock" \
        "$(csv_rows "$kept/record.csv" | sed 1d | cut -d'|' -f9 | grep -cF "$reason")" 2
    expect "arp and route, the start's and the Applies'" "$(cat "$dir/programs.start" "$dir/programs")" ""
    expect "configurations the unit received" "$(records address)" ""
}

# Another program holds the name of the session's instance: Varnok's start says why in a
# box and ends with status 1, instead of ending without a word.
scenario_instance_name_taken_by_another_program() {
    # The window of an earlier scenario may still be ending, its instance still held.
    [ ${#VARNOK_PIDS[@]} -gt 0 ] && wait "${VARNOK_PIDS[@]}" 2>/dev/null
    names_taken 'Local\Varnok.Instance'
    in_pc timeout 60 wine "$program" debug >"$dir/varnok.out" 2>&1 &
    local running=$! box
    box=$(dialog_shown Varnok)
    [ -n "$box" ] || expect "a box at the start" "none" "one titled Varnok"
    picture instance-name-taken Varnok
    [ -n "$box" ] && xdotool windowfocus --sync "$box" key Return 2>/dev/null
    wait "$running"
    expect "exit status" "$?" 1
    names_let_go
    grep -qF 'Local\Varnok.Instance' "$dir/varnok.log" 2>/dev/null ||
        expect "the log" "$(cat "$dir/varnok.log" 2>/dev/null)" "the reason, naming Local\\Varnok.Instance"
}
