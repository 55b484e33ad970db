#!/bin/sh
# The installer as a user runs it, silently under Wine: on a Windows older
# than the binaries need, where it must refuse; into an empty folder on the
# oldest Windows they run on; and into one where the user already has a
# settings file and a key map.
# The companion program runs where it was installed; the uninstaller removes
# what was installed and leaves what is the user's.
set -u
wine_run="$1"
installer="$2"
stage="$3"
prefix="$4"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Wine's drive C lies in the prefix. The path has no spaces: Wine quotes an
# argument with spaces anew, and the uninstaller then misses files.
win_folder='C:\pelcato-install-test'
folder="$prefix/drive_c/pelcato-install-test"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelcato'
programs="Pelcato.dll pltremotewrap.dll PelcatoRemote.exe Pelcato-README.md"
# Wine tells one program that it runs on another Windows when the registry
# says so for that program's file name. A 64-bit prefix stands for the
# 64-bit edition of XP, whose version 5.2 the installer must count as XP's.
app_defaults="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$installer")"
if grep -q '^#arch=win64' "$prefix/system.reg"; then older_windows=winxp64; else older_windows=winxp; fi

# Windows programs end their lines with CR LF.
run() { "$wine_run" "$@" >"$prefix/install-test.out" 2>&1; rc=$?; output=$(tr -d '\r' <"$prefix/install-test.out"); }
install() { run "$installer" /S "/D=$win_folder"; [ "$rc" -eq 0 ] || fail "install exited with $rc: $output"; }
uninstall() {
    run "$folder/Uninstall-Pelcato.exe" /S "_?=$win_folder"
    [ "$rc" -eq 0 ] || fail "uninstall exited with $rc: $output"
    # Run in place, the uninstaller cannot delete itself.
    rm -f "$folder/Uninstall-Pelcato.exe"
}
pretend_windows() {
    run reg add "$app_defaults" /v Version /d "$1" /f
    [ "$rc" -eq 0 ] || fail "cannot make Wine report Windows $1: $output"
}
stop_pretending() {
    run reg delete "$app_defaults" /f
    [ "$rc" -eq 0 ] || fail "cannot delete $app_defaults: $output"
}
expect_same() { cmp -s "$1" "$2" || fail "$(basename "$2") differs from $1"; }
expect_left() {
    left=$(ls -A "$folder" 2>/dev/null | sort | tr '\n' ' ')
    [ "$left" = "$1" ] || fail "after uninstall the folder holds: $left
expected: $1"
}

echo "Windows older than Vista ($older_windows)"
rm -rf "$folder"
pretend_windows "$older_windows"
run "$installer" /S "/D=$win_folder"
[ "$rc" -eq 2 ] || fail "on $older_windows the installer exited with $rc, expected its refusal, 2: $output"
left=$(ls -A "$folder" 2>/dev/null | tr '\n' ' ')
[ -z "$left" ] || fail "on $older_windows the installer left in its folder: $left, expected nothing"
run reg query "$uninstall_key"
[ "$rc" -ne 0 ] || fail "on $older_windows the installer made an entry in the list of programs, expected none"

echo "An empty folder, on Windows Vista"
pretend_windows vista
install
stop_pretending
for file in $programs PelcatoPCIDVD.cfg PelcatoMini.cfg Pelcato.ini; do
    expect_same "$stage/$file" "$folder/$file"
done
[ -f "$folder/Uninstall-Pelcato.exe" ] || fail "no uninstaller"
[ -e "$folder/pltremote.dll" ] && fail "the simulated receiver was installed"
run reg query "$uninstall_key" /v InstallLocation
echo "$output" | grep -qF "$win_folder" || fail "no entry in the list of programs: $output"

run "$folder/PelcatoRemote.exe" check
[ "$rc" -eq 0 ] || fail "PelcatoRemote check found problems in the installed key maps: $output"
# No tuner card software here, so no pltremote.dll beside the wrapper: the
# program must still start and tell the user what to install.
run "$folder/PelcatoRemote.exe" devices
[ "$rc" -eq 2 ] || fail "PelcatoRemote devices without a receiver exited with $rc: $output"
echo "$output" | grep -qF "The receiver does not answer" || fail "PelcatoRemote devices without a receiver said: $output"
# The user adds a button the wrong way, and the check in its own folder
# says where; the settings change as the setup dialog changes them.
printf '1A=Power\r\n' >>"$folder/PelcatoMini.cfg"
lines=$(wc -l <"$folder/PelcatoMini.cfg")
run "$folder/PelcatoRemote.exe" check
[ "$rc" -eq 1 ] || fail "PelcatoRemote check exited with $rc on a wrong entry"
echo "$output" | grep -qF "PelcatoMini.cfg($lines): \"1A\" never matches" || fail "PelcatoRemote check said: $output"
printf 'Interval=70\r\n' >>"$folder/Pelcato.ini"
cp "$folder/Pelcato.ini" "$prefix/settings.saved"

uninstall
expect_left "Pelcato.ini PelcatoMini.cfg "
expect_same "$prefix/settings.saved" "$folder/Pelcato.ini"
run reg query "$uninstall_key"
[ "$rc" -ne 0 ] || fail "the entry in the list of programs is still there"

echo "A folder with the user's own settings file and key map"
rm -rf "$folder" && mkdir -p "$folder"
printf '[Main]\r\nDefaultConfig=PelcatoMini.cfg\r\nInterval=70\r\n' >"$folder/Pelcato.ini"
printf '[Setup]\r\nName=My remote\r\n[Keys]\r\n0000001A=Standby\r\n' >"$folder/PelcatoMini.cfg"
cp "$folder/Pelcato.ini" "$prefix/settings.saved"
cp "$folder/PelcatoMini.cfg" "$prefix/keymap.saved"
install
expect_same "$prefix/settings.saved" "$folder/Pelcato.ini"
expect_same "$prefix/keymap.saved" "$folder/PelcatoMini.cfg"
expect_same "$stage/PelcatoPCIDVD.cfg" "$folder/PelcatoPCIDVD.cfg"
uninstall
expect_left "Pelcato.ini PelcatoMini.cfg "
expect_same "$prefix/settings.saved" "$folder/Pelcato.ini"
expect_same "$prefix/keymap.saved" "$folder/PelcatoMini.cfg"

rm -rf "$folder" "$prefix/install-test.out" "$prefix/settings.saved" "$prefix/keymap.saved"
[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit "$failures"
