#!/usr/bin/env bash
# Runs morvane-cli's bash completion on command lines and compares what it offers.
set -uo pipefail
completion=$(realpath "$1")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
mkdir data copy
touch list.txt one.POD two.pod three.Epd notes.bin
source "$completion"
failures=0

# complete "WORD WORD ... CURRENT" expected...: the last word is the one being completed.
check() {
    local line=$1
    shift
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _morvane_cli 2>/dev/null
    local got expected
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
    expected=$(printf '%s\n' "$@" | sort | paste -sd ' ')
    if [ "$got" != "$expected" ]; then
        echo "FAIL: '$line' offers [$got], expected [$expected]" >&2
        failures=$((failures + 1))
    fi
}

check "morvane-cli " build header list verify extract mklist --help
check "morvane-cli he" header
check "morvane-cli --" --help
check "morvane-cli build --" --header-from --description --version --priority --author --copyright --quiet
check "morvane-cli build -" -o --header-from --description --version --priority --author --copyright --quiet
check "morvane-cli header x.POD --p" --priority
check "morvane-cli list -" -l -v -o
check "morvane-cli extract a.POD copy --" --overwrite
check "morvane-cli mklist data -" -o
check "morvane-cli verify -" --strict -v
check "morvane-cli verify --s" --strict
check "morvane-cli header " one.POD two.pod three.Epd data copy
check "morvane-cli verify t" two.pod three.Epd
check "morvane-cli extract " one.POD two.pod three.Epd data copy
check "morvane-cli extract one.POD " data copy
check "morvane-cli mklist " data copy
check "morvane-cli build l" list.txt
check "morvane-cli build list.txt -o o" one.POD
check "morvane-cli build list.txt --description "
check "morvane-cli build list.txt --description x --version "
check "morvane-cli unknown "

[ "$failures" -eq 0 ] && echo "completion: every case offers what it should"
exit "$failures"
