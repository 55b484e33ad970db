#!/bin/sh
# The demo host as `make demo` runs it: the scripted session must come out
# as whole key presses, and a missing DLL as a clear message.
set -u
wine_run="$1"
bin="$2"
scratch="$3"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$scratch" && mkdir -p "$scratch"
# Windows programs end their lines with CR LF.
run() { "$wine_run" "$@" >"$scratch/output" 2>&1; rc=$?; output=$(tr -d '\r' <"$scratch/output"); }

run "$bin/DemoHost.exe"
echo "$output"
[ "$rc" -eq 0 ] || fail "DemoHost exited with $rc"

# The messages of the session, repeats counted as one: a tap, a held button,
# a takeover and an unmapped code.
kinds=$(echo "$output" | awk '$2 == "ms" { print $3 }' | uniq | tr '\n' ' ')
expected="press release press repeat release press repeat release press repeat release press release "
[ "$kinds" = "$expected" ] || fail "message kinds:
$kinds
expected:
$expected"
presses=$(echo "$output" | awk '$2 == "ms" && $3 == "press" { print $NF }' | tr '\n' ' ')
[ "$presses" = "0000001A 0000000B 0000000B 0000000C 000000FE " ] || fail "pressed codes: $presses"
# Key names from the shipped key map that the shipped settings file makes
# active; the unmapped code goes out as its code text.
keys=$(echo "$output" | awk '$2 == "ms" && $3 == "press" { print $4 }' | tr '\n' ' ')
[ "$keys" = "Power VolumeUp VolumeUp VolumeDown 000000FE " ] || fail "pressed keys: $keys"
echo "$output" | grep -q "press .*Power .*Pelcato PCI DVD remote .*0000001A" || fail "no model name with Power"

# Without the wrapper beside it, the demo names what is missing.
cp "$bin/DemoHost.exe" "$bin/Pelcato.dll" "$scratch/"
run "$scratch/DemoHost.exe"
[ "$rc" -eq 1 ] || fail "DemoHost without the wrapper exited with $rc"
echo "$output" | grep -q "pltremotewrap.dll is missing" || fail "DemoHost without the wrapper said: $output"
rm -rf "$scratch"

[ "$failures" -eq 0 ] && echo "demo: all checks passed"
exit "$failures"
