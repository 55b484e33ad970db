#!/bin/sh
# Checks the shipped binaries as Windows will see them: the exact export
# names, the import tables, that no compiler runtime DLL is needed, and the
# version resource that Explorer shows. Each build is read with the objdump
# of its own format: x86 for the product, x64 for the test build.
set -eu
bin="$1"
version="$2"
arch="$3"
failures=0

# The names Microsoft's compiler gives the vendor's members differ by
# architecture; both lists are written out here, apart from the header the
# build takes them from, so that a wrong name there fails here.
case "$arch" in
x86)
    objdump=i686-w64-mingw32-objdump
    expected_vendor=$(printf '%s\n' '??0CPLTRemote@@QAE@XZ' '??1CPLTRemote@@QAE@XZ' '?GetCode@CPLTRemote@@QAEJPAE@Z' \
        '?GetDeviceName@CPLTRemote@@QAEPADK@Z' '?SelectDevice@CPLTRemote@@QAEJK@Z' | sort)
    format=pei-i386
    ;;
x64)
    objdump=x86_64-w64-mingw32-objdump
    expected_vendor=$(printf '%s\n' '??0CPLTRemote@@QEAA@XZ' '??1CPLTRemote@@QEAA@XZ' '?GetCode@CPLTRemote@@QEAAJPEAE@Z' \
        '?GetDeviceName@CPLTRemote@@QEAAPEADK@Z' '?SelectDevice@CPLTRemote@@QEAAJK@Z' | sort)
    format=pei-x86-64
    ;;
*) echo "usage: $0 BIN VERSION x86|x64" >&2; exit 2 ;;
esac

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A binary that is missing fails outright: an empty export list must never
# pass for one that is merely absent. Every binary is of the build's own
# architecture.
for file in Pelcato.dll pltremotewrap.dll pltremote.dll PelcatoRemote.exe DemoHost.exe wrapper_tests.exe; do
    [ -f "$bin/$file" ] || { echo "FAIL: $bin/$file was not built"; exit 1; }
    actual=$("$objdump" -f "$bin/$file" | sed -n 's/.*file format //p')
    [ "$actual" = "$format" ] || fail "$file is $actual, not $format"
done

exports() { "$objdump" -p "$bin/$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort; }
imported_dlls() { "$objdump" -p "$bin/$1" | sed -n 's/^\s*DLL Name: //p' | sort; }
imports_from() { "$objdump" -p "$bin/$1" | sed -n "/DLL Name: $2/,/^\$/p" | awk '$1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}' | sort; }

expect_exports() {
    dll="$1"; shift
    actual=$(exports "$dll")
    expected=$(printf '%s\n' "$@" | sort)
    [ "$actual" = "$expected" ] || fail "$dll exports:
$actual
expected:
$expected"
}

expect_exports Pelcato.dll Open Start Stop Setup Close _SetupForm
# The wrapper's seven exports, by the names wrapper/PltRemoteWrap.h gives.
wrapper_exports="_RemoteCreate@0 _RemoteRelease@0 _GetCode@4 _GetDeviceName@4 _SelectDevice@4 _GetCardType@0 _SetChipTypeTM@4"
expect_exports pltremotewrap.dll $wrapper_exports

# The wrapper tests call all seven functions, so their import table shows
# that the import library names each export exactly as the DLL does.
tests_imports=$(imports_from wrapper_tests.exe pltremotewrap.dll)
expected_wrapper=$(printf '%s\n' $wrapper_exports | sort)
[ "$tests_imports" = "$expected_wrapper" ] || fail "wrapper_tests.exe imports from pltremotewrap.dll:
$tests_imports
expected:
$expected_wrapper"

# The plug-in loads the wrapper at run time from its own folder. An import
# would be looked for beside the host's program instead, and would keep the
# host from loading the plug-in where the card's software is not installed.
for dll in Pelcato.dll PelcatoRemote.exe; do
    imported_dlls "$dll" | grep -qi '^pltremote' && fail "$dll imports $(imported_dlls "$dll" | grep -i '^pltremote' | tr '\n' ' ')"
done

vendor_imports=$(imports_from pltremotewrap.dll pltremote.dll)
[ "$vendor_imports" = "$expected_vendor" ] || fail "pltremotewrap.dll imports from pltremote.dll:
$vendor_imports
expected:
$expected_vendor"

# The simulated receiver offers the vendor's members under the same names,
# and otherwise only its Sim* control functions.
vendor_exports=$(exports pltremote.dll | grep -v '^Sim' || true)
[ "$vendor_exports" = "$expected_vendor" ] || fail "pltremote.dll exports besides Sim*:
$vendor_exports
expected:
$expected_vendor"

for dll in Pelcato.dll pltremotewrap.dll pltremote.dll PelcatoRemote.exe; do
    # DLL names are compared as Windows does, without regard to case.
    for dependency in $(imported_dlls "$dll"); do
        case "$(echo "$dependency" | tr a-z A-Z)" in
        KERNEL32.DLL | USER32.DLL | GDI32.DLL | COMCTL32.DLL | MSVCRT.DLL | PLTREMOTEWRAP.DLL | PLTREMOTE.DLL) ;;
        *) fail "$dll needs $dependency, which a user does not have" ;;
        esac
    done
done

# A version resource holds its texts as UTF-16; each value follows its key.
version_text() { strings -n 3 -e l "$bin/$1" | sed -n "/^$2\$/{n;p;q}"; }
for file in Pelcato.dll pltremotewrap.dll pltremote.dll DemoHost.exe PelcatoRemote.exe; do
    for key in ProductVersion FileVersion; do
        [ "$(version_text "$file" "$key")" = "$version" ] || fail "$file: $key is '$(version_text "$file" "$key")', not $version"
    done
    [ "$(version_text "$file" OriginalFilename)" = "$file" ] || fail "$file: OriginalFilename is '$(version_text "$file" OriginalFilename)'"
done

# PelcatoRemote carries its own application manifest, resource 1 of type
# RT_MANIFEST (24), or Windows would treat it as a program from before Vista
# and redirect its writes. The manifest's text lies in the resources as is.
manifest_id=$("$objdump" -p "$bin/PelcatoRemote.exe" |
    awk '/^[0-9a-f]+   Entry: ID: 0x000018,/ {type = 1; next} type && /Entry: ID:/ {print $4; exit}')
[ "$manifest_id" = "0x000001," ] || fail "PelcatoRemote.exe: the manifest's resource id is '$manifest_id', not 0x000001"
manifest_text=$(strings -n 8 "$bin/PelcatoRemote.exe")
for line in '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' \
    '<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
    echo "$manifest_text" | grep -qF "$line" || fail "PelcatoRemote.exe: the manifest lacks $line"
done

[ "$failures" -eq 0 ] && echo "binaries: all checks passed"
exit "$failures"
