#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every file lands where a desktop
# looks for it, and that Debian's validators accept the desktop entry, the archive type, the
# AppStream metadata, the icons and the manual pages.
set -euo pipefail
build=$1 source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$root/usr" >/dev/null
share=$root/usr/share

expected=(
    bin/Morvane bin/morvane-cli
    share/applications/org.morvane.Morvane.desktop
    share/metainfo/org.morvane.Morvane.metainfo.xml
    share/mime/packages/org.morvane.Morvane.xml
    share/man/man1/morvane-cli.1.gz share/man/man1/Morvane.1.gz
    share/bash-completion/completions/morvane-cli
    share/doc/morvane/copyright share/doc/morvane/changelog.gz
    share/icons/hicolor/scalable/apps/org.morvane.Morvane.svg
    share/icons/hicolor/scalable/mimetypes/application-x-morvane-pod.svg
)
for size in 16 32 48 64 128; do
    expected+=(share/icons/hicolor/${size}x${size}/apps/org.morvane.Morvane.png
               share/icons/hicolor/${size}x${size}/mimetypes/application-x-morvane-pod.png)
done
for file in "${expected[@]}"; do
    [ -f "$root/usr/$file" ] || fail "not installed: $file"
done
for program in Morvane morvane-cli; do
    [ -x "$root/usr/bin/$program" ] || fail "not executable: bin/$program"
done
extra=$(cd "$root/usr" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "installed but not expected: $extra"

# Each PNG is square at the size of its folder.
for size in 16 32 48 64 128; do
    for png in "$share"/icons/hicolor/${size}x${size}/*/*.png; do
        dimensions=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
        [ "$dimensions" = "${size}x${size}" ] || fail "$png is $dimensions"
    done
done
# The 32 x 32 program icon is the window icon itself.
cmp -s "$share/icons/hicolor/32x32/apps/org.morvane.Morvane.png" "$source/src/app/pictures/Morvane.png" \
    || fail "the 32x32 icon differs from the window icon"

output=$(desktop-file-validate "$share/applications/org.morvane.Morvane.desktop" 2>&1) \
    && [ -z "$output" ] || fail "desktop-file-validate: $output"
grep -qx 'Exec=Morvane %f' "$share/applications/org.morvane.Morvane.desktop" || fail "Exec line"
grep -qx 'MimeType=application/x-morvane-pod;' "$share/applications/org.morvane.Morvane.desktop" || fail "MimeType line"

output=$(appstreamcli validate --no-net --pedantic "$share/metainfo/org.morvane.Morvane.metainfo.xml" 2>&1) \
    || fail "appstreamcli validate: $output"
# The only remark allowed is the id's capital letter, which names the program.
remarks=$(grep -E '^[EWIP]: ' <<<"$output" | grep -v 'cid-contains-uppercase-letter' || true)
[ -z "$remarks" ] || fail "appstreamcli validate: $remarks"

for xml in "$share"/mime/packages/*.xml "$share"/metainfo/*.xml "$share"/icons/hicolor/scalable/*/*.svg; do
    output=$(xmllint --noout "$xml" 2>&1) || fail "xmllint $xml: $output"
done
mkdir -p "$root/mime/packages"
cp "$share/mime/packages/org.morvane.Morvane.xml" /usr/share/mime/packages/freedesktop.org.xml "$root/mime/packages/"
output=$(XDG_DATA_DIRS=$root update-mime-database "$root/mime" 2>&1) && [ -z "$output" ] || fail "update-mime-database: $output"
grep -q '^application/x-morvane-pod:\*\.pod$' "$root/mime/globs" || fail "no *.pod glob in the database"
grep -q '^application/x-morvane-pod:\*\.epd$' "$root/mime/globs" || fail "no *.epd glob in the database"
grep -qx 'application/x-morvane-pod:application-x-morvane-pod' "$root/mime/icons" || fail "no icon in the database"

for page in "$share"/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
done
man -l "$share/man/man1/morvane-cli.1.gz" 2>/dev/null | grep -q 'morvane-cli - build, inspect' || fail "morvane-cli.1 NAME"

[ "$failures" -eq 0 ] && echo "install tree: ${#expected[@]} files, all valid"
exit "$failures"
