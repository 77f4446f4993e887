#!/usr/bin/env bash
# Runs morvane-cli built for Linux and morvane-cli.exe under Wine on the same inputs, from the
# same folder and in the same time zone, and fails unless their archives, extracted files,
# outputs and exit statuses are the same byte for byte. Called by test-windows.sh, which sets up
# Wine; needs build-windows/ built.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
exe="$root/build-windows/src/cli/morvane-cli.exe"

# The Linux tool: from the test command's build when there is one, else a small build of its own.
if [ -f build/build.ninja ]; then
    linux_build=build
else
    linux_build=build-windows/linux-cli
    cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
        -DMORVANE_BUILD_GUI=OFF > /dev/null
fi
cmake --build "$linux_build" --target morvane-cli > /dev/null
linux="$root/$linux_build/src/cli/morvane-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A winter and a summer file time, so that the zone's daylight rule shows in the archives.
export TZ=Europe/Paris
make_tree() {
    local tree=$1
    mkdir -p "$tree/Data/Sub" "$tree/Empty folder"
    printf 'alpha\r\nbeta\n' > "$tree/a.txt"
    head -c 300000 /dev/urandom > "$tree/Data/random.bin"
    head -c 2000000 /dev/zero | tr '\0' 'z' > "$tree/Data/Sub/large.bin"
    printf 'summer' > "$tree/Data/Sub/été.txt"
    : > "$tree/Data/empty"
    touch -d '2010-01-15 13:00:00' "$tree/a.txt" "$tree/Data/random.bin" "$tree/Data/empty"
    touch -d '2010-07-15 14:00:00' "$tree/Data/Sub/large.bin" "$tree/Data/Sub/été.txt"
}

# Runs one command with both tools from the same folder and compares the exit statuses, the
# outputs and the messages.
step=0
both() {
    step=$((step + 1))
    for side in linux windows; do
        # Text from the archives is printed in UTF-8: in a UTF-8 locale on Linux, and always
        # when the Windows tool's output is not a console.
        local tool=(env LC_ALL=C.UTF-8 "$linux")
        [ $side = linux ] || tool=(wine "$exe")
        (cd "$work/$side" && "${tool[@]}" "$@" > "$work/out-$side-$step" 2> "$work/err-$side-$step"; \
            echo $? > "$work/status-$side-$step") || true
    done
    # Messages name files with each system's own separator, and the two sides work in folders
    # of their own (Wine shows the root as Z:); a listing of folders comes in the
    # order each file system keeps them in.
    for side in linux windows; do
        tr '\\' / < "$work/err-$side-$step" \
            | sed -e "s|Z:$work/$side|WORK|g" -e "s|$work/$side|WORK|g" > "$work/errpath-$side-$step"
        if [ "${in_any_order:-}" = yes ]; then
            sort "$work/out-$side-$step" > "$work/sorted-$side-$step"
            mv "$work/sorted-$side-$step" "$work/out-$side-$step"
        fi
    done
    for kind in status out errpath; do
        if ! cmp -s "$work/$kind-linux-$step" "$work/$kind-windows-$step"; then
            echo "compare-windows: '$*' differs in its $kind:" >&2
            diff <(od -c "$work/$kind-linux-$step") <(od -c "$work/$kind-windows-$step") | head -20 >&2
            exit 1
        fi
    done
}

mkdir -p "$work/linux" "$work/windows"
make_tree "$work/linux/tree"
cp -a "$work/linux/tree" "$work/windows/tree"

both mklist tree -o tree/list.txt
cmp <(sort "$work/linux/tree/list.txt") <(sort "$work/windows/tree/list.txt") \
    || { echo "compare-windows: mklist listed other files" >&2; exit 1; }
# From here on both build from one list, so that both archives hold the files in one order.
cp "$work/linux/tree/list.txt" "$work/windows/tree/list.txt"
both build tree/list.txt --description "Même archive" --version 2 --priority '$10' --author Morvane --quiet
both header tree/list.POD
both header tree/list.POD --priority 1200 --copyright "(c) 2026"
both header tree/list.POD
both list tree/list.POD
both list -l tree/list.POD
both verify tree/list.POD
both extract tree/list.POD copy
both extract tree/list.POD copy --overwrite
both extract tree/list.POD copy
in_any_order=yes both mklist tree
both build tree/missing.txt
both verify tree/a.txt

for file in tree/list.txt tree/list.POD; do
    cmp "$work/linux/$file" "$work/windows/$file" || { echo "compare-windows: $file differs" >&2; exit 1; }
done
diff -r "$work/linux/copy" "$work/windows/copy" || { echo "compare-windows: the extracted files differ" >&2; exit 1; }
for file in $(cd "$work/linux/copy" && find . -type f); do
    [ "$(stat -c %Y "$work/linux/copy/$file")" = "$(stat -c %Y "$work/windows/copy/$file")" ] \
        || { echo "compare-windows: $file was extracted with another time" >&2; exit 1; }
done
echo "compare-windows: $step commands gave the same archives, files, outputs and exit statuses on Linux and under Wine"
