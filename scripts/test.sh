#!/usr/bin/env bash
# Builds Vesko and runs the whole test suite.
#   scripts/test.sh                      release build with -Werror, every test
#   scripts/test.sh --sanitize address   ASan + UBSan build of the tests (build-asan/)
#   scripts/test.sh --sanitize thread    TSan build of the tests (build-tsan/)
# Further arguments go to ctest (for example -R NameTable).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sanitize=""
if [[ "${1:-}" == "--sanitize" ]]; then
    sanitize="${2:?--sanitize takes address or thread}"
    shift 2
fi

if [[ -z "$sanitize" ]]; then
    build_dir="$here/build"
    "$here/scripts/setup.sh" "$build_dir"
else
    build_dir="$here/build-$([[ $sanitize == address ]] && echo asan || echo tsan)"
    "$here/scripts/setup.sh" "$build_dir" -DVESKO_SANITIZE="$sanitize" -DVESKO_BUILD_BENCH=OFF \
        -DCMAKE_BUILD_TYPE=Debug
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
cd "$build_dir"
ctest --output-on-failure --timeout 300 -j "$(nproc)" "$@"
