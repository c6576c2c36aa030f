#!/usr/bin/env bash
# Vesko's benchmarks, on a generated tree shaped like a home folder, with a warm cache.
#
#   scripts/bench.sh walk      the scan floor (bare_walk, also with io_uring) against find,
#                              updatedb.plocate and fd, and bench_scan when it is built
#   scripts/bench.sh intern    NameTable::intern throughput (Google Benchmark)
#   scripts/bench.sh search    Search::run in process (bench_search), then the whole process
#                              `vesko --find --count Q` against `plocate -b -i -c Q`
#   scripts/bench.sh memory    peak resident memory of `vesko --find` building and saving the
#                              index, then answering from the saved archive; the archive's size
#   scripts/bench.sh archive   saving and loading the archive (bench_archive)
#   scripts/bench.sh rank      how often relevance puts the intended file first and in the
#                              first three, before and after (bench_rank, in memory)
#   scripts/bench.sh update    applying a batch, a change's delay and the watcher's start-up
#                              (bench_update; it touches 1,000 files of the tree)
#   scripts/bench.sh all       walk, intern, search and memory, in that order
#   scripts/bench.sh scale     search in process, scan and memory on a 5,000,000-entry tree
#                              (a folder of its own, made once: 5 million free inodes, a few
#                              GB of disk and a minute or two; not run in CI)
#   scripts/bench.sh sizes     the index at 1, 5 and 10 million entries, built from the
#                              generator's plan in memory (no files: 10 million would need
#                              more free inodes than most machines have): build peak against
#                              the archive, what each column costs an entry, the load from
#                              the archive (the window's leased mapping and --find's),
#                              resident memory and every keystroke of "report", each target
#                              with its figure and "met" or how far short
#
# Environment:
#   VESKO_BENCH_ENTRIES  entries in the tree (default 1000000); every benchmark uses it
#   VESKO_BENCH_TREE     where the tree lives (default /tmp/vesko-bench-tree, or
#                        /tmp/vesko-bench-tree-ENTRIES for another size); it is made once and
#                        reused while its stamp (TREE.vesko-tree-stamp) matches
#   VESKO_BENCH_SCALE_ENTRIES, VESKO_BENCH_SCALE_TREE  the same for `scale` (default 5000000
#                        and /tmp/vesko-bench-tree-5000000)
#   VESKO_BENCH_SEED     generator seed (default 42)
#   VESKO_BENCH_RUNS     hyperfine runs per command (default 5, after one warm-up run)
#   VESKO_BENCH_SEARCH_RUNS  hyperfine runs per query command (default 30, after 3 warm-ups)
#   VESKO_BENCH_SIZES    the sizes of `sizes` (default "1000000 5000000 10000000")
#
# It installs what is missing (through sudo when not root) and builds a Release build in
# build-bench/. To add a benchmark, write a function bench_NAME and add NAME to
# all_benchmarks.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/packages.sh"
build_dir="$here/build-bench"
bin="$build_dir/bench"
entries="${VESKO_BENCH_ENTRIES:-1000000}"
default_tree=/tmp/vesko-bench-tree
((entries == 1000000)) || default_tree="/tmp/vesko-bench-tree-$entries"
tree="${VESKO_BENCH_TREE:-$default_tree}"
seed="${VESKO_BENCH_SEED:-42}"
runs="${VESKO_BENCH_RUNS:-5}"
all_benchmarks=(walk intern search memory)

packages=(build-essential cmake ninja-build pkg-config libicu-dev libxxhash-dev qt6-base-dev
          libbenchmark-dev liburing-dev plocate fd-find hyperfine time)

say() { printf '\n== %s\n' "$*"; }

install_missing() { install_missing_packages bench "${packages[@]}"; }

build() {
    if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
        local launcher=()
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
            -DVESKO_BUILD_TESTS=OFF -DVESKO_BUILD_BENCH=ON >/dev/null
    fi
    cmake --build "$build_dir" --parallel "$(nproc)" --target "$@"
}

ensure_tree() {
    build gen_tree
    "$bin/gen_tree" "$tree" --entries "$entries" --seed "$seed"
}

# Every inode and directory block in memory: the figures compare CPU and system-call
# cost, not the disk.
warm_cache() {
    find "$tree" -printf '' 2>/dev/null || true
    "$bin/bare_walk" "$tree" >/dev/null
}

describe_machine() {
    local cpu
    cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
    echo "machine: $(nproc) processors, $cpu, kernel $(uname -r)"
    echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min)"
}

describe_tree() {
    local fs
    fs="$(findmnt -no FSTYPE -T "$tree" 2>/dev/null || echo '?')"
    echo "tree:    $tree ($fs), $entries entries, seed $seed, warm cache"
}

# Mean seconds per command from hyperfine's CSV, with the ratio to the bare walk.
print_walk_table() {
    local csv="$1"
    awk -F, 'NR == 1 { next }
             { name[NR] = $1; mean[NR] = $2; sd[NR] = $3; user[NR] = $5; sys[NR] = $6
               if ($1 == "bare_walk") floor = $2 }
             END {
                 printf "%-20s %9s %8s %9s %9s %11s\n", "command", "mean s", "stddev", "user s", "system s", "x bare_walk"
                 for (i = 2; i <= NR; i++)
                     printf "%-20s %9.3f %8.3f %9.3f %9.3f %11.2f\n", name[i], mean[i], sd[i], user[i], sys[i],
                            floor ? mean[i] / floor : 0
             }' "$csv"
}

bench_walk() {
    local targets=(gen_tree bare_walk)
    [[ -f "$here/bench/bench_scan.cpp" ]] && targets+=(bench_scan)
    build "${targets[@]}"
    ensure_tree
    warm_cache
    local work
    work="$(mktemp -d)"
    local db="$work/plocate.db"
    # updatedb reads /etc/updatedb.conf, whose prune lists usually hold /tmp: empty them.
    local updatedb="updatedb.plocate -U '$tree' -o '$db' --require-visibility no --prune-bind-mounts no"
    updatedb+=" --prunepaths '' --prunefs '' --prunenames ''"
    local names=(bare_walk "bare_walk --uring" find updatedb.plocate fdfind)
    local commands=("'$bin/bare_walk' '$tree'" "'$bin/bare_walk' '$tree' --uring"
                    "find '$tree' -printf '%s %T@ %A@\n' > /dev/null" "$updatedb"
                    "fdfind -H -I -u . '$tree' > /dev/null")
    if [[ -x "$bin/bench_scan" ]]; then
        names+=(bench_scan)
        commands+=("'$bin/bench_scan' '$tree'")
    fi
    local args=() i
    for i in "${!names[@]}"; do args+=(--command-name "${names[$i]}" "${commands[$i]}"); done
    say "walk: one full listing of the tree with every entry's metadata"
    describe_machine
    describe_tree
    for i in "${!names[@]}"; do echo "  ${names[$i]}: ${commands[$i]}"; done
    echo "bare_walk says:      $("$bin/bare_walk" "$tree")"
    echo "bare_walk --uring:   $("$bin/bare_walk" "$tree" --uring 2>&1 | tr '\n' ' ')"
    [[ -x "$bin/bench_scan" ]] && echo "bench_scan says:     $("$bin/bench_scan" "$tree" | tail -n 3 | tr '\n' ' ')"
    eval "$updatedb"
    echo "plocate database:    $(plocate -d "$db" -c '') names"
    hyperfine --style basic --warmup 1 --runs "$runs" --prepare "rm -f '$db'" \
        --export-csv "$work/walk.csv" "${args[@]}" >"$work/hyperfine.log" 2>&1 ||
        { cat "$work/hyperfine.log"; rm -rf "$work"; return 1; }
    echo
    print_walk_table "$work/walk.csv"
    rm -rf "$work"
}

bench_intern() {
    build micro_intern
    say "intern: NameTable::intern, 200,000 names per run (kind 0 ASCII, 1 Korean, 2 NFD Latin)"
    describe_machine
    "$bin/micro_intern" --benchmark_counters_tabular=true
}

# A query in double quotes is one text with a space for both tools; words without quotes
# must all occur, for Vesko as one query and for plocate as one pattern each.
search_queries=(s e json 2023 swift readme '"index store"' "index store" résumé 보고서)

# The query as plocate's patterns, each quoted for the shell.
plocate_patterns() {
    local q="$1" word out=()
    if [[ "$q" == \"*\" ]]; then
        q="${q#\"}"
        printf "'%s'" "${q%\"}"
        return
    fi
    for word in $q; do out+=("'$word'"); done
    printf '%s' "${out[*]}"
}

# One row per query from hyperfine's CSV files (vesko first, plocate second) and the
# counts each tool printed. The query comes last: its width in bytes is not its width on
# screen.
print_search_table() {
    local work="$1" i
    printf '%9s %11s %9s %12s %14s  %s\n' "vesko ms" "plocate ms" ratio "vesko count" "plocate count" query
    for i in "${!search_queries[@]}"; do
        awk -F, -v q="${search_queries[$i]}" -v vc="$(cat "$work/vesko-$i.count")" \
            -v pc="$(cat "$work/plocate-$i.count")" \
            'NR == 2 { v = $2 * 1000 } NR == 3 { p = $2 * 1000 }
             END { r = v / p; mark = r < 1 ? "✅" : (r <= 1.5 ? "≈ " : "❌")
                   printf "%9.1f %11.1f %6.2fx %s %12d %14d  %s\n", v, p, r, mark, vc, pc, q }' \
            "$work/search-$i.csv"
    done
}

# With an argument of 1, only the in-process figures (bench_search).
bench_search() {
    local in_process_only="${1:-0}"
    build gen_tree bench_search vesko
    ensure_tree
    local work vesko="$build_dir/src/app/vesko" search_runs="${VESKO_BENCH_SEARCH_RUNS:-30}"
    work="$(mktemp -d)"
    # The archive goes to a folder of its own, never to the user's cache.
    local -x XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"
    local db="$work/plocate.db"
    if ((in_process_only)); then
        say "search: Search::run in process"
    else
        say "search: Search::run in process, then whole processes against plocate"
    fi
    describe_machine
    describe_tree
    "$vesko" --find --root "$tree" --count x >/dev/null
    local archives=("$XDG_CACHE_HOME"/vesko/index-*.veskoindex)
    "$bin/bench_search" "$tree" --archive "${archives[0]}"
    if ((in_process_only)); then
        rm -rf "$work"
        return
    fi
    updatedb.plocate -U "$tree" -o "$db" --require-visibility no --prune-bind-mounts no \
        --prunepaths '' --prunefs '' --prunenames ''
    echo
    echo "vesko:   $vesko --find --root $tree --count Q   (the archive is loaded on every run)"
    echo "plocate: plocate -d $db -b -i -c Q   (base names, case-insensitive; the words of an"
    echo "         unquoted query as patterns of their own, which must all match)"
    echo "hyperfine --shell=none, 3 warm-ups, $search_runs runs; ratio = vesko / plocate"
    local i q patterns
    for i in "${!search_queries[@]}"; do
        q="${search_queries[$i]}"
        patterns="$(plocate_patterns "$q")"
        "$vesko" --find --root "$tree" --count "$q" >"$work/vesko-$i.count" || true
        eval "plocate -d '$db' -b -i -c $patterns" >"$work/plocate-$i.count" || true
        hyperfine --shell=none --style none --warmup 3 --runs "$search_runs" -i \
            --export-csv "$work/search-$i.csv" \
            --command-name vesko "$vesko --find --root '$tree' --count '$q'" \
            --command-name plocate "plocate -d '$db' -b -i -c $patterns" >>"$work/hyperfine.log" 2>&1 ||
            { cat "$work/hyperfine.log"; rm -rf "$work"; return 1; }
    done
    echo
    print_search_table "$work"
    echo "Counts differ where the tools differ: plocate compares bytes, so it misses names"
    echo "stored decomposed (NFD), which Vesko finds, and counts the e of a decomposed é for"
    echo "the query e, which Vesko reads as one letter é."
    rm -rf "$work"
}

bench_archive() {
    build gen_tree bench_archive
    ensure_tree
    warm_cache
    say "archive: saving and loading the index archive"
    describe_machine
    describe_tree
    "$bin/bench_archive" "$tree"
}

bench_update() {
    build gen_tree bench_update
    ensure_tree
    warm_cache
    say "update: the live-update path"
    describe_machine
    describe_tree
    "$bin/bench_update" "$tree"
}

# How often relevance puts the intended file first, on the generated home built in memory
# with application data added (no tree on disk needed).
bench_rank() {
    build bench_rank
    say "rank: the intended file among the first hits, before and after"
    describe_machine
    echo "home:    generated in memory, $entries entries, seed $seed, plus the noise of 19 words"
    "$bin/bench_rank" /home/user --entries "$entries" --seed "$seed"
}

# Peak resident memory (the kernel's maximum RSS, from GNU time) of whole processes: a
# build that saves the archive, then a query answered from it.
bench_memory() {
    build gen_tree bare_walk vesko
    ensure_tree
    warm_cache
    local work vesko="$build_dir/src/app/vesko"
    work="$(mktemp -d)"
    local -x XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"
    local archive="$XDG_CACHE_HOME/vesko/index.veskoindex" built loaded bytes
    say "memory: peak resident memory of whole processes"
    describe_machine
    describe_tree
    built="$(/usr/bin/time -f '%M %e' "$vesko" --find --root "$tree" --count x 2>&1 >/dev/null | tail -n 1)"
    loaded="$(/usr/bin/time -f '%M %e' "$vesko" --find --root "$tree" --count x 2>&1 >/dev/null | tail -n 1)"
    bytes="$(stat -c %s "$archive")"
    awk -v entries="$entries" -v bytes="$bytes" -v built="$built" -v loaded="$loaded" 'BEGIN {
        split(built, b, " "); split(loaded, l, " ")
        printf "archive:                     %8.1f MB, %6.1f B per entry\n", bytes / 1e6, bytes / entries
        printf "scan, save and answer:       %8.1f MB peak, %6.1f B per entry, %5.2fx the archive, %.2f s\n",
               b[1] / 1024, b[1] * 1024 / entries, b[1] * 1024 / bytes, b[2]
        printf "answer from the archive:     %8.1f MB peak, %6.1f B per entry, %.2f s\n",
               l[1] / 1024, l[1] * 1024 / entries, l[2]
    }'
    echo "commands: /usr/bin/time -f %M $vesko --find --root $tree --count x  (empty cache, then again)"
    rm -rf "$work"
}

# The figures that grow with the tree, on a tree five times the usual one.
bench_scale() {
    entries="${VESKO_BENCH_SCALE_ENTRIES:-5000000}"
    tree="${VESKO_BENCH_SCALE_TREE:-/tmp/vesko-bench-tree-$entries}"
    build gen_tree bare_walk bench_scan bench_search vesko
    ensure_tree
    warm_cache
    say "scale: scan against the bare walk"
    describe_machine
    describe_tree
    echo "bare_walk:  $("$bin/bare_walk" "$tree")"
    "$bin/bench_scan" "$tree" --repeat 3
    bench_search 1
    bench_memory
}

# Each size in two processes: one builds and saves, the other loads as the window does, so
# that its resident memory is the loaded index's alone. About 1.5 GB of memory and 500 MB of
# disk at ten million entries; the archives go to a temporary folder and are removed.
bench_sizes() {
    build bench_scale
    local work n
    work="$(mktemp -d)"
    say "sizes: the index at ${VESKO_BENCH_SIZES:-1000000 5000000 10000000} entries, from the plan"
    describe_machine
    for n in ${VESKO_BENCH_SIZES:-1000000 5000000 10000000}; do
        echo
        echo "-- $n entries: $bin/bench_scale ARCHIVE --entries $n [--load]"
        "$bin/bench_scale" "$work/index-$n.veskoindex" --entries "$n" --seed "$seed" | tail -n +3
        "$bin/bench_scale" "$work/index-$n.veskoindex" --entries "$n" --seed "$seed" --load |
            tail -n +3
        rm -f "$work/index-$n.veskoindex"
    done
    rm -rf "$work"
}

usage() {
    sed -n '2,42p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

(($#)) || usage
for name in "$@"; do
    [[ "$name" == all ]] && continue
    declare -F "bench_$name" >/dev/null || usage
done
install_missing
for name in "$@"; do
    if [[ "$name" == all ]]; then
        for each in "${all_benchmarks[@]}"; do "bench_$each"; done
    else
        "bench_$name"
    fi
done
