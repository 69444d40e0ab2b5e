# Shared by tools/test and tools/run: installing what is missing, and a virtual display.

# Debian packages the build and the tests need.
VARNOK_PACKAGES=(
    cmake ninja-build ccache g++ googletest clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core
    tftpd-hpa tftp-hpa iproute2
    osslsigncode openssl wixl msitools zip
)

ensure_packages() {
    local missing=()
    local p
    for p in "${VARNOK_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# Starts Xvfb on a free display for this script's life unless a display is usable already.
start_virtual_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    new_virtual_display || return 1
    trap stop_virtual_displays EXIT
}

# Starts one more Xvfb on a free display and points DISPLAY at it; stop_virtual_displays
# ends every one this shell started.
VARNOK_XVFB_PIDS=()
new_virtual_display() {
    local n
    for n in $(seq 90 160); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        local pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        # Another program may have taken the number meanwhile: then the next one.
        if xdpyinfo >/dev/null 2>&1 && kill -0 "$pid" 2>/dev/null; then
            VARNOK_XVFB_PIDS+=("$pid")
            return 0
        fi
        kill "$pid" 2>/dev/null
    done
    echo "No free X display number for Xvfb" >&2
    return 1
}

stop_virtual_displays() {
    [ ${#VARNOK_XVFB_PIDS[@]} -eq 0 ] || kill "${VARNOK_XVFB_PIDS[@]}" 2>/dev/null
    VARNOK_XVFB_PIDS=()
    return 0
}
