#!/usr/bin/env bash
# Builds Morvane's installer (Morvane-<version>-x64.msi) from the Windows build of the
# application and checks it in a fresh Wine prefix as a Windows user meets it: a silent install;
# the files under Program Files\Morvane, the Start menu shortcut, the .pod and .epd associations,
# morvane-cli on the PATH, the entry in "Apps & features"; the installed morvane-cli building an
# archive byte-identical to the Linux tool's and listing it in a console window, where its
# accented names must show as they are; an archive opened through its association on a virtual
# display (screenshot beside the build folder); a higher version installed over it leaving one
# entry; an uninstall that leaves nothing it added and the user's settings file alone.
#
#   scripts/test-windows-installer.sh BUILD_DIR    (the application's Windows build folder)
#
# Called by scripts/test-windows-app.sh once the build and its tests have passed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
source scripts/project-version.sh

say() { printf 'test-windows-installer: %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

# Run on the virtual display, where Wine can make console windows: list the archive $2 with the
# installed morvane-cli in a console window (through console-capture, $4) and check that its
# names show as they are; then open the archive as Explorer would (wine start), wait for the
# archive window, take a screenshot ($3) and check that the window shows and is drawn.
if [ "${1:-}" = --open-run ]; then
    archive="$2" shot="$3" capture="$4"
    wine_window_manager
    shown="${shot%.png}-console.txt"
    wine "$capture" "$(winepath -w "$shown")" cmd /c morvane-cli list "$(winepath -w "$archive")" \
        || die "morvane-cli list failed in a console window (status $?)"
    grep -qx 'Data\\Sub\\été.txt' "$shown" || die "the console showed other names:"$'\n'"$(cat "$shown")"
    say "a console window showed the archive's names as they are ($shown)"
    wine start "$(winepath -w "$archive")" >"${shot%.png}.log" 2>&1
    title="$(basename "$archive") - Morvane"
    window="$(wine_wait_for_window "$title")" \
        || die "no window titled '$title' within 2 minutes (output: ${shot%.png}.log)"
    wine_shoot_window "$window" "$shot"
    say "archive window ${WIDTH}x${HEIGHT} at ${X},${Y} with $COLOURS colours; screenshot $shot"
    [ "$COLOURS" -ge 8 ] || die "the archive window shows only $COLOURS colours: it did not paint"
    exit 0
fi

build="$(cd "$1" && pwd)"
version="$(project_version "$build")"
say "making Morvane-$version-x64.msi"
cmake --build "$build" --target morvane-msi >/dev/null
msi="$build/Morvane-$version-x64.msi"
[ -f "$msi" ] || die "$msi was not made"
cmake --build "$build" --target console-capture >/dev/null
capture="$build/tests/console-capture.exe"

# The summary information a file manager shows.
summary="$(msiinfo suminfo "$msi")"
for field in "Title: Installation Database" "Subject: Morvane $version" "Author: The Morvane developers" \
    "Comments: Morvane builds POD3 archives"; do
    grep -q "^$field" <<<"$summary" || die "the package's summary lacks '$field':"$'\n'"$summary"
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The same files under a higher version, to install over the first.
IFS=. read -r major minor patch <<<"$version"
newer="$major.$minor.$((${patch:-0} + 1))"
bash data/windows/make-msi.sh "$newer" "$build/morvane-windows" "$build" "$work/Morvane-$newer-x64.msi"

# The Linux tool the installed one is compared with.
if [ -f build/build.ninja ]; then
    linux_build=build
else
    linux_build="$build/linux-cli"
    cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
        -DMORVANE_BUILD_GUI=OFF >/dev/null
fi
cmake --build "$linux_build" --target morvane-cli >/dev/null
linux="$(cd "$linux_build" && pwd)/src/cli/morvane-cli"

prefix="$build/installer-prefix"
say "creating a fresh Wine prefix in $prefix"
if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w
    rm -rf "$prefix"
fi
wine_start "$prefix"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Morvane"
# Everything in the prefix: its files and folders, and its registry keys (written out when the
# wineserver stops).
snapshot() {
    wine_stop
    (cd "$WINEPREFIX" && find drive_c | sort) >"$work/files-$1"
    grep -h '^\[' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sed 's/\] [0-9]*$/]/' | sort >"$work/keys-$1"
    wineserver -p
}
# The default value, or the named one, of a registry key; empty when there is none.
reg_value() {
    local name=(/ve)
    [ -z "${2:-}" ] || name=(/v "$2")
    wine reg query "$1" "${name[@]}" 2>/dev/null | tr -d '\r' \
        | sed -n 's/^    [^ ].*    REG_[A-Z_]*    //p' | head -n 1
}
# The system PATH's entries, one a line; empty ones, which removing an entry may leave, are not
# entries.
path_entries() {
    reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' PATH | tr ';' '\n' | grep -v '^$' || true
}
# The keys of the uninstall entries named Morvane.
morvane_entries() {
    local uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' key
    for key in $(wine reg query "$uninstall" 2>/dev/null | tr -d '\r' | grep '^HKEY.*\\{'); do
        [ "$(reg_value "$key" DisplayName)" != Morvane ] || echo "$key"
    done
}
snapshot before
path_before="$(path_entries)"

say "installing silently"
wine msiexec /i "$(winepath -w "$msi")" /qn || die "msiexec /i failed with status $?"

# Every file the portable folder holds, and nothing else, byte for byte.
diff -r "$build/morvane-windows" "$installed" || die "the installed files differ from morvane-windows/"
# Both executables carry their version information and a manifest declaring long paths.
for program in Morvane.exe morvane-cli.exe; do
    wrestool -x --raw --type=24 "$installed/$program" | grep -q '<longPathAware[^>]*>true</longPathAware>' \
        || die "$program declares no long-path awareness"
    information="$(wrestool -x --raw --type=16 "$installed/$program" | strings -el -n 3)"
    for value in "The Morvane developers" "Copyright 2026 The Morvane developers" Morvane "$version"; do
        grep -qx "$value" <<<"$information" || die "$program's version information lacks '$value'"
    done
done
shortcuts=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Morvane.lnk"
    "$drive_c"/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/Morvane.lnk)
found=0
for shortcut in "${shortcuts[@]}"; do [ ! -f "$shortcut" ] || found=$((found + 1)); done
[ "$found" -eq 1 ] || die "expected one Start menu shortcut 'Morvane', found $found"

exe='C:\Program Files\Morvane\Morvane.exe'
for extension in .pod .epd; do
    [ "$(reg_value "HKCR\\$extension")" = Morvane.Archive ] || die "$extension is not associated with Morvane"
done
[ "$(reg_value 'HKCR\Morvane.Archive')" = "POD3 archive" ] || die "the archive type has no description"
[ "$(reg_value 'HKCR\Morvane.Archive\DefaultIcon')" = "$exe,1" ] || die "the archive type has no icon"
command="$(reg_value 'HKCR\Morvane.Archive\shell\open\command')"
[ "$command" = "\"$exe\" \"%1\"" ] || die "the archive type opens with '$command'"

path_after="$(path_entries)"
[ "$path_after" = "$path_before"$'\n''C:\Program Files\Morvane\' ] || die "the system PATH is:"$'\n'"$path_after"
help="$(wine cmd /c morvane-cli --help | tr -d '\r')"
[[ "$help" == "Usage: morvane-cli COMMAND"* ]] || die "morvane-cli is not found on the PATH: $help"

entries=($(morvane_entries))
[ "${#entries[@]}" -eq 1 ] || die "expected one uninstall entry named Morvane, found ${#entries[@]}"
[ "$(reg_value "${entries[0]}" DisplayVersion)" = "$version" ] || die "the uninstall entry's version is wrong"
[ "$(reg_value "${entries[0]}" Publisher)" = "The Morvane developers" ] || die "the uninstall entry has no publisher"
# "Apps & features" shows the product's icon, which Windows Installer keeps in its own folder.
code="${entries[0]##*\\}"
packed="$(sed -E 's/[{}-]//g' <<<"$code")"
packed="$(rev <<<"${packed:0:8}")$(rev <<<"${packed:8:4}")$(rev <<<"${packed:12:4}")$(sed -E 's/(.)(.)/\2\1/g' <<<"${packed:16}")"
icon="$(reg_value "HKLM\\Software\\Classes\\Installer\\Products\\$packed" ProductIcon)"
[ -n "$icon" ] && [ -f "$(winepath -u "$icon")" ] || die "the uninstall entry has no icon ($icon)"

say "building an archive with the installed morvane-cli and with the Linux one"
export TZ=Europe/Paris
tree="$work/tree"
mkdir -p "$tree/Data/Sub"
printf 'alpha\r\nbeta\n' >"$tree/a.txt"
head -c 300000 /dev/urandom >"$tree/Data/random.bin"
printf 'summer' >"$tree/Data/Sub/été.txt"
touch -d '2010-01-15 13:00:00' "$tree/a.txt" "$tree/Data/random.bin"
touch -d '2010-07-15 14:00:00' "$tree/Data/Sub/été.txt"
"$linux" mklist "$tree" -o "$tree/list.txt"
"$linux" build "$tree/list.txt" -o "$work/linux.pod" --description "Installed" --quiet
wine cmd /c morvane-cli build "$(winepath -w "$tree/list.txt")" -o "$(winepath -w "$work/sample.pod")" \
    --description Installed --quiet || die "the installed morvane-cli failed to build the archive"
cmp "$work/linux.pod" "$work/sample.pod" || die "the installed morvane-cli built another archive"

say "listing the archive in a console window and opening it through its association"
shot="$(dirname "$build")/installed-open.png"
rm -f "$shot"
snapshot before-running
xvfb-run -a -s "-screen 0 1024x600x24" bash "$0" --open-run "$work/sample.pod" "$shot" "$capture"
snapshot after-running

say "installing Morvane $newer over it"
settings="$(winepath -u 'C:\users')/$(whoami)/AppData/Roaming/Morvane/Morvane.ini"
wine msiexec /i "$(winepath -w "$work/Morvane-$newer-x64.msi")" /qn || die "the upgrade failed with status $?"
entries=($(morvane_entries))
[ "${#entries[@]}" -eq 1 ] || die "after the upgrade: ${#entries[@]} uninstall entries named Morvane"
[ "$(reg_value "${entries[0]}" DisplayVersion)" = "$newer" ] || die "the upgrade left the old version's entry"
diff -r "$build/morvane-windows" "$installed" || die "the upgrade left other files"
[ "$(path_entries)" = "$path_after" ] || die "the upgrade left the PATH as:"$'\n'"$(path_entries)"

say "uninstalling"
mkdir -p "$(dirname "$settings")"
printf '[dir]\r\nworkdir=C:\\Travail\r\n' >"$settings"
wine msiexec /x "$(winepath -w "$work/Morvane-$newer-x64.msi")" /qn || die "msiexec /x failed with status $?"
[ "$(cat "$settings")" = $'[dir]\r\nworkdir=C:\\Travail\r' ] || die "the uninstall touched the settings file"
[ "$(path_entries)" = "$path_before" ] || die "the uninstall left the PATH as:"$'\n'"$(path_entries)"
rm -r "$(dirname "$settings")"
snapshot after
# What may stay is Windows Installer's own bookkeeping, emptied (the folder of its cache, the keys
# that list installed products), and what running the programs made, which is not the installer's
# (the console's settings, Windows' caches of its own driver descriptions).
made_by_running() {
    comm -13 "$work/$1-before-running" "$work/$1-after-running"
}
installer_keys='^\[Software\\\\(Classes\\\\Installer\\\\(Features|Products|UpgradeCodes)|Microsoft\\\\Windows\\\\CurrentVersion\\\\Installer\\\\(UpgradeCodes|UserData\\\\S-1-5-18\\\\(Components|Products)))\]$'
left="$(comm -13 "$work/files-before" "$work/files-after" | comm -23 - <(made_by_running files) \
    | grep -vx 'drive_c/windows/Installer' || true)"
[ -z "$left" ] || die "the uninstall left files behind:"$'\n'"$left"
left="$(comm -13 "$work/keys-before" "$work/keys-after" | comm -23 - <(made_by_running keys) \
    | grep -Ev "$installer_keys" || true)"
[ -z "$left" ] || die "the uninstall left registry keys behind:"$'\n'"$left"
say "the installer passed every check"
