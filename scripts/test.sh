#!/usr/bin/env bash
# Builds Vesko and runs its tests.
#   scripts/test.sh                      optimised build (build/), every test
#   scripts/test.sh --sanitizers         ASan + UBSan build with every test (build-asan/), then
#                                        a TSan build with the engine and store tests
#                                        (build-tsan/), the layers that hold every thread
#   scripts/test.sh --sanitize address   only the ASan + UBSan run
#   scripts/test.sh --sanitize thread    only the TSan run
# Further arguments go to ctest (for example -R NameTable).
#
# Environment:
#   VESKO_WERROR=ON|OFF   warnings as errors; ON by default when CI is set (CI=true), else OFF
#   VESKO_TEST_SEED=N     seed of the randomised tests; fixed (1) by default when CI is set, so
#                         CI runs repeat, else a fresh seed each run (every test prints its own)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

in_ci=0
[[ -n "${CI:-}" && "${CI}" != false && "${CI}" != 0 ]] && in_ci=1
werror="${VESKO_WERROR:-$( ((in_ci)) && echo ON || echo OFF)}"
if ((in_ci)) && [[ -z "${VESKO_TEST_SEED:-}" ]]; then
    export VESKO_TEST_SEED=1
fi
echo "test: warnings as errors $werror; test seed ${VESKO_TEST_SEED:-fresh each run}" >&2

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The window's end-to-end test quits a real Vesko, whose uninstrumented libdbus keeps a
# buffer until exit (tests/lsan-uninstrumented.supp); leaks of Vesko's own code still fail.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/tests/lsan-uninstrumented.supp}"
# Some tests fork a child that drops privileges and scans with threads of its own.
# The store's tests also run Qt, GLib and libdbus code built without the sanitizer; their
# internal synchronisation is suppressed (tests/tsan-uninstrumented.supp), never Vesko's.
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$here/tests/tsan-uninstrumented.supp}"

run_release() {
    "$here/scripts/setup.sh" "$here/build" -DVESKO_BUILD_TESTS=ON -DVESKO_BUILD_BENCH=ON \
        -DVESKO_WERROR="$werror"
    (cd "$here/build" && ctest --output-on-failure --timeout 300 -j "$(nproc)" "$@")
}

# Optimised sanitizer builds: -O0 would make the randomised live-update rounds crawl.
run_sanitized() {
    local kind="$1"
    shift
    local build_dir="$here/build-$([[ $kind == address ]] && echo asan || echo tsan)"
    # The shell's, the app's and the end-to-end tests drive real X servers and executables:
    # under TSan they run ten times slower and add nothing the ui tests' threads do not
    # already show, so that build neither builds nor runs them.
    local suites=""
    [[ $kind == thread ]] && suites="test_index;test_scan;test_search;test_store;test_ui"
    "$here/scripts/setup.sh" "$build_dir" -DVESKO_SANITIZE="$kind" -DVESKO_BUILD_TESTS=ON \
        -DVESKO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESKO_WERROR="$werror" \
        -DVESKO_TEST_SUITES="$suites"
    local select=()
    [[ -n $suites ]] && select=(-L "${suites//;/|}")
    (cd "$build_dir" && ctest --output-on-failure --timeout 600 -j "$(nproc)" "${select[@]}" "$@")
}

case "${1:-}" in
--sanitizers)
    shift
    run_sanitized address "$@"
    run_sanitized thread "$@"
    ;;
--sanitize)
    kind="${2:?--sanitize takes address or thread}"
    shift 2
    run_sanitized "$kind" "$@"
    ;;
*)
    run_release "$@"
    ;;
esac
