#!/usr/bin/env bash
# The window's first start without an archive, against the scan of `vesko --find`, over the
# same tree with empty caches, RUNS times each, alternating:
#
#   scripts/first-run.sh [BUILD] [TREE] [RUNS]
#
# BUILD is a build folder holding src/app/vesko and src/app/vesko-window (default build),
# TREE the tree to index (default /tmp/vesko-bench-tree, made by scripts/bench.sh), RUNS
# the runs of each (default 3). The window runs offscreen with the query "report" typed
# before its start; its start-up trace gives "first search ready" (the first rows shown,
# from the part read so far) and "first scan installed" (the whole index, saved). Each line
# of `vesko --find` is the whole process: scan, save and answer.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
tree="${2:-/tmp/vesko-bench-tree}"
runs="${3:-3}"
vesko="$build/src/app/vesko"
window="$build/src/app/vesko-window"

fresh() {
    work="$(mktemp -d)"
    export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}

window_run() {
    fresh
    DISPLAY="${DISPLAY:-:0}" VESKO_TRACE_STARTUP=1 QT_QPA_PLATFORM=offscreen \
        "$window" --dev-root "$tree" --dev-query report 2>"$work/trace" >/dev/null &
    local pid=$! waited
    for waited in $(seq 1 3000); do
        grep -q "first scan installed" "$work/trace" && break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk '/first search ready/ { ready = $3 } /first scan installed/ { whole = $3 }
         END { printf "window:  first search ready %7.0f ms, first scan installed %7.0f ms\n", ready, whole }' \
        "$work/trace"
    rm -rf "$work"
}

find_run() {
    fresh
    local start end
    start="$(date +%s%N)"
    "$vesko" --find --root "$tree" --count report >/dev/null 2>&1
    end="$(date +%s%N)"
    printf 'find:    scan, save and answer %7.0f ms\n' "$(((end - start) / 1000000))"
    rm -rf "$work"
}

echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tree:    $tree"
echo "window:  DISPLAY=:0 VESKO_TRACE_STARTUP=1 QT_QPA_PLATFORM=offscreen $window --dev-root TREE --dev-query report"
echo "find:    $vesko --find --root TREE --count report   (empty XDG_CACHE_HOME each run)"
for _ in $(seq 1 "$runs"); do
    find_run
    window_run
done
