#!/usr/bin/env bash
# Runs Vesko's libFuzzer targets (clang, ASan + UBSan) for a given time.
#
#   scripts/fuzz.sh TARGET [SECONDS] [LIBFUZZER-ARGS...]   one target, 60 seconds by default
#   scripts/fuzz.sh all SECONDS                              every target in turn
#
# Targets: archive, intern, query, regex, decoders (fuzz/fuzz_TARGET.cpp). Each run starts
# from a fresh copy of fuzz/corpus/TARGET in build-fuzz/corpus/ (the committed seeds stay
# small), uses fuzz/dictionaries/TARGET.dict when present, logs to build-fuzz/logs/ and
# writes crashing inputs to build-fuzz/artifacts/TARGET/. Prints the final statistics line
# and exits non-zero when a target found a crash. To reproduce or minimise one:
#   build-fuzz/fuzz/fuzz_TARGET CRASH-FILE
#   build-fuzz/fuzz/fuzz_TARGET -minimize_crash=1 -runs=100000 CRASH-FILE
# Installs clang and the libFuzzer runtime when missing (as root or through sudo).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/packages.sh"
build_dir="$here/build-fuzz"
all_targets=(archive intern query regex decoders)
packages=(clang libclang-rt-14-dev cmake ninja-build pkg-config libicu-dev libxxhash-dev qt6-base-dev)

usage() {
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

install_missing() { install_missing_packages fuzz "${packages[@]}"; }

build() {
    if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
        CC=clang CXX=clang++ cmake -S "$here" -B "$build_dir" -G Ninja -DVESKO_FUZZ=ON \
            -DVESKO_BUILD_TESTS=OFF -DVESKO_BUILD_BENCH=OFF >/dev/null
    fi
    cmake --build "$build_dir" --parallel "$(nproc)" --target "${@/#/fuzz_}"
}

# Runs one target; prints its last status line ("#runs DONE cov: ... ft: ...").
run_target() {
    local target="$1" seconds="$2"
    shift 2
    local scratch="$build_dir/corpus/$target" artifacts="$build_dir/artifacts/$target/"
    local log="$build_dir/logs/$target.log" dict="$here/fuzz/dictionaries/$target.dict"
    rm -rf "$scratch"
    mkdir -p "$scratch" "$artifacts" "$build_dir/logs"
    cp -r "$here/fuzz/corpus/$target/." "$scratch/"
    # glibc's regcomp, which fuzz_regex calls, runs some 50 times slower under ASan's
    # allocator: a pattern that compiles in a second natively must not end the run.
    local timeout=25
    [[ "$target" == regex ]] && timeout=120
    local args=(-max_total_time="$seconds" -timeout="$timeout" -print_final_stats=1
                -artifact_prefix="$artifacts")
    [[ -f "$dict" ]] && args+=(-dict="$dict")
    echo "fuzz: $target for $seconds s (log: $log)" >&2
    local status=0
    "$build_dir/fuzz/fuzz_$target" "${args[@]}" "$@" "$scratch" >"$log" 2>&1 || status=$?
    printf '%-9s %s\n' "$target" "$(grep -E '^#[0-9]+' "$log" | tail -n 1)"
    if ((status != 0)); then
        echo "fuzz: $target failed (status $status); see $log and $artifacts" >&2
        grep -m1 -E 'ERROR|property broken' "$log" >&2 || true
    fi
    return "$status"
}

main() {
    (($# >= 1)) || usage
    local which="${1#fuzz_}" seconds="${2:-60}"
    shift $(($# >= 2 ? 2 : 1))
    [[ "$seconds" =~ ^[0-9]+$ ]] || usage
    local targets=("$which")
    [[ "$which" == all ]] && targets=("${all_targets[@]}")
    local t
    for t in "${targets[@]}"; do
        [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz: unknown target $t" >&2; usage; }
    done
    install_missing
    build "${targets[@]}"
    local failed=0
    for t in "${targets[@]}"; do
        run_target "$t" "$seconds" "$@" || failed=1
    done
    return "$failed"
}

main "$@"
