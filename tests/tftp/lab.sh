# A private TFTP lab, sourced by the real-server tests and the benchmark: a network
# namespace joined to this one by a veth pair, with tftpd-hpa's in.tftpd and atftpd
# listening inside it. Nothing here ever sends a packet beyond this machine.
#
#   lab_up WORKDIR   sets LAB_NS, LAB_HPA, LAB_ATFTPD, LAB_SILENT (an address in the lab's
#                    subnet that nobody holds), LAB_HPA_DIR, LAB_ATFTPD_DIR; LAB_ATFTPD is
#                    empty when atftpd could not be had.
#   lab_relay NAME TARGET ARGS...   starts the impairment relay at a new lab address in
#                    front of TARGET; sets LAB_RELAY_<NAME> to that address.
#   lab_down         stops everything lab_up and lab_relay started.

lab_can_run() {
    [ "$(id -u)" -eq 0 ] && ip netns add "varnok-probe-$$" 2>/dev/null &&
        ip netns del "varnok-probe-$$"
}

# atftpd conflicts with tftpd-hpa as a package (both install in.tftpd), so it is
# unpacked into the build tree instead of installed.
lab_fetch_atftpd() {
    local cache=$1
    [ -x "$cache/root/usr/sbin/atftpd" ] && return 0
    mkdir -p "$cache"
    # A machine whose packages were all present may never have fetched the package lists.
    (cd "$cache" && rm -f atftpd_*.deb &&
        { apt-get download -q atftpd >/dev/null 2>&1 ||
            { apt-get update -q >/dev/null 2>&1 && apt-get download -q atftpd >/dev/null 2>&1; }; } &&
        dpkg -x atftpd_*.deb root) || return 1
    [ -x "$cache/root/usr/sbin/atftpd" ]
}

lab_free_subnet() {
    local n
    for n in $(seq $((($$ % 200) + 20)) 250) $(seq 20 250); do
        if ! ip -4 addr show | grep -q "inet 10\.211\.$n\."; then
            echo "10.211.$n"
            return 0
        fi
    done
    return 1
}

lab_wait_udp() { # NS ADDR: until something listens on ADDR:69 inside NS
    local i
    for i in $(seq 100); do
        ip netns exec "$1" ss -Hlun "src $2:69" 2>/dev/null | grep -q . && return 0
        sleep 0.05
    done
    return 1
}

lab_up() {
    local work=$1
    LAB_PIDS=()
    LAB_NEXT_HOST=10
    LAB_NET=$(lab_free_subnet) || return 1
    LAB_NS=varnok-tftp-$$
    LAB_HOSTIF=vt$$h
    ip netns add "$LAB_NS" || return 1
    ip link add "$LAB_HOSTIF" type veth peer name vt$$n netns "$LAB_NS" || return 1
    ip addr add "$LAB_NET.1/24" dev "$LAB_HOSTIF"
    ip link set "$LAB_HOSTIF" up
    ip -n "$LAB_NS" link set lo up
    ip -n "$LAB_NS" link set vt$$n up
    local host
    for host in 2 4; do
        ip -n "$LAB_NS" addr add "$LAB_NET.$host/24" dev vt$$n
    done
    LAB_HPA=$LAB_NET.2
    LAB_ATFTPD=$LAB_NET.4
    LAB_SILENT=$LAB_NET.9
    LAB_IF_NS=vt$$n
    # Addresses take a moment to leave the tentative state.
    for _ in $(seq 50); do
        ip -n "$LAB_NS" -4 addr show dev vt$$n | grep -q tentative || break
        sleep 0.05
    done

    LAB_HPA_DIR=$work/hpa
    LAB_ATFTPD_DIR=$work/atftpd
    mkdir -p "$LAB_HPA_DIR" "$LAB_ATFTPD_DIR"
    chmod 0777 "$LAB_HPA_DIR" "$LAB_ATFTPD_DIR"
    # -T: the server retransmits after 100 ms instead of 1 s, or a lossy GET (where only
    # the sender may resend) would spend most of its time waiting.
    ip netns exec "$LAB_NS" /usr/sbin/in.tftpd -L -c -u root -T 100000 -s "$LAB_HPA_DIR" \
        -a "$LAB_HPA:69" >"$work/in.tftpd.log" 2>&1 &
    LAB_PIDS+=($!)
    lab_wait_udp "$LAB_NS" "$LAB_HPA" || { echo "in.tftpd did not start"; return 1; }

    if lab_fetch_atftpd "${LAB_ATFTPD_CACHE:-$work/../atftpd-pkg}"; then
        local atftpd=${LAB_ATFTPD_CACHE:-$work/../atftpd-pkg}/root/usr/sbin/atftpd
        ip netns exec "$LAB_NS" "$atftpd" --daemon --no-fork --user root --group root \
            --bind-address "$LAB_ATFTPD" --port 69 --logfile /dev/null \
            "$LAB_ATFTPD_DIR" >"$work/atftpd.log" 2>&1 &
        LAB_PIDS+=($!)
        lab_wait_udp "$LAB_NS" "$LAB_ATFTPD" || { echo "atftpd did not start"; return 1; }
    else
        echo "atftpd could not be fetched: its cases are left out"
        LAB_ATFTPD=
    fi
}

lab_relay() { # NAME TARGET RELAY-ARGS...
    local name=$1 target=$2
    shift 2
    local addr=$LAB_NET.$LAB_NEXT_HOST
    LAB_NEXT_HOST=$((LAB_NEXT_HOST + 1))
    ip -n "$LAB_NS" addr add "$addr/24" dev "$LAB_IF_NS"
    for _ in $(seq 50); do
        ip -n "$LAB_NS" -4 addr show dev "$LAB_IF_NS" | grep -q tentative || break
        sleep 0.05
    done
    ip netns exec "$LAB_NS" "$LAB_RELAY_BIN" --listen "$addr" --server "$target" "$@" &
    LAB_PIDS+=($!)
    lab_wait_udp "$LAB_NS" "$addr" || { echo "relay did not start"; return 1; }
    printf -v "LAB_RELAY_$name" '%s' "$addr"
}

lab_down() {
    local pid
    for pid in "${LAB_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${LAB_PIDS[@]}"; do
        wait "$pid" 2>/dev/null
    done
    LAB_PIDS=()
    [ -n "${LAB_NS:-}" ] && ip netns del "$LAB_NS" 2>/dev/null
    LAB_NS=
}
