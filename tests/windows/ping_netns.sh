#!/usr/bin/env bash
# Runs the real-echo tests inside a network namespace of their own, so that the address
# nobody answers is one on a veth link made here, never one outside this machine:
#   ns A (test): lo up, veth 10.231.0.1/24 <-> veth in ns B (peer): no address at all.
# Needs root; otherwise it says so and reports the test as skipped (exit 77).
# Usage: ping_netns.sh TEST_EXE WINEPREFIX [TEST ARGUMENTS...]
set -uo pipefail
exe=$1
prefix=$2
shift 2 # the rest goes to the test program
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
a=varnok-ping-$$
b=varnok-peer-$$

if [ "$(id -u)" -ne 0 ] || ! ip netns add "$a" 2>/dev/null; then
    echo "SKIPPED: real-echo tests need root to make a network namespace"
    exit 77
fi
cleanup() {
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    ip netns del "$a" 2>/dev/null
    ip netns del "$b" 2>/dev/null
}
trap cleanup EXIT
ip netns add "$b"
ip -n "$a" link set lo up
ip -n "$a" link add veth0 type veth peer name veth1 netns "$b"
ip -n "$a" addr add 10.231.0.1/24 dev veth0
ip -n "$a" link set veth0 up
ip -n "$b" link set veth1 up

# This prefix's wineserver (and the service process that sends the echoes) must start
# inside the namespace: the prefix is used by nothing else.
ip netns exec "$a" env WINEPREFIX="$prefix" "$tools/wineprefix" "$prefix" >/dev/null || exit 1
ip netns exec "$a" env WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    VARNOK_SILENT_ADDRESS=10.231.0.2 wine "$exe" "$@"
