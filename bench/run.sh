#!/usr/bin/env bash
# Measures `morvane-cli build` against `tar -cf` and `cat` of the same files, the header edit
# of a large archive against that of a small one, `mklist`, `extract` and `list` against
# `find`, `tar -xf` and `tar -tf` on one tree, a build whose lines name their files in
# another letter case against the same build in the files' own case, and `verify` of a 1 GiB
# archive whose entry carries a checksum against `cksum` of the same file, and, on archives of
# every layout of the family made from the tree, `extract` of a compressed POD4 against
# `tar -xzf` and `list` against `tar -tf`. Prints Markdown tables of medians and ratios.
#
#   bash bench/run.sh [--runs N] [--cases small,medium,large,header,tree,lookup,verify,family]
#                     [--cli PATH] [--family-archive PATH]
#
# Builds morvane-cli (Release, in build-bench/) unless --cli names one, makes its data in a
# temporary folder (about 2 GiB, removed at the end), runs every command once to warm the page
# cache and then N times (default 7), taking turns, and checks that every archive built has the
# length its header gives: DirOffset + 20 * EntryCount + NamesSize, and that the tree extracted
# and listed is the tree packed.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=7
cases=small,medium,large,header,tree,lookup,verify,family
cli=
family_archive=
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --cases) cases=$2; shift 2 ;;
    --cli) cli=$(realpath "$2"); shift 2 ;;
    --family-archive) family_archive=$(realpath "$2"); shift 2 ;;
    -h | --help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/run.sh: unknown argument $1 (try --help)" >&2; exit 2 ;;
    esac
done
case "$runs" in '' | *[!0-9]* | 0) echo "bench/run.sh: --runs needs a positive number" >&2; exit 2 ;; esac
wants() { [[ ",$cases," == *",$1,"* ]]; }
for name in ${cases//,/ }; do
    case "$name" in
    small | medium | large | header | tree | lookup | verify | family) ;;
    *) echo "bench/run.sh: unknown case $name (the cases are small, medium, large, header, tree, lookup, verify and family)" >&2; exit 2 ;;
    esac
done

source scripts/packages.sh
if [ -z "$cli" ]; then
    ensure_packages g++ cmake ninja-build time zlib1g-dev
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVANE_BUILD_GUI=OFF \
        -DBUILD_TESTING=OFF >/dev/null
    cmake --build build-bench --target morvane-cli >/dev/null
    cli=$PWD/build-bench/src/cli/morvane-cli
else
    ensure_packages time
fi
# The archives of the other layouts are laid out by the tests' generator (tests/family-archive
# of a build with tests), built apart unless --family-archive names one.
if wants family && [ -z "$family_archive" ]; then
    ensure_packages g++ cmake ninja-build zlib1g-dev "${TEST_PACKAGES[@]}"
    cmake -S . -B build-bench-tools -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVANE_BUILD_GUI=OFF \
        -DBUILD_TESTING=ON >/dev/null
    cmake --build build-bench-tools --target family-archive >/dev/null
    family_archive=$PWD/build-bench-tools/tests/family-archive
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
need_kib=$((4 * 1024 * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$need_kib" ]; then
    echo "bench/run.sh: $work has $((free_kib / 1024)) MiB free; the benchmark needs 4 GiB" >&2
    exit 1
fi
data=$work/data
out=$work/out
mkdir -p "$data" "$out"

# 100,000 files of 1 to 4 KiB in 400 folders, and their response file (backslashes) and list.
make_small() {
    local blob
    blob=$(head -c 12288 /dev/urandom | base64 -w0)
    mkdir -p "$data"/small/d{000..399}
    awk -v blob="$blob" -v root="$data" 'BEGIN {
        n = 0
        for (d = 0; d < 400; d++) {
            for (f = 0; f < 250; f++) {
                name = sprintf("small/d%03d/f%06d.bin", d, n)
                size = 1024 + (n * 7919) % 3073
                start = 1 + (n * 131) % (length(blob) - 4096)
                printf "%s", substr(blob, start, size) > (root "/" name)
                close(root "/" name)
                print name > (root "/small.list")
                n++
            }
        }
    }'
    tr / '\\' <"$data/small.list" >"$data/small.txt"
}

# 20,000 files of 1 to 4 KiB in 100 folders, their archive and their tar file.
make_tree() {
    local blob
    blob=$(head -c 12288 /dev/urandom | base64 -w0)
    mkdir -p "$data"/tree/d{000..099}
    awk -v blob="$blob" -v root="$data" 'BEGIN {
        n = 0
        for (d = 0; d < 100; d++) {
            for (f = 0; f < 200; f++) {
                name = sprintf("tree/d%03d/f%06d.bin", d, n)
                size = 1024 + (n * 7919) % 3073
                start = 1 + (n * 131) % (length(blob) - 4096)
                printf "%s", substr(blob, start, size) > (root "/" name)
                close(root "/" name)
                print name > (root "/tree.list")
                n++
            }
        }
    }'
    tr / '\\' <"$data/tree.list" >"$data/tree.txt"
    (cd "$data" && "$cli" build tree.txt -o "$out/tree.POD" --quiet && tar -cf "$out/tree.tar" tree)
}

# 20,000 files of 1 to 4 KiB in one folder, named in lower case, and two response files: one in
# the files' own case, one in upper case (as the list editor's Create File writes lines), whose
# files are found without regard to case.
make_lookup() {
    local blob
    blob=$(head -c 12288 /dev/urandom | base64 -w0)
    mkdir -p "$data/lookup"
    awk -v blob="$blob" -v root="$data" 'BEGIN {
        for (n = 0; n < 20000; n++) {
            name = sprintf("lookup/f%06d.bin", n)
            size = 1024 + (n * 7919) % 3073
            start = 1 + (n * 131) % (length(blob) - 4096)
            printf "%s", substr(blob, start, size) > (root "/" name)
            close(root "/" name)
            print name > (root "/lookup.list")
        }
    }'
    tr / '\\' <"$data/lookup.list" >"$data/lookup.txt"
    tr '/a-z' '\\A-Z' <"$data/lookup.list" >"$data/lookup-upper.txt"
}

# 2,000 files of 256 KiB.
make_medium() {
    mkdir -p "$data/medium"
    head -c $((2000 * 262144)) /dev/urandom | split -b 262144 -a 4 -d - "$data/medium/f"
    (cd "$data" && ls medium/f* >medium.list)
    tr / '\\' <"$data/medium.list" >"$data/medium.txt"
}

# One file of 1 GiB.
make_large() {
    mkdir -p "$data/large"
    head -c $((1024 * 1024 * 1024)) /dev/urandom >"$data/large/big.bin"
    echo large/big.bin >"$data/large.list"
    tr / '\\' <"$data/large.list" >"$data/large.txt"
}

# Runs a command under /usr/bin/time; sets last_seconds (wall), last_cpu (user + system, its
# children included) and last_kib (peak RSS).
measure() {
    local start end
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M %U %S' -o "$work/usage" "$@"
    end=$EPOCHREALTIME
    last_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
    read -r last_kib last_cpu < <(tail -n 1 "$work/usage" | awk '{ print $1, $2 + $3 }')
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); print (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'; }
maximum() { tr ' ' '\n' | grep . | sort -g | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "–" }'; }
seconds() { awk -v s="$1" 'BEGIN { if (s < 0.1) printf "%.1f ms", s * 1000; else printf "%.2f s", s }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
at_most() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v <= limit) }'; }

u32_at() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

failures=0
# The archive's length must be what its header says, and its entry count the list's length.
check_archive() {
    local archive=$1 lines=$2 magic count dir names length
    magic=$(head -c 4 "$archive")
    count=$(u32_at "$archive" 88)
    dir=$(u32_at "$archive" 264)
    names=$(u32_at "$archive" 272)
    length=$(stat -c %s "$archive")
    if [ "$magic" != POD3 ] || [ "$count" != "$lines" ] || [ "$length" != $((dir + 20 * count + names)) ]; then
        echo "CHECK FAILED: $archive: magic $magic, $count entries for $lines lines, length $length," \
            "DirOffset $dir + 20 x $count + NamesSize $names = $((dir + 20 * count + names))" >&2
        failures=$((failures + 1))
    fi
}

# The stored contents must be the bytes cat wrote, in the same order.
check_contents() {
    local archive=$1 concatenated=$2 dir
    dir=$(u32_at "$archive" 264)
    if [ "$(stat -c %s "$concatenated")" != $((dir - 288)) ] \
        || ! cmp -s -i 288:0 -n $((dir - 288)) "$archive" "$concatenated"; then
        echo "CHECK FAILED: the contents stored in $archive differ from the files in list order" >&2
        failures=$((failures + 1))
    fi
}

# All three run in the data folder, where the lists' relative paths resolve.
build_once() { measure "$cli" build "$1.txt" -o "$out/$1.POD" --quiet; }
tar_once() { measure tar -cf "$out/$1.tar" "$1"; }
cat_once() { measure xargs -d '\n' -a "$1.list" cat >"$out/$1.cat"; }

rows=()
cpu_rows=()
met_all=1
# Runs the three commands in turn, runs times after one warm-up round; adds a table row.
bench_case() {
    local name=$1 label=$2 target=$3 lines build_times="" tar_times="" cat_times="" build_rss=""
    local build_cpu="" tar_cpu="" cat_cpu=""
    lines=$(wc -l <"$data/$name.list")
    local round command orders=("build tar cat" "tar cat build" "cat build tar")
    for round in $(seq 0 "$runs"); do
        # Each command goes first, second and third in turn, so none always follows the same one.
        for command in ${orders[round % 3]}; do
            rm -f "$out/$name".*
            case "$command" in
            build)
                build_once "$name"
                check_archive "$out/$name.POD" "$lines"
                [ "$round" -gt 0 ] && build_times+=" $last_seconds" && build_rss+=" $last_kib" \
                    && build_cpu+=" $last_cpu" ;;
            tar)
                tar_once "$name"
                [ "$round" -gt 0 ] && tar_times+=" $last_seconds" && tar_cpu+=" $last_cpu" ;;
            cat)
                cat_once "$name"
                [ "$round" -gt 0 ] && cat_times+=" $last_seconds" && cat_cpu+=" $last_cpu" ;;
            esac
        done
    done
    rm -f "$out/$name".*
    build_once "$name"
    cat_once "$name"
    check_contents "$out/$name.POD" "$out/$name.cat"
    rm -f "$out/$name".*
    local b t c rss by_tar by_cat verdict
    b=$(median <<<"$build_times")
    t=$(median <<<"$tar_times")
    c=$(median <<<"$cat_times")
    rss=$(maximum <<<"$build_rss")
    by_tar=$(ratio "$b" "$t")
    by_cat=$(ratio "$b" "$c")
    case "$target" in
    tar) at_most "$by_tar" 0.6 && at_most "$rss" $((64 * 1024 - 1)) && verdict=met || verdict="NOT met"
        target_text="≤ 0.6 × tar, RSS < 64 MiB" ;;
    cat) at_most "$by_cat" 1.1 && verdict=met || verdict="NOT met"
        target_text="≤ 1.1 × cat" ;;
    esac
    [ "$verdict" = met ] || met_all=0
    rows+=("| $label | $(seconds "$b") | $(seconds "$t") | $(seconds "$c") | $by_tar | $by_cat | $(mib "$rss") | $target_text | $verdict |")
    b=$(median <<<"$build_cpu")
    t=$(median <<<"$tar_cpu")
    c=$(median <<<"$cat_cpu")
    cpu_rows+=("| $label | $(seconds "$b") | $(seconds "$t") | $(seconds "$c") | $(ratio "$b" "$t") | $(ratio "$b" "$c") |")
    echo "  $label: build$build_times; tar$tar_times; cat$cat_times" >&2
}

header_row=
bench_header() {
    local small_list=$work/tiny
    mkdir -p "$small_list"
    head -c 700 /dev/urandom >"$small_list/tiny.bin"
    echo tiny.bin >"$small_list/tiny.txt"
    "$cli" build "$small_list/tiny.txt" -o "$out/tiny.POD" --quiet
    "$cli" build large.txt -o "$out/large.POD" --quiet
    check_archive "$out/tiny.POD" 1
    check_archive "$out/large.POD" 1
    local large_times="" tiny_times="" round priority
    for round in $(seq 0 $((runs * 10))); do
        priority=$((1000 + round))
        measure "$cli" header "$out/large.POD" --priority "$priority"
        [ "$round" -gt 0 ] && large_times+=" $last_seconds"
        measure "$cli" header "$out/tiny.POD" --priority "$priority"
        [ "$round" -gt 0 ] && tiny_times+=" $last_seconds"
    done
    check_archive "$out/tiny.POD" 1
    check_archive "$out/large.POD" 1
    if [ "$(od -An -td4 -j100 -N4 "$out/large.POD" | tr -d ' ')" != "$priority" ]; then
        echo "CHECK FAILED: the header edit did not store priority $priority" >&2
        failures=$((failures + 1))
    fi
    local l s r verdict
    l=$(median <<<"$large_times")
    s=$(median <<<"$tiny_times")
    r=$(ratio "$l" "$s")
    at_most "$r" 1.2 && verdict=met || verdict="NOT met"
    [ "$verdict" = met ] || met_all=0
    header_row="| \`header --priority\` | $(seconds "$l") | $(seconds "$s") | $r | ≤ 1.2 | $verdict |"
    rm -f "$out/tiny.POD" "$out/large.POD"
}

pair_rows=()
# Times one of our commands against its peer on the tree, after one warm-up round, taking turns
# (each goes first every other round); prepare runs untimed before each. Adds a table row.
bench_pair() {
    local label=$1 target=$2 ours=$3 peer=$4 prepare=$5
    local round command ours_times="" peer_times="" ours_cpu="" peer_cpu=""
    for round in $(seq 0 "$runs"); do
        for command in $([ $((round % 2)) -eq 0 ] && echo "$ours $peer" || echo "$peer $ours"); do
            "$prepare"
            "$command"
            [ "$round" -gt 0 ] || continue
            if [ "$command" = "$ours" ]; then
                ours_times+=" $last_seconds"
                ours_cpu+=" $last_cpu"
            else
                peer_times+=" $last_seconds"
                peer_cpu+=" $last_cpu"
            fi
        done
    done
    local o p r verdict=
    o=$(median <<<"$ours_times")
    p=$(median <<<"$peer_times")
    r=$(ratio "$o" "$p")
    if [ -n "$target" ]; then
        at_most "$r" "$target" && verdict=met || verdict="NOT met"
        [ "$verdict" = met ] || met_all=0
    fi
    local oc pc cpu_ratio=–
    oc=$(median <<<"$ours_cpu")
    pc=$(median <<<"$peer_cpu")
    # /usr/bin/time resolves 10 ms: a zero says too little to divide.
    at_most "$oc" 0 || at_most "$pc" 0 || cpu_ratio=$(ratio "$oc" "$pc")
    pair_rows+=("| $label | $(seconds "$o") | $(seconds "$p") | $r | $cpu_ratio | ${target:+≤ $target} | $verdict |")
    echo "  $label: ours$ours_times; peer$peer_times" >&2
}

# Run in the data folder; what they print is not kept.
tree_mklist() { measure "$cli" mklist tree >/dev/null; }
tree_mklist_to_file() { measure "$cli" mklist tree -o "$out/tree-list.txt"; }
tree_find() { measure find tree -type f >/dev/null; }
tree_extract() { measure "$cli" extract "$out/tree.POD" "$out/x" >/dev/null; }
tree_untar() { measure tar -xf "$out/tree.tar" -C "$out/x"; }
tree_list() { measure "$cli" list "$out/tree.POD" >/dev/null; }
tree_tar_list() { measure tar -tf "$out/tree.tar" >/dev/null; }
no_preparation() { :; }
no_list() { rm -f "$out/tree-list.txt"; }
# Each extraction goes into an empty folder; what the one before wrote is on disk first.
empty_folder() { rm -rf "$out/x"; mkdir "$out/x"; sync; }

bench_tree() {
    bench_pair "\`mklist DIR\` ÷ \`find DIR -type f\`" 1.5 tree_mklist tree_find no_preparation
    bench_pair "\`mklist DIR -o FILE\` ÷ \`mklist DIR\`" 1.1 tree_mklist_to_file tree_mklist no_list
    bench_pair "\`extract\` ÷ \`tar -xf\` (into an empty folder)" 0.8 tree_extract tree_untar empty_folder
    bench_pair "\`list\` ÷ \`tar -tf\`" "" tree_list tree_tar_list no_preparation
    empty_folder
    "$cli" extract "$out/tree.POD" "$out/x" >/dev/null
    if ! diff -r "$out/x/tree" tree >/dev/null; then
        echo "CHECK FAILED: the tree extracted from $out/tree.POD differs from the tree packed" >&2
        failures=$((failures + 1))
    fi
    if [ "$("$cli" mklist tree | wc -l)" != "$(wc -l <tree.list)" ]; then
        echo "CHECK FAILED: mklist did not list every file of the tree" >&2
        failures=$((failures + 1))
    fi
    rm -rf "$out/x" "$out/tree-list.txt"
}

lookup_row=
lookup_exact() { measure "$cli" build lookup.txt -o "$out/lookup.POD" --quiet; }
lookup_upper() { measure "$cli" build lookup-upper.txt -o "$out/lookup-upper.POD" --quiet; }
bench_lookup() {
    bench_pair "build of upper-case lines ÷ the same build with exact-case lines" 1.5 lookup_upper lookup_exact \
        no_preparation
    lookup_row=${pair_rows[-1]}
    unset 'pair_rows[-1]'
    check_archive "$out/lookup.POD" 20000
    check_archive "$out/lookup-upper.POD" 20000
    local dir
    dir=$(u32_at "$out/lookup.POD" 264)
    if [ "$(u32_at "$out/lookup-upper.POD" 264)" != "$dir" ] \
        || ! cmp -s -n "$dir" "$out/lookup.POD" "$out/lookup-upper.POD"; then
        echo "CHECK FAILED: the upper-case lines did not store the files the exact-case lines did" >&2
        failures=$((failures + 1))
    fi
    rm -f "$out/lookup.POD" "$out/lookup-upper.POD"
}

verify_row=
put_u32() {
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($3 & 255)) $(($3 >> 8 & 255)) $(($3 >> 16 & 255)) $(($3 >> 24 & 255)))" |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
verify_checksums() { measure "$cli" verify "$out/verify.POD" >/dev/null; }
cksum_archive() { measure cksum "$out/verify.POD" >/dev/null; }
bench_verify() {
    # The 1 GiB file packed as one entry whose checksum is filled in, as other writers do: a
    # wrong one is stored first, and verify's message gives the right one.
    "$cli" build large.txt -o "$out/verify.POD" --quiet
    local at crc
    at=$(($(u32_at "$out/verify.POD" 264) + 16))
    put_u32 "$out/verify.POD" "$at" 1
    crc=$({ "$cli" verify "$out/verify.POD" || true; } | sed -n 's/.*the bytes give 0x\([0-9A-F]*\).*/\1/p' | head -n 1)
    put_u32 "$out/verify.POD" "$at" $((16#$crc))
    if ! "$cli" verify -v "$out/verify.POD" | grep -q '^entry checksums: 1 match, 0 do not'; then
        echo "CHECK FAILED: the archive's entry checksum was not found to match" >&2
        failures=$((failures + 1))
    fi
    bench_pair "\`verify\` ÷ \`cksum\` (1 GiB, one entry with a checksum)" 3 verify_checksums cksum_archive \
        no_preparation
    verify_row=${pair_rows[-1]}
    unset 'pair_rows[-1]'
    rm -f "$out/verify.POD"
}

family_rows=()
family_extract() { measure "$cli" extract "$out/tree-compressed.POD4" "$out/x" >/dev/null; }
family_untargz() { measure tar -xzf "$out/tree.tar.gz" -C "$out/x"; }
family_layout=
family_list() { measure "$cli" list "$out/tree.$family_layout" >/dev/null; }
bench_family() {
    "$family_archive" POD4 "$out/tree-compressed.POD4" --compress tree.list
    tar -czf "$out/tree.tar.gz" tree
    bench_pair "\`extract\` of a compressed POD4 ÷ \`tar -xzf\` (into an empty folder)" 1.0 family_extract \
        family_untargz empty_folder
    family_rows+=("${pair_rows[-1]}")
    unset 'pair_rows[-1]'
    empty_folder
    "$cli" extract "$out/tree-compressed.POD4" "$out/x" >/dev/null
    if ! diff -r "$out/x/tree" tree >/dev/null; then
        echo "CHECK FAILED: the tree extracted from the compressed POD4 differs from the tree packed" >&2
        failures=$((failures + 1))
    fi
    rm -rf "$out/x" "$out/tree-compressed.POD4" "$out/tree.tar.gz"
    local layout
    for layout in POD1 POD2 POD3 POD4 POD5 POD6 EPD; do
        case "$layout" in
        POD4 | POD5 | POD6) "$family_archive" "$layout" "$out/tree.$layout" --compress tree.list ;;
        *) "$family_archive" "$layout" "$out/tree.$layout" tree.list ;;
        esac
        if [ "$("$cli" list "$out/tree.$layout" | tr '\\' / | cmp - tree.list && echo same)" != same ]; then
            echo "CHECK FAILED: list of the $layout archive is not the tree's list" >&2
            failures=$((failures + 1))
        fi
        family_layout=$layout
        bench_pair "\`list\` of a $layout ÷ \`tar -tf\`" 0.5 family_list tree_tar_list no_preparation
        family_rows+=("${pair_rows[-1]}")
        unset 'pair_rows[-1]'
        rm -f "$out/tree.$layout"
    done
}

echo "Making the data in $work ..." >&2
wants small && make_small
wants lookup && make_lookup
{ wants tree || wants family; } && make_tree
wants medium && make_medium
{ wants large || wants header || wants verify; } && make_large
sync
# The larger files are dropped from the page cache and read back by the warm-up round, so that
# they are cached as files read from disk are (in large blocks), not as they were just written.
# How the cache holds them changes every command's times, cat's by up to a third.
uncached=()
wants medium && uncached+=("$data/medium.list")
{ wants large || wants header || wants verify; } && uncached+=("$data/large.list")
if [ ${#uncached[@]} -gt 0 ]; then
    cat "${uncached[@]}" | (cd "$data" && xargs -d '\n' -I{} dd if={} iflag=nocache count=0 status=none)
fi
cd "$data"
load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
echo "Measuring ($runs runs each, after one warm-up round) ..." >&2
wants small && bench_case small "100,000 files of 1–4 KiB" tar
wants medium && bench_case medium "2,000 files of 256 KiB" cat
wants large && bench_case large "1 file of 1 GiB" cat
wants header && bench_header
wants tree && bench_tree
wants lookup && bench_lookup
wants verify && bench_verify
wants family && bench_family

echo
echo "$(nproc) cores, $(uname -sr), load average before measuring: $load_before"
if [ ${#rows[@]} -gt 0 ]; then
    echo
    echo "| build | morvane-cli | tar -cf | cat | ÷ tar | ÷ cat | peak RSS | target | |"
    echo "|---|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
    echo
    echo "CPU time (user + system), for comparison when the machine is busy:"
    echo
    echo "| build | morvane-cli | tar -cf | cat | ÷ tar | ÷ cat |"
    echo "|---|---|---|---|---|---|"
    printf '%s\n' "${cpu_rows[@]}"
fi
if [ ${#pair_rows[@]} -gt 0 ]; then
    echo
    echo "| 20,000 files of 1–4 KiB in 100 folders | morvane-cli | peer | ratio | CPU ratio | target | |"
    echo "|---|---|---|---|---|---|---|"
    printf '%s\n' "${pair_rows[@]}"
fi
if [ ${#family_rows[@]} -gt 0 ]; then
    echo
    echo "| the family, 20,000 files of 1–4 KiB in 100 folders | morvane-cli | peer | ratio | CPU ratio | target | |"
    echo "|---|---|---|---|---|---|---|"
    printf '%s\n' "${family_rows[@]}"
fi
if [ -n "$lookup_row" ]; then
    echo
    echo "| 20,000 files of 1–4 KiB in one folder | upper-case lines | exact-case lines | ratio | CPU ratio | target | |"
    echo "|---|---|---|---|---|---|---|"
    echo "$lookup_row"
fi
if [ -n "$verify_row" ]; then
    echo
    echo "| checksums | morvane-cli | peer | ratio | CPU ratio | target | |"
    echo "|---|---|---|---|---|---|---|"
    echo "$verify_row"
fi
if [ -n "$header_row" ]; then
    echo
    echo "| header edit | 1 GiB archive | 1 KiB archive | ratio | target | |"
    echo "|---|---|---|---|---|---|"
    echo "$header_row"
fi
echo
header_runs=
wants header && header_runs=" (header edit: $((runs * 10)) runs)"
echo "Medians of $runs runs$header_runs; every archive's length checked: $([ $failures -eq 0 ] && echo passed || echo "$failures FAILED")."
[ $met_all -eq 1 ] || echo "Some targets were not met."
[ $failures -eq 0 ]
