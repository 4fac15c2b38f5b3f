#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs them from their corpus.
#   scripts/fuzz.sh TARGET SECONDS   one target for that long; new inputs that add coverage
#                                    go to build-fuzz/corpus/TARGET (merge them into
#                                    fuzz/corpus/TARGET with scripts/fuzz.sh --merge TARGET)
#   scripts/fuzz.sh --all SECONDS    every target in turn, SECONDS each (./test uses this)
#   scripts/fuzz.sh --merge TARGET   adds what build-fuzz/corpus/TARGET covers beyond the
#                                    committed corpus to fuzz/corpus/TARGET, minimized
#   scripts/fuzz.sh --list           the targets
# A crash, leak, overrun or broken property stops the run with a non-zero status; the input
# that caused it is saved in build-fuzz/crashes/TARGET/ (the message names the file).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-fuzz
targets=(decode roundtrip yenc commatext taskline newsrc filesbbs nntp socks settings nzb journal)

usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

build_targets() {
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DQUORVEL_FUZZ=ON -DQUORVEL_TESTS=OFF "${launcher[@]}" >/dev/null
    cmake --build "$build" --target fuzz_targets -j "${FUZZ_JOBS:-$(nproc)}"
}

run_target() {
    local target=$1 seconds=$2
    local work=$build/corpus/$target crashes=$build/crashes/$target
    mkdir -p "$work" "$crashes"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    echo "== fuzz $target for ${seconds}s (corpus fuzz/corpus/$target) =="
    # The first folder takes new inputs; the committed corpus is read only.
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "$root/fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
        tail -n 60 "$build/$target.log" >&2
        echo "fuzz target $target failed: the input is saved in $crashes/" \
             "(reproduce: $build/fuzz/$target $crashes/<file>)" >&2
        return 1
    fi
    grep -E '^stat::(number_of_executed_units|new_units_added)' "$build/$target.log" | tr '\n' ' '
    echo
}

merge_target() {
    local target=$1
    mkdir -p "$build/corpus/$target"
    "$build/fuzz/$target" -merge=1 -max_len=65536 "$root/fuzz/corpus/$target" \
        "$build/corpus/$target" 2>&1 | tail -n 2
}

[ $# -ge 1 ] || usage
case $1 in
--list) printf '%s\n' "${targets[@]}" ;;
--all)
    [ $# -eq 2 ] || usage
    build_targets
    failed=0
    for t in "${targets[@]}"; do run_target "$t" "$2" || failed=1; done
    exit $failed ;;
--merge)
    [ $# -eq 2 ] || usage
    build_targets
    merge_target "$2" ;;
*)
    [ $# -eq 2 ] || usage
    [[ " ${targets[*]} " == *" $1 "* ]] || { echo "unknown target $1 (see --list)" >&2; exit 2; }
    build_targets
    run_target "$1" "$2" ;;
esac
