#!/bin/bash
# The bash completion of zelt, in plain bash (bash-completion not needed):
# it is registered, and a few prefixes complete to the commands, options,
# values and ports they should, whether bash splits a word at "=" or not.
# usage: completion_test.sh COMPLETION_SCRIPT ZELT_PROGRAM
set -u
script=$1 zelt=$2
failures=0

source "$script" || exit 1
registered=$(complete -p zelt 2>&1)
if [[ $registered != "complete -F _zelt zelt" ]]; then
    echo "not registered: $registered"; failures=$((failures + 1))
fi

# expect "WANTED" WORD...: completes the last word of the line.
expect()
{
    local wanted=$1; shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _zelt
    local got="${COMPREPLY[*]}"
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: [$*] gave [$got], wanted [$wanted]"; failures=$((failures + 1))
    else
        echo "ok: [$*] -> [$got]"
    fi
}

expect "info" "$zelt" in
expect "ports info download capture set firmware monitor simulate --help" "$zelt" ""
expect "capture" "$zelt" ca
expect "--variant" "$zelt" download --v
expect "--output" "$zelt" download --port COM9 --o
expect "D C G star" "$zelt" download --variant ""
expect "--variant=star" "$zelt" download --variant=s
expect "star" "$zelt" download --variant = s
expect "--help --json" "$zelt" ports --
expect "--help --port --generic --json --timeout" "$zelt" info --port COM9 --
expect "--quiet" "$zelt" capture --port COM9 --q
expect "sampling= start=" "$zelt" set --port COM9 s
expect "start=sleep start=start" "$zelt" set --port COM9 start=s
expect "now" "$zelt" set --port COM9 clock = n
expect "" "$zelt" simulate --c
expect "" "$zelt" capture --port COM9 --seconds ""

# The ports zelt lists: a simulated logger registered as COM57.
ZELT_PORT_DIR=$(mktemp -d)
export ZELT_PORT_DIR
"$zelt" simulate --com 57 </dev/null >/dev/null 2>&1 &
sim=$!
for ((i = 0; i < 600; i++)); do
    "$zelt" ports 2>/dev/null | grep -q '^COM57 ' && break
    sleep 0.1
done
device=$("$zelt" ports 2>/dev/null | awk '$1 == "COM57" { print $2 }')
expect "COM57" "$zelt" info --port CO
expect "auto COM57 $device" "$zelt" info --port ""
expect "--port=COM57" "$zelt" info --port=COM5
kill "$sim"
wait "$sim" 2>/dev/null
rm -rf "$ZELT_PORT_DIR"

echo "$failures failed"
((failures == 0))
