#!/bin/sh
# The installer as a user runs it, silently under Wine: on a Windows older
# than the binaries need, where it must refuse; into an empty folder on the
# oldest Windows they run on; over that install again, and with an older
# version over a newer one; and into a folder where the user already has a
# settings file and a key map.
# The companion program runs where it was installed; the uninstaller removes
# what was installed and leaves what is the user's, and removes nothing while
# a host has the plug-in loaded. The guide is a web page with its picture
# beside it, in the installer and in the zip alike. Each run's own account,
# its log in %TEMP%, must say what it did.
# The installer's two questions (a folder with no other plug-in, an older
# version over a newer one) are asked only interactively: no test clicks
# them.
set -u
wine_run="$1"
installer="$2"
stage="$3"
prefix="$4"
zip="$5"
host="$6"
failures=0
mkdir -p "$prefix"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Wine's drive C lies in the prefix. The path has no spaces: Wine quotes an
# argument with spaces anew, and the uninstaller then misses files.
win_folder='C:\pelcato-install-test'
folder="$prefix/drive_c/pelcato-install-test"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelcato'
programs="Pelcato.dll pltremotewrap.dll PelcatoRemote.exe Pelcato-Guide.html Pelcato-setup-dialog.png"
key_maps="PelcatoPCIDVD.cfg PelcatoMini.cfg"
# Wine tells one program that it runs on another Windows when the registry
# says so for that program's file name. A 64-bit prefix stands for the
# 64-bit edition of XP, whose version 5.2 the installer must count as XP's.
app_defaults="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$installer")"

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

# The installers' logs lie in the user's %TEMP%, on the prefix's drive C.
run cmd /c echo %TEMP%
temp="$prefix/drive_c/$(printf '%s\n' "$output" | sed -n 's/^[Cc]:\\//p' | tr '\\' /)"
[ -d "$temp" ] || fail "no %TEMP% folder: $output"
# The first Wine call has made the prefix.
if grep -q '^#arch=win64' "$prefix/system.reg"; then older_windows=winxp64; else older_windows=winxp; fi
# expect_log LOG LINE...: every LINE is a whole line of the log.
expect_log() {
    log="$1"; shift
    for line in "$@"; do
        tr -d '\r' 2>/dev/null <"$temp/$log" | grep -qxF "$line" || fail "$log lacks \"$line\": $(cat "$temp/$log" 2>/dev/null)"
    done
}
expect_not_logged() {
    ! tr -d '\r' 2>/dev/null <"$temp/$2" | grep -qF "$1" || fail "$2 says \"$1\": $(cat "$temp/$2")"
}
# A value of the entry in the list of programs, as reg prints it.
registry_value() { run reg query "$uninstall_key" /v "$1"; echo "$output" | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
# The total size of files in the folder, in whole KB rounded up.
size_kb() { total=0; for f in "$@"; do total=$((total + $(wc -c <"$folder/$f"))); done; echo $(((total + 1023) / 1024)); }
# A file's listing: names, sizes and contents.
fingerprints() { (cd "$folder" && ls -A | sort | while read -r f; do printf '%s %s\n' "$f" "$(cksum <"$f")"; done); }
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
expect_log Pelcato-setup.log "Pelcato remote-control plug-in needs Windows Vista or later: nothing was installed"
left=$(ls -A "$folder" 2>/dev/null | tr '\n' ' ')
[ -z "$left" ] || fail "on $older_windows the installer left in its folder: $left, expected nothing"
run reg query "$uninstall_key"
[ "$rc" -ne 0 ] || fail "on $older_windows the installer made an entry in the list of programs, expected none"

echo "An empty folder, on Windows Vista"
pretend_windows vista
install
stop_pretending
for file in $programs $key_maps Pelcato.ini; do
    expect_same "$stage/$file" "$folder/$file"
done
[ -f "$folder/Uninstall-Pelcato.exe" ] || fail "no uninstaller"
[ -e "$folder/pltremote.dll" ] && fail "the simulated receiver was installed"
expect_log Pelcato-setup.log "Installed PelcatoPCIDVD.cfg" "Installed PelcatoMini.cfg" "Installed Pelcato.ini"
run reg query "$uninstall_key" /v InstallLocation
echo "$output" | grep -qF "$win_folder" || fail "no entry in the list of programs: $output"
publisher=$(registry_value Publisher)
[ "$publisher" = "The Pelcato developers" ] || fail "the entry in the list of programs names the publisher \"$publisher\""
# What the uninstaller would remove: all the installed files but the settings.
size=$(registry_value EstimatedSize)
expected_size=$(size_kb $programs $key_maps Uninstall-Pelcato.exe)
[ -n "$size" ] && [ "$((size))" -eq "$expected_size" ] || fail "EstimatedSize is \"$size\", expected $expected_size KB"

# The guide: a web page for a double click, not the developers' README, and
# its picture beside it under the name that its link gives.
guide="$folder/Pelcato-Guide.html"
[ "$(head -c 15 "$guide")" = "<!DOCTYPE html>" ] || fail "Pelcato-Guide.html is no HTML page: $(head -c 80 "$guide")"
grep -qF '<img alt="The setup dialog' "$guide" && grep -qF 'src="Pelcato-setup-dialog.png"' "$guide" || fail "the guide shows no Pelcato-setup-dialog.png"
grep -qF '<h2 id="installing">Installing</h2>' "$guide" || fail "the guide has no Installing section"
for developers_only in "make demo" "For developers" "Debian" "docs/" "<!--"; do
    grep -qF "$developers_only" "$guide" && fail "the guide holds \"$developers_only\", which is for developers"
done
[ "$(od -An -tx1 -N8 "$folder/Pelcato-setup-dialog.png" | tr -d ' ')" = 89504e470d0a1a0a ] || fail "Pelcato-setup-dialog.png is no PNG picture"
ls "$folder" | grep -q '\.md$' && fail "a Markdown file was installed: $(ls "$folder")"
# The zip ships the same guide and picture, and nothing else of the kind.
rm -rf "$prefix/zip-test" && mkdir -p "$prefix/zip-test"
(cd "$prefix/zip-test" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
unpacked="$prefix/zip-test/$(basename "$zip" .zip)"
for file in Pelcato-Guide.html Pelcato-setup-dialog.png; do
    expect_same "$folder/$file" "$unpacked/$file"
done
ls "$unpacked" | grep -q '\.md$' && fail "the zip holds a Markdown file: $(ls "$unpacked")"
rm -rf "$prefix/zip-test"

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
cp "$folder/PelcatoMini.cfg" "$prefix/keymap.saved"

echo "Installing again over that"
# PelcatoPCIDVD.cfg stands for a key map of an earlier version, still as
# that version installed it: other text, but the size and time recorded.
cp -p "$folder/PelcatoPCIDVD.cfg" "$prefix/keymap.reference"
sed '1s/^./#/' "$prefix/keymap.reference" >"$folder/PelcatoPCIDVD.cfg"
touch -r "$prefix/keymap.reference" "$folder/PelcatoPCIDVD.cfg"
cmp -s "$stage/PelcatoPCIDVD.cfg" "$folder/PelcatoPCIDVD.cfg" && fail "the earlier key map is the same as the new one"
install
expect_same "$stage/PelcatoPCIDVD.cfg" "$folder/PelcatoPCIDVD.cfg"
expect_same "$prefix/keymap.saved" "$folder/PelcatoMini.cfg"
expect_same "$prefix/settings.saved" "$folder/Pelcato.ini"
expect_log Pelcato-setup.log "Updated PelcatoPCIDVD.cfg" "Kept your PelcatoMini.cfg, which you changed" "Kept your Pelcato.ini"
expect_not_logged "Kept your PelcatoPCIDVD.cfg" Pelcato-setup.log
# The changed key map is the user's now, not part of the installed size.
size=$(registry_value EstimatedSize)
expected_size=$(size_kb $programs PelcatoPCIDVD.cfg Uninstall-Pelcato.exe)
[ -n "$size" ] && [ "$((size))" -eq "$expected_size" ] || fail "after the update EstimatedSize is \"$size\", expected $expected_size KB"

echo "An older version over a newer one"
# The installed plug-in made to say it is version 9.0: its fixed version
# follows the signature 0xFEEF04BD and the structure's version.
perl -0777 -pi -e 's/\xBD\x04\xEF\xFE(.{4})..../\xBD\x04\xEF\xFE$1\x00\x00\x09\x00/s' "$folder/Pelcato.dll"
cp "$folder/Pelcato.dll" "$prefix/newer.dll"
cmp -s "$stage/Pelcato.dll" "$folder/Pelcato.dll" && fail "cannot make Pelcato.dll a newer version"
run "$installer" /S "/D=$win_folder"
[ "$rc" -eq 2 ] || fail "over a newer version the silent install exited with $rc, expected its refusal, 2: $output"
expect_same "$prefix/newer.dll" "$folder/Pelcato.dll"
expect_log Pelcato-setup.log "$win_folder holds Pelcato 9.0.0.0, newer than 1.0.0: nothing was installed (/DOWNGRADE before /D= installs 1.0.0 all the same)"
run "$installer" /S /DOWNGRADE "/D=$win_folder"
[ "$rc" -eq 0 ] || fail "with /DOWNGRADE the install exited with $rc: $output"
expect_same "$stage/Pelcato.dll" "$folder/Pelcato.dll"

uninstall
expect_left "Pelcato.ini PelcatoMini.cfg "
expect_same "$prefix/settings.saved" "$folder/Pelcato.ini"
expect_same "$prefix/keymap.saved" "$folder/PelcatoMini.cfg"
expect_log Pelcato-uninstall.log "Kept PelcatoMini.cfg, which you changed" "Kept Pelcato.ini, your settings"
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
expect_log Pelcato-setup.log "Kept your PelcatoMini.cfg, which was not installed by Pelcato remote-control plug-in" \
    "Installed PelcatoPCIDVD.cfg" "Kept your Pelcato.ini"
uninstall
expect_left "Pelcato.ini PelcatoMini.cfg "
expect_same "$prefix/settings.saved" "$folder/Pelcato.ini"
expect_same "$prefix/keymap.saved" "$folder/PelcatoMini.cfg"
expect_log Pelcato-uninstall.log "Kept PelcatoMini.cfg, which was not installed by Pelcato remote-control plug-in"

echo "Uninstalling while a host has the plug-in loaded"
rm -rf "$folder"
install
"$wine_run" "$host" "$win_folder\\Pelcato.dll" keys 1 20000 >"$prefix/host.out" 2>&1 &
host_pid=$!
# The host holds the plug-in once Wine has mapped it.
loaded=false
for _ in $(seq 100); do
    if grep -qs "pelcato-install-test/Pelcato.dll" /proc/[0-9]*/maps; then loaded=true; break; fi
    sleep 0.1
done
$loaded || fail "the host did not load the plug-in: $(cat "$prefix/host.out")"
fingerprints >"$prefix/files.before"
run "$folder/Uninstall-Pelcato.exe" /S "_?=$win_folder"
[ "$rc" -ne 0 ] || fail "uninstalling a plug-in in use exited with 0"
fingerprints >"$prefix/files.after"
cmp -s "$prefix/files.before" "$prefix/files.after" || fail "uninstalling a plug-in in use changed the folder:
$(diff "$prefix/files.before" "$prefix/files.after")"
expect_log Pelcato-uninstall.log "Pelcato.dll is in use: nothing was removed"
run reg query "$uninstall_key"
[ "$rc" -eq 0 ] || fail "uninstalling a plug-in in use removed the entry in the list of programs"
kill "$host_pid" 2>/dev/null
wait "$host_pid" 2>/dev/null

echo "Uninstalling with no settings file"
rm -f "$folder/Pelcato.ini"
uninstall
expect_left ""
expect_not_logged "Pelcato.ini" Pelcato-uninstall.log

rm -rf "$folder" "$prefix/install-test.out" "$prefix/settings.saved" "$prefix/keymap.saved" "$prefix/keymap.reference" \
    "$prefix/newer.dll" "$prefix/host.out" "$prefix/files.before" "$prefix/files.after"
[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit "$failures"
