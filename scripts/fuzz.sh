#!/usr/bin/env bash
# The fuzzers of fuzz/, built with clang's libFuzzer and the address and
# undefined-behaviour sanitizers in a build folder of their own.
#   scripts/fuzz.sh list                 the fuzzers
#   scripts/fuzz.sh build                build every fuzzer
#   scripts/fuzz.sh NAME [MINUTES]       build NAME and run it for MINUTES (default 10)
#   scripts/fuzz.sh merge NAME           add the inputs of NAME's work corpus that reach
#                                        new code to fuzz/corpus/NAME (review them first)
# A run starts from fuzz/corpus/NAME and keeps what it finds in the work
# corpus ($ZELT_FUZZ_WORK/NAME, default build-fuzz/work/NAME), outside the
# tree. A failing input is written to build-fuzz/findings/NAME/; the run
# stops there and prints the property or sanitizer report.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZELT_FUZZ_BUILD_DIR:-$here/build-fuzz}"
work="${ZELT_FUZZ_WORK:-$build/work}"
names=(decoder report receive csv monitor capture hex)

usage() { echo "usage: scripts/fuzz.sh list | build | NAME [MINUTES] | merge NAME" >&2; exit 2; }

known() { local n; for n in "${names[@]}"; do [ "$n" = "$1" ] && return 0; done; return 1; }

configure() {
  "$here/scripts/zelt.sh" install
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DZELT_FUZZ=ON >/dev/null
}

build_fuzzers() {
  configure
  local targets=() n
  for n in "$@"; do targets+=("${n}_fuzz"); done
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
}

# Leak detection is off, as in the sanitized test run: the toolkit's own
# allocations would be reported.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

case "${1:-}" in
  list) printf '%s\n' "${names[@]}" ;;
  build) build_fuzzers "${names[@]}" ;;
  merge)
    name="${2:-}"; known "$name" || usage
    build_fuzzers "$name"
    [ -d "$work/$name" ] || { echo "zelt: no work corpus for $name; run it first" >&2; exit 2; }
    "$build/fuzz/${name}_fuzz" -merge=1 "$here/fuzz/corpus/$name" "$work/$name"
    ;;
  *)
    name="${1:-}"; known "$name" || usage
    minutes="${2:-10}"
    [[ "$minutes" =~ ^[0-9]+$ ]] && [ "$minutes" -gt 0 ] || usage
    build_fuzzers "$name"
    mkdir -p "$work/$name" "$build/findings/$name"
    # -timeout: one input taking this long is a finding (a hang);
    # -max_len: the receive path needs room for a few dozen records.
    "$build/fuzz/${name}_fuzz" -max_total_time=$((minutes * 60)) -timeout=30 -max_len=8192 \
      -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$name/" "$work/$name" "$here/fuzz/corpus/$name"
    ;;
esac
