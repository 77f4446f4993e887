#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a temporary root and checks
# its files, its computed dependencies and lintian's verdict (errors fail; warnings are shown).
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; exit 1; }
deb=$work/morvane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { fail "no $(basename "$deb"): $(ls "$work")"; exit 1; }

dpkg -x "$deb" "$work/root"
for file in usr/bin/Morvane usr/bin/morvane-cli \
        usr/share/applications/org.morvane.Morvane.desktop \
        usr/share/mime/packages/org.morvane.Morvane.xml \
        usr/share/metainfo/org.morvane.Morvane.metainfo.xml \
        usr/share/icons/hicolor/48x48/apps/org.morvane.Morvane.png \
        usr/share/icons/hicolor/scalable/apps/org.morvane.Morvane.svg \
        usr/share/icons/hicolor/48x48/mimetypes/application-x-morvane-pod.png \
        usr/share/man/man1/morvane-cli.1.gz usr/share/man/man1/Morvane.1.gz \
        usr/share/bash-completion/completions/morvane-cli \
        usr/share/doc/morvane/copyright usr/share/doc/morvane/changelog.gz; do
    [ -f "$work/root/$file" ] || fail "not in the package: /$file"
done
# The newest release the changelog and the AppStream metadata name is the one packaged, whose
# version project() in CMakeLists.txt gives.
newest=$(gzip -dc "$work/root/usr/share/doc/morvane/changelog.gz" | sed -n '1s/^morvane (\([^)]*\)).*/\1/p')
[ "$newest" = "$version" ] || fail "the changelog's newest entry is '$newest', not $version"
newest=$(grep -m1 -o '<release version="[^"]*"' "$work/root/usr/share/metainfo/org.morvane.Morvane.metainfo.xml" || true)
[ "$newest" = "<release version=\"$version\"" ] || fail "the metainfo's newest release is '$newest', not $version"
# The desktop finds the icon the entry names and the type it claims.
grep -qx 'Icon=org.morvane.Morvane' "$work/root/usr/share/applications/org.morvane.Morvane.desktop" || fail "Icon line"
outside=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '^\./usr/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
# Binaries are stripped.
file "$work/root/usr/bin/Morvane" | grep -q ', stripped' || fail "Morvane is not stripped"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -q "\b$library (>= " <<<"$depends" || fail "Depends lacks $library: $depends"
done

# Lintian warns when run as root; that remark is about this test, not the package.
report=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian: $report"
report=$(grep -v 'running with root privileges' <<<"$report" || true)
[ -z "$report" ] || echo "lintian: $report"
grep -q '^E: ' <<<"$report" && fail "lintian errors"

[ "$failures" -eq 0 ] && echo "package $(basename "$deb"): files, Depends ($depends) and lintian OK"
exit "$failures"
