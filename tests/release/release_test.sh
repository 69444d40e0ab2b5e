#!/usr/bin/env bash
# The release end to end: tools/release signs with a certificate from the environment and
# with its own test CA; every signed file verifies; then the installer is installed,
# started from its shortcut, upgraded, refused as a downgrade and removed in a Wine prefix
# of its own on a virtual display of its own (other tests look for Varnok's window).
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
root=$PWD
source tools/lib.sh
out=$root/build/release
work=$(mktemp -d)
failures=0

ok() { echo "ok - $*"; }
fail() {
    echo "FAILED - $*"
    failures=$((failures + 1))
}
# expect DESCRIPTION COMMAND...: the command succeeds.
expect() {
    local what=$1
    shift
    if "$@" >"$work/last.log" 2>&1; then ok "$what"; else
        fail "$what"
        sed 's/^/    /' "$work/last.log" | tail -20
    fi
}
signed_by() { # FILE CA SUBJECT: the signature verifies against CA and names SUBJECT
    osslsigncode verify -CAfile "$2" -in "$1" >"$work/verify.log" 2>&1 &&
        grep -q "Subject: /CN=$3" "$work/verify.log" &&
        grep -q "Signature verification: ok" "$work/verify.log"
}
# contains BIG SMALL: SMALL's bytes appear whole inside BIG.
contains() {
    od -An -v -tx1 "$2" | tr -d ' \n' >"$work/small.hex"
    od -An -v -tx1 "$1" | tr -d ' \n' | grep -cF -f "$work/small.hex" >/dev/null
}

# --- Signing with the environment's certificate: a company's own CA and a PKCS#12 file.
company=$work/company
mkdir -p "$company"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$company/ca.key" \
    -out "$company/ca.pem" -subj "/CN=Strandel test root" \
    -addext basicConstraints=critical,CA:TRUE 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$company/key.pem" -out "$company/req.csr" \
    -subj "/CN=Strandel code signing" 2>/dev/null
printf '%s\n' extendedKeyUsage=codeSigning >"$company/ext"
openssl x509 -req -in "$company/req.csr" -CA "$company/ca.pem" -CAkey "$company/ca.key" \
    -CAcreateserial -days 2 -extfile "$company/ext" -out "$company/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$company/key.pem" -in "$company/cert.pem" \
    -certfile "$company/ca.pem" -passout pass:'a pass phrase' -out "$company/signing.pfx"
# wixl, one of the programs the release starts, records the environment it was given.
spy=$work/spy
mkdir -p "$spy"
printf '#!/bin/sh\nenv >"%s/wixl.env"\nexec %s "$@"\n' "$spy" "$(command -v wixl)" >"$spy/wixl"
chmod +x "$spy/wixl"
expect "tools/release signs with VARNOK_SIGN_PKCS12" env PATH="$spy:$PATH" \
    VARNOK_SIGN_PKCS12="$company/signing.pfx" VARNOK_SIGN_PASSWORD='a pass phrase' tools/release
[ -f "$spy/wixl.env" ] && ! grep -q 'VARNOK_SIGN_PASSWORD\|a pass phrase' "$spy/wixl.env" &&
    ok "the password is in no child's environment" || fail "a child was given the password"
for file in signed/tftp.exe Varnok.exe; do
    expect "$file carries the company's signature" \
        signed_by "$out/$file" "$company/ca.pem" "Strandel code signing"
done

# --- Signing with the throw-away test CA, as on every build without a certificate.
expect "tools/release signs with a throw-away test CA" env -u VARNOK_SIGN_PKCS12 tools/release
version=$(cat "$out/cmake/version.txt")
project_version=$(sed -n 's/^project(Varnok VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$version" = "$project_version" ] && ok "release version $version is the project's" ||
    fail "release version '$version', project's '$project_version'"
msi=$out/Varnok-$version.msi
msi_version=$version # as the installer writes it: a.b.c
[[ $version =~ ^[0-9]+\.[0-9]+$ ]] && msi_version+=.0
for file in signed/tftp.exe Varnok.exe "Varnok-$version.msi"; do
    expect "$file verifies against the test CA" \
        signed_by "$out/$file" "$out/test-signing/ca.pem" "Varnok TEST signature"
done
! grep -rlq "PRIVATE KEY" "$out/test-signing" && ok "the test CA's folder keeps no private key" ||
    fail "private keys stay: $(grep -rl "PRIVATE KEY" "$out/test-signing")"
expect "Varnok.exe embeds the signed client" contains "$out/Varnok.exe" "$out/signed/tftp.exe"
expect "SHA256SUMS holds for the three files" bash -c "cd '$out' && sha256sum -c SHA256SUMS"
mkdir -p "$work/zip"
expect "the zip holds the program and its text" bash -c "cd '$work/zip' &&
    unzip -q '$out/Varnok-$version.zip' && cmp Varnok.exe '$out/Varnok.exe' &&
    grep -q 'What it needs' README.txt && [ \$(ls | wc -l) -eq 2 ]"

# --- Installing, upgrading, refusing a downgrade and removing, under Wine.
export WINEPREFIX=$out/wineprefix-install WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
tools/wineprefix "$WINEPREFIX" >/dev/null
unset DISPLAY
start_virtual_display
c=$WINEPREFIX/drive_c
program="$c/Program Files/Varnok/Varnok.exe"
user_files=$c/users/$(id -un)/AppData/Roaming/Varnok
msiexec() { wine msiexec "$@" /qn; }
shortcut() { find "$c" -iname Varnok.lnk -path "*Start Menu*" | head -1; }
uninstall_entries() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
        tr -d '\r' | grep -A30 '^HKEY' | awk '/^HKEY/ { key = $0 } /DisplayName +REG_SZ +Varnok$/ { print key }'
}
display_version() {
    wine reg query "$(uninstall_entries | head -1)" /v DisplayVersion 2>/dev/null | tr -d '\r' |
        awk '/DisplayVersion/ { print $3 }'
}

# netsh, as the uninstaller starts it, records its arguments (a Linux program in its place).
printf '#!/bin/sh\nprintf "%%s|" "$@" >>"%s/netsh.args"\n' "$work" >"$c/windows/system32/netsh.exe"
chmod +x "$c/windows/system32/netsh.exe"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netsh.exe=n"
expect "msiexec /i installs silently" msiexec /i "$(winepath -w "$msi" 2>/dev/null)"
[ -d "$c/ProgramData/Varnok" ] && ok "the installer makes the client's folder" ||
    fail "no ProgramData\\Varnok after installing"
expect "Varnok.exe is in Program Files\\Varnok, as signed" cmp "$program" "$out/Varnok.exe"
[ -n "$(shortcut)" ] && ok "the Start menu has Varnok" || fail "no Start-menu shortcut"
[ "$(uninstall_entries | wc -l)" -eq 1 ] && [ "$(display_version)" = "$msi_version" ] &&
    ok "installed programs list Varnok $msi_version" || fail "installed programs: $(uninstall_entries)"
code=$(uninstall_entries | grep -o '{[^}]*}')
[ -f "$c/windows/Installer/$code/VarnokIcon.ico" ] && ok "the entry's icon is published" ||
    fail "no icon published for $code"

# The technician starts it from the Start menu: the window comes up, from Program Files.
wine start "$(winepath -w "$(shortcut)" 2>/dev/null)" >/dev/null 2>&1 &
window=
for _ in $(seq 120); do
    window=$(xdotool search --name '^Varnok [0-9.]+$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] && ok "Varnok's window opens from the shortcut" || fail "no Varnok window"
installed='Program Files\\Varnok\\Varnok\.exe'
pgrep -f "$installed" >/dev/null && ok "it runs from Program Files" ||
    fail "no Varnok.exe from Program Files runs"
wine taskkill /im Varnok.exe >/dev/null 2>&1 # WM_CLOSE, as its close box
for _ in $(seq 40); do
    pgrep -f "$installed" >/dev/null || break
    sleep 0.25
done
pgrep -f "$installed" >/dev/null && fail "Varnok did not close" || ok "Varnok closes"

# What the technician and the program made meanwhile: the record and list, and the client.
mkdir -p "$user_files" "$c/ProgramData/Varnok"
printf 'Serial,Address\r\n1234,10.0.0.5\r\n' >"$user_files/units.csv"
printf 'When,Serial,Outcome\r\n2026-12-09 10:00,1234,SUCCESS!\r\n' >"$user_files/record.csv"
cp "$user_files/units.csv" "$user_files/record.csv" "$work/"
cp "$out/signed/tftp.exe" "$c/ProgramData/Varnok/tftp.exe"
# And a folder beside it that someone else made, holding what they like.
mkdir -p "$c/ProgramData/Varnok.other"
cp "$out/signed/tftp.exe" "$c/ProgramData/Varnok.other/tftp.exe"
echo '<assembly/>' >"$c/ProgramData/Varnok.other/tftp.exe.manifest"

# Another build of the same version replaces it rather than installing beside it.
major=${version%%.*}
minor=${version#*.}
minor=${minor%%.*}
newer=$major.$((minor + 1))
packaging/make-msi "$version" "$out/Varnok.exe" "$work/Varnok-rebuilt.msi" >/dev/null 2>&1
packaging/make-msi "$newer" "$out/Varnok.exe" "$work/Varnok-$newer.msi" >/dev/null 2>&1
expect "a rebuild of $version installs over it" msiexec /i "$(winepath -w "$work/Varnok-rebuilt.msi")"
[ "$(uninstall_entries | wc -l)" -eq 1 ] && ok "one Varnok is listed after the rebuild" ||
    fail "after the rebuild: $(uninstall_entries)"

expect "$newer installs over $version" msiexec /i "$(winepath -w "$work/Varnok-$newer.msi")"
[ "$(uninstall_entries | wc -l)" -eq 1 ] && [ "$(display_version)" = "$newer.0" ] &&
    ok "only $newer.0 is listed" || fail "after the upgrade: $(uninstall_entries) $(display_version)"

# 1603 (a fatal error) is 67 once a Unix exit status keeps its low byte. Wine's log does
# not carry the condition's text, so the message is read from the package itself.
msiexec /i "$(winepath -w "$msi")"
status=$?
[ "$status" -eq $((1603 % 256)) ] && ok "$version refuses to replace $newer (1603)" ||
    fail "the downgrade ended with $status"
grep -q "^NOT WIX_DOWNGRADE_DETECTED.A newer version of Varnok is already installed" \
    <<<"$(msiinfo export "$msi" LaunchCondition)" &&
    ok "with its message" || fail "no downgrade message in the package"
[ "$(display_version)" = "$newer.0" ] && [ -f "$program" ] && ok "$newer stays installed" ||
    fail "the downgrade changed the installation"

# Wine's installer leaves UPGRADINGPRODUCTCODE unset when an upgrade removes the older
# version, so the rule may have been removed then too (Varnok makes it again at its next
# upload); what counts is the removal itself.
rm -f "$work/netsh.args"
expect "msiexec /x removes it" msiexec /x "$(winepath -w "$work/Varnok-$newer.msi")"
[ ! -e "$c/Program Files/Varnok" ] && ok "Program Files\\Varnok is gone" ||
    fail "left in Program Files: $(ls -A "$c/Program Files/Varnok")"
[ -z "$(shortcut)" ] && ok "the shortcut is gone" || fail "shortcut left: $(shortcut)"
[ -z "$(uninstall_entries)" ] && ok "installed programs no longer list it" ||
    fail "still listed: $(uninstall_entries)"
[ ! -e "$c/ProgramData/Varnok" ] && ok "the program's client is gone" ||
    fail "left in ProgramData: $(ls -A "$c/ProgramData/Varnok")"
[ "$(ls -A "$c/ProgramData/Varnok.other" | tr '\n' ' ')" = "tftp.exe tftp.exe.manifest " ] &&
    ok "someone else's folder stays as it was" || fail "Varnok.other changed or went"
grep -qx 'advfirewall|firewall|delete|rule|name=Varnok TFTP client|' "$work/netsh.args" 2>/dev/null &&
    ok "the firewall rule is removed with the program" ||
    fail "netsh at removal: $(cat "$work/netsh.args" 2>/dev/null)"
cmp -s "$user_files/units.csv" "$work/units.csv" && cmp -s "$user_files/record.csv" "$work/record.csv" &&
    ok "the technician's list and record stay" || fail "the list or the record changed"

wineserver -k 2>/dev/null
rm -rf "$work"
[ "$failures" -eq 0 ] && echo "release: all passed" || echo "release: $failures FAILED"
[ "$failures" -eq 0 ]
