# The virtual Ethernet segment of the end-to-end scenarios, sourced by run.sh. Nothing
# here ever sends a packet beyond this machine: the PC and the units live in network
# namespaces of their own, joined only to each other.
#
#   PC namespace:   lo, pc0 10.77.0.1/24     <-- veth -->   unit namespace: lo, unit0
#                                                           (the unit's MAC, no address)
#                   wifi0 192.168.77.10/24   <-- veth -->   Wi-Fi namespace: 192.168.77.1
#                   (a laptop's Wi-Fi: made first, so listed first; the default route)
#
# Later a rack of units can take the one unit's place: the unit namespace becomes the
# switch, a bridge joining unit0 (and so the PC's pc0) to one port per rack unit; each
# rack unit is a namespace of its own whose one link, unit0, carries that unit's MAC.
#
#   unit namespace:  bridge "rack" -- unit0 <-> pc0 (PC)
#                                  -- port0 <-> unit0 (varnok-e2e-rack0-PID)
#                                  -- port1 <-> unit0 (varnok-e2e-rack1-PID) ...
#
#   seg_can_run                  root, and namespaces can be made
#   seg_up WORK MAC              makes both namespaces and the link; sets SEG_PC, SEG_UNIT
#   seg_unit_start RECORDS [unitsim options...]
#                                a fresh unit: no address, no route, simulator listening
#   seg_tftpd_start DIR ADDRESS [NAMESPACE]
#                                tftpd-hpa in the unit namespace, or the one named (the unit
#                                must hold ADDRESS); it refuses any file whose name begins
#                                with "refused", whose path it maps into a folder that does
#                                not exist. One at a time.
#   seg_other_device_start ADDRESS MAC
#                                another device on the segment, holding ADDRESS (a macvlan
#                                on the unit's link, or on the rack's switch, in the unit
#                                namespace)
#   seg_other_device_stop
#   seg_rack_up COUNT            the one unit gives way to COUNT rack units, all switched
#                                off; sets SEG_RACK (their namespaces, numbered from 0);
#                                SEG_RACK_UP holds when each unit's link last came up
#   seg_rack_unit_start K MAC RECORDS [unitsim options...]
#                                rack unit K switched on with that MAC: no address, no
#                                route, simulator listening
#   seg_rack_units_start RECORDS K=MAC[@ADDRESS/PREFIX]... [-- unitsim options...]
#                                those rack units switched on together, as with a
#                                cabinet's power: unit K records to RECORDS with K for %d;
#                                one with @ADDRESS/PREFIX holds it already (commissioned
#                                before)
#   seg_rack_tftpd_start K DIR ADDRESS [refusing]
#                                rack unit K's own TFTP server, beside the others'
#   seg_rack_units_stop          every rack unit switched off: simulators and the TFTP
#                                server stopped, links down, addresses gone
#   seg_pc_tables                the PC's neighbour entries and routes, one per line
#   seg_down                     stops everything seg_* started and removes the namespaces

SEG_PC_IF=pc0
SEG_UNIT_IF=unit0
SEG_PC_ADDRESS=10.77.0.1
SEG_WIFI_IF=wifi0
SEG_WIFI_ADDRESS=192.168.77.10
SEG_OTHER_IF=other0
SEG_BRIDGE=rack
SEG_UNIT_PID=
SEG_TFTPD_PID=
SEG_RACK=()
SEG_RACK_PIDS=()
SEG_RACK_TFTPD_PIDS=()
SEG_RACK_UP=() # when each rack unit's link last came up, in ms since 1970

seg_can_run() {
    [ "$(id -u)" -eq 0 ] || return 1
    local probe=varnok-e2e-probe-$$
    seg_netns_add "$probe" 2>/dev/null || return 1
    seg_netns_del "$probe"
}

# Namespaces left by a run that was killed before it could clean up.
seg_remove_stale() {
    local ns pid
    for ns in $(ip netns list | awk '/^varnok-e2e-(pc|unit|wifi|rack[0-9]+)-[0-9]+/ {print $1}'); do
        pid=${ns##*-}
        kill -0 "$pid" 2>/dev/null || seg_netns_del "$ns" 2>/dev/null
    done
}

# A namespace made while no other segment makes one: segments made side by side (the
# scenarios' groups) raced on /run/netns, and a link's peer then named no namespace.
seg_netns_add() { # NAME
    flock /run/varnok-e2e-netns.lock ip netns add "$1"
}
seg_netns_del() { # NAME
    flock /run/varnok-e2e-netns.lock ip netns del "$1"
}

seg_up() {
    local work=$1 mac=$2
    seg_remove_stale
    SEG_WORK=$work
    SEG_PC=varnok-e2e-pc-$$
    SEG_UNIT=varnok-e2e-unit-$$
    SEG_WIFI=varnok-e2e-wifi-$$
    mkdir -p "$work"
    seg_netns_add "$SEG_PC" || return 1
    seg_netns_add "$SEG_UNIT" || return 1
    seg_netns_add "$SEG_WIFI" || return 1
    ip -n "$SEG_PC" link set lo up
    ip -n "$SEG_UNIT" link set lo up
    # The laptop's Wi-Fi, with the default route; nothing beyond it.
    ip -n "$SEG_PC" link add "$SEG_WIFI_IF" type veth peer name ap0 netns "$SEG_WIFI" || return 1
    ip -n "$SEG_PC" addr add "$SEG_WIFI_ADDRESS/24" dev "$SEG_WIFI_IF"
    ip -n "$SEG_WIFI" addr add 192.168.77.1/24 dev ap0
    ip -n "$SEG_PC" link set "$SEG_WIFI_IF" up
    ip -n "$SEG_WIFI" link set ap0 up
    ip -n "$SEG_PC" route add default via 192.168.77.1 dev "$SEG_WIFI_IF"
    ip -n "$SEG_PC" link add "$SEG_PC_IF" type veth peer name "$SEG_UNIT_IF" netns "$SEG_UNIT" ||
        return 1
    ip -n "$SEG_UNIT" link set "$SEG_UNIT_IF" address "$mac"
    ip -n "$SEG_PC" addr add "$SEG_PC_ADDRESS/24" dev "$SEG_PC_IF"
    ip -n "$SEG_PC" link set "$SEG_PC_IF" up
    ip -n "$SEG_UNIT" link set "$SEG_UNIT_IF" up
    # No IPv6 chatter on the link: the unit's frames are the scenarios' only traffic.
    ip netns exec "$SEG_PC" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
    ip netns exec "$SEG_UNIT" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
    ip netns exec "$SEG_WIFI" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
    # Each device of the unit namespace answers ARP only for its own addresses, as a
    # separate device on the segment would.
    ip netns exec "$SEG_UNIT" sysctl -qw net.ipv4.conf.all.arp_ignore=1
    # The PC gives up on an address nobody claims after one ARP request of 200 ms rather
    # than three of a second: only a run without the static entry ever waits for that.
    ip netns exec "$SEG_PC" sysctl -qw net.ipv4.neigh.$SEG_PC_IF.mcast_solicit=1 \
        net.ipv4.neigh.$SEG_PC_IF.retrans_time_ms=200
}

seg_stop_pid() { # PID: a process this script started, once it has ended
    [ -n "$1" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null
    return 0
}

seg_tftpd_stop() {
    seg_stop_pid "$SEG_TFTPD_PID"
    SEG_TFTPD_PID=
}

seg_unit_stop() {
    seg_tftpd_stop
    seg_stop_pid "$SEG_UNIT_PID"
    SEG_UNIT_PID=
}

# NAMESPACE INTERFACE RECORDS PID_VARIABLE [unitsim options...]: a simulator on that link,
# its process id left in the variable named, once it listens.
seg_unitsim_start() {
    local ns=$1 interface=$2 records=$3 pid_variable=$4
    shift 4
    : >"$records"
    local ready=$records.ready
    rm -f "$ready"
    ip netns exec "$ns" "$SEG_UNITSIM" --interface "$interface" --records "$records" \
        --ready "$ready" "$@" &
    printf -v "$pid_variable" %s $!
    local i
    for i in $(seq 100); do
        [ -s "$ready" ] && return 0
        kill -0 "${!pid_variable}" 2>/dev/null || break
        sleep 0.05
    done
    echo "unit simulator did not start" >&2
    return 1
}

# A unit just switched on: whatever it held is gone, and both sides forget each other.
seg_unit_start() {
    local records=$1
    shift
    seg_unit_stop
    ip -n "$SEG_UNIT" -4 addr flush dev "$SEG_UNIT_IF"
    ip -n "$SEG_UNIT" -4 route flush dev "$SEG_UNIT_IF" 2>/dev/null
    ip -n "$SEG_UNIT" neigh flush dev "$SEG_UNIT_IF" 2>/dev/null
    ip -n "$SEG_PC" neigh flush dev "$SEG_PC_IF" 2>/dev/null
    seg_unitsim_start "$SEG_UNIT" "$SEG_UNIT_IF" "$records" SEG_UNIT_PID "$@"
}

seg_tftpd_start() {
    local dir=$1 address=$2 ns=${3:-$SEG_UNIT}
    seg_tftpd_stop
    echo 'r ^refused no-such-folder/refused' >"$SEG_WORK/tftpd.remap"
    seg_in_tftpd "$dir" "$address" "$ns" "$SEG_WORK/tftpd.remap" SEG_TFTPD_PID
}

# K DIR ADDRESS [refusing]: rack unit K's own TFTP server (the unit must hold ADDRESS; 0.0.0.0:
# whatever address it will take), beside any other unit's; "refusing": it refuses every file.
# Stopped with the unit.
seg_rack_tftpd_start() {
    local k=$1 dir=$2 address=$3 remap=$SEG_WORK/tftpd-rack$1.remap pid status
    # in.tftpd does not start in a namespace without an address beyond loopback's: one on
    # the unit's loopback, which the segment never sees, lets it wait for the unit's own.
    [ "$address" = 0.0.0.0 ] && ip -n "${SEG_RACK[k]}" addr replace 192.0.2.1/32 dev lo
    if [ "${4:-}" = refusing ]; then
        echo 'r .* no-such-folder/\0' >"$remap"
    else
        echo 'r ^refused no-such-folder/refused' >"$remap"
    fi
    seg_in_tftpd "$dir" "$address" "${SEG_RACK[k]}" "$remap" pid
    status=$?
    SEG_RACK_TFTPD_PIDS[k]=$pid
    return $status
}

# DIR ADDRESS NAMESPACE REMAP PID_VARIABLE: in.tftpd serving DIR at ADDRESS, its process id
# left in the variable named, once it listens.
seg_in_tftpd() {
    local dir=$1 address=$2 ns=$3 remap=$4 pid_variable=$5 i
    # -L: stays in the foreground, so that it is this script's child to stop.
    ip netns exec "$ns" in.tftpd -L -c -m "$remap" -s "$dir" -a "$address:69" -u root &
    printf -v "$pid_variable" %s $!
    for i in $(seq 100); do
        ip netns exec "$ns" ss -Hlun "src $address:69" 2>/dev/null | grep -q . && return 0
        sleep 0.05
    done
    echo "in.tftpd did not start" >&2
    return 1
}

seg_other_device_start() {
    local address=$1 mac=$2 link=$SEG_UNIT_IF
    # Once the rack is up, the unit's link is a port of the switch: the device sits on the
    # switch itself.
    [ ${#SEG_RACK[@]} -gt 0 ] && link=$SEG_BRIDGE
    ip -n "$SEG_UNIT" link add "$SEG_OTHER_IF" link "$link" type macvlan mode bridge ||
        return 1
    ip -n "$SEG_UNIT" link set "$SEG_OTHER_IF" address "$mac"
    ip -n "$SEG_UNIT" addr add "$address/24" dev "$SEG_OTHER_IF"
    ip -n "$SEG_UNIT" link set "$SEG_OTHER_IF" up
}

seg_other_device_stop() {
    ip -n "$SEG_UNIT" link del "$SEG_OTHER_IF" 2>/dev/null
    return 0
}

# The one unit goes; its link joins a bridge in the unit namespace, with a port for each
# rack unit. The bridge learns where each MAC is from the frames it sees, and sends a
# frame for a MAC it has not seen yet (a configuration echo to a unit just switched on)
# to every port: each unit must pick out its own, as on a real switch.
seg_rack_up() {
    local count=$1 k ns
    seg_unit_stop
    seg_other_device_stop
    ip -n "$SEG_UNIT" -4 addr flush dev "$SEG_UNIT_IF"
    ip -n "$SEG_UNIT" -4 route flush dev "$SEG_UNIT_IF" 2>/dev/null
    # No spanning tree: a port forwards as soon as its link is up.
    ip -n "$SEG_UNIT" link add "$SEG_BRIDGE" type bridge stp_state 0 forward_delay 0 || return 1
    ip -n "$SEG_UNIT" link set "$SEG_UNIT_IF" master "$SEG_BRIDGE" || return 1
    ip -n "$SEG_UNIT" link set "$SEG_BRIDGE" up
    for ((k = 0; k < count; k++)); do
        ns=varnok-e2e-rack$k-$$
        seg_netns_add "$ns" || return 1
        SEG_RACK[k]=$ns
        ip -n "$ns" link set lo up
        # As in the unit namespace: no IPv6 chatter, ARP answered only for the link's own
        # addresses.
        ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 \
            net.ipv6.conf.default.disable_ipv6=1 net.ipv4.conf.all.arp_ignore=1
        ip -n "$SEG_UNIT" link add "port$k" type veth peer name "$SEG_UNIT_IF" netns "$ns" ||
            return 1
        ip -n "$SEG_UNIT" link set "port$k" master "$SEG_BRIDGE" || return 1
        ip -n "$SEG_UNIT" link set "port$k" up
    done
}

seg_rack_unit_stop() { # K
    seg_stop_pid "${SEG_RACK_PIDS[$1]:-}"
    seg_stop_pid "${SEG_RACK_TFTPD_PIDS[$1]:-}"
    SEG_RACK_PIDS[$1]=
    SEG_RACK_TFTPD_PIDS[$1]=
}

# Rack unit K's simulator stopped and its link down and up again with MAC and no address,
# as a unit's port is when the unit is switched on.
seg_rack_link_renew() { # K MAC
    local k=$1 mac=$2 ns=${SEG_RACK[$1]:-}
    [ -n "$ns" ] || { echo "no rack unit $k" >&2; return 1; }
    seg_rack_unit_stop "$k"
    ip -n "$ns" link set "$SEG_UNIT_IF" down
    ip -n "$ns" -4 addr flush dev "$SEG_UNIT_IF"
    ip -n "$ns" link set "$SEG_UNIT_IF" address "$mac" || return 1
    ip -n "$ns" link set "$SEG_UNIT_IF" up
    SEG_RACK_UP[k]=$(date +%s%3N)
}

# Switched on: the link comes up with the unit's MAC and nothing else, and the PC forgets
# what it had learnt of the segment. Taking the link down first also makes the bridge
# forget where that port's MACs were.
seg_rack_unit_start() {
    local k=$1 mac=$2 records=$3
    shift 3
    seg_rack_link_renew "$k" "$mac" || return 1
    ip -n "$SEG_PC" neigh flush dev "$SEG_PC_IF" 2>/dev/null
    local pid status
    seg_unitsim_start "${SEG_RACK[k]}" "$SEG_UNIT_IF" "$records" pid "$@"
    status=$?
    SEG_RACK_PIDS[k]=$pid
    return $status
}

# A cabinet switched on: every link up with its unit's MAC first, then every simulator
# started at once, then each one waited for.
seg_rack_units_start() {
    local pattern=$1 pair k mac records
    shift
    local pairs=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do pairs+=("$1") && shift; done
    [ "${1:-}" = -- ] && shift
    for pair in "${pairs[@]}"; do
        k=${pair%%=*} mac=${pair#*=}
        seg_rack_link_renew "$k" "${mac%%@*}" || return 1
    done
    ip -n "$SEG_PC" neigh flush dev "$SEG_PC_IF" 2>/dev/null
    for pair in "${pairs[@]}"; do
        k=${pair%%=*}
        # shellcheck disable=SC2059
        printf -v records "$pattern" "$k"
        : >"$records"
        rm -f "$records.ready"
        local holds=()
        [[ $pair == *@* ]] && holds=(--holds "${pair#*@}")
        ip netns exec "${SEG_RACK[k]}" "$SEG_UNITSIM" --interface "$SEG_UNIT_IF" \
            --records "$records" --ready "$records.ready" "${holds[@]}" "$@" &
        SEG_RACK_PIDS[k]=$!
    done
    for pair in "${pairs[@]}"; do
        k=${pair%%=*}
        printf -v records "$pattern" "$k"
        for i in $(seq 100); do
            [ -s "$records.ready" ] && break
            kill -0 "${SEG_RACK_PIDS[k]}" 2>/dev/null || break
            sleep 0.05
        done
        [ -s "$records.ready" ] || { echo "rack unit $k did not start" >&2 && return 1; }
    done
}

# Switched off: no simulator, no link, no address; its MAC is gone from the segment.
seg_rack_units_stop() {
    local k
    seg_tftpd_stop
    for k in "${!SEG_RACK[@]}"; do
        seg_rack_unit_stop "$k"
        ip -n "${SEG_RACK[k]}" link set "$SEG_UNIT_IF" down
        ip -n "${SEG_RACK[k]}" -4 addr flush dev "$SEG_UNIT_IF"
    done
}

# What a scenario must leave as it found: static neighbour entries and routes of the PC.
seg_pc_tables() {
    ip -n "$SEG_PC" neigh show nud permanent | sed 's/^/neigh /'
    ip -n "$SEG_PC" -4 route show table all | grep -v '^local\|^broadcast' | sed 's/^/route /'
}

seg_down() {
    seg_unit_stop
    local k
    for k in "${!SEG_RACK[@]}"; do
        seg_rack_unit_stop "$k"
        seg_netns_del "${SEG_RACK[k]}" 2>/dev/null
    done
    SEG_RACK=()
    [ -n "${SEG_PC:-}" ] && seg_netns_del "$SEG_PC" 2>/dev/null
    [ -n "${SEG_UNIT:-}" ] && seg_netns_del "$SEG_UNIT" 2>/dev/null
    [ -n "${SEG_WIFI:-}" ] && seg_netns_del "$SEG_WIFI" 2>/dev/null
    return 0
}
