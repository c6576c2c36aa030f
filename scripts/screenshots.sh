#!/usr/bin/env bash
# Pictures of every window of Vesko, for the README and for looking over a change.
#
#   scripts/screenshots.sh [OUT_DIR]        (default: build/screenshots)
#
# Starts Vesko under a private Xvfb and openbox on a small generated tree that stands as the
# home folder (so paths show "~"), with private settings, cache and runtime folders, once per
# appearance (light, dark) and language (English, Korean), and writes
# STATE-APPEARANCE-LANGUAGE.png for the main window (results, empty query, no results, near
# matches, regex problem, sidebar open), each settings page and the preview. Nothing of the user's own
# settings or index is read or written.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/packages.sh"
out="$(realpath -m "${1:-$here/build/screenshots}")"

install_missing_packages screenshots xvfb x11-utils openbox xdotool x11-apps imagemagick \
    fonts-noto-cjk
vesko="$here/build/src/app/vesko"
if [[ -f "$here/build/CMakeCache.txt" ]]; then
    cmake --build "$here/build" --target vesko >/dev/null
else
    "$here/scripts/setup.sh" --app-only "$here/build"
fi
# ImageMagick's own convert, ahead of any other program of that name on the PATH.
convert=/usr/bin/convert
[[ -x $convert ]] || convert=convert

# A fixed, short place, since the paths show in the pictures.
work=/tmp/vesko-screenshots
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"

# ---- a home-like tree whose names read as real ones, some Korean ----
tree="$work/home"
make_tree() {
    local path
    while IFS= read -r path; do
        mkdir -p "$tree/$(dirname "$path")"
        printf '%s\n' "${path##*/}" >"$tree/$path"
    done <<'EOF'
Documents/Reports/quarterly-report-2024-q3.pdf
Documents/Reports/annual-report-2023.docx
Documents/Reports/report-template.odt
Documents/Reports/expense-report-march.xlsx
Documents/보고서/주간 보고서 2024-05-13.txt
Documents/보고서/프로젝트 결과 보고서.hwp
Documents/보고서/report 초안 (수정본).md
Documents/회의록/2024-04-02 기획 회의.txt
Documents/budget-2024.ods
Documents/tax/receipts-2023.zip
Projects/vesko/README.md
Projects/vesko/src/report/ReportWriter.cpp
Projects/vesko/src/report/ReportWriter.h
Projects/vesko/docs/bug-report-template.md
Projects/vesko/CMakeLists.txt
Projects/website/index.html
Projects/website/css/style.css
Pictures/2024/제주도 여행/IMG_2041.jpg
Pictures/2024/제주도 여행/IMG_2042.jpg
Pictures/screenshots/report-chart.png
Pictures/wallpapers/mountains.jpg
Music/Playlists/road trip.m3u
Music/아이유/좋은 날.flac
Downloads/Debian-12-netinst.iso.torrent
Downloads/weekly-report-week-19.pdf
Downloads/사업 계획서.pdf
Videos/lecture-01-introduction.mp4
.config/app/settings.json
EOF
    # The preview shows a file's text, so the first hit carries some.
    cat >"$tree/Documents/Reports/report.md" <<'EOF'
# Quarterly report

Revenue grew 12% over the previous quarter. Most of the growth came from the
new subscription plans; churn stayed below 2%.

## Next steps

- Hire two support engineers
- Ship the Korean localisation
- 다음 분기 예산 검토
EOF
}
make_tree

# ---- X server, window manager, one Vesko ----
start_display() {
    local n=80
    while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    openbox --sm-disable >/dev/null 2>&1 &
    pids+=($!)
    sleep 0.5
}

# Prints the first visible window of the process whose title is not in $2 (a regex of
# window ids already known), waiting up to ten seconds.
await_window() {
    local pid="$1" known="${2:-^$}" id
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            [[ $id =~ $known ]] || { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    echo "screenshots: no window appeared" >&2
    return 1
}

shoot() {
    local window="$1" name="$2"
    sleep 0.6 # let the last key's search, icons and repaint settle
    xwd -id "$window" -silent | "$convert" xwd:- "$out/$name-$variant.png"
    echo "$out/$name-$variant.png"
}

keys() {
    local window="$1"
    shift
    xdotool windowactivate --sync "$window" "$@" >/dev/null
}

# Main-window position (window coordinates) of the sidebar's Regular Expression switch,
# with the Name section open; the Korean texts are a little taller.
declare -A regex_switch=([en]="40 381" [ko]="40 421")
# The quick filter bar's first button (Documents) above the list, sidebar closed.
declare -A documents_button=([en]="48 71" [ko]="26 73")

shoot_variant() {
    local appearance="$1" language="$2"
    variant="$appearance-$language"
    local home="$work/home-$variant"
    mkdir -p "$home/config/vesko" "$home/run" "$work/cache"
    chmod 700 "$home/run"
    printf '[General]\nappearance=%s\nlanguage=%s\nshowSidebar=false\nsbName=true\n' \
        "$appearance" "$language" >"$home/config/vesko/vesko.conf"
    env HOME="$tree" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$work/cache" \
        XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=xcb \
        WAYLAND_DISPLAY= "$vesko" --dev-root "$tree" --dev-query report --dev-select 2 \
        >"$work/vesko-$variant.log" 2>&1 &
    local pid=$!
    local main
    main="$(await_window "$pid")"
    sleep 1
    shoot "$main" main-results
    xdotool mousemove --window "$main" ${documents_button[$language]} click 1
    shoot "$main" main-quick-filter
    xdotool mousemove --window "$main" ${documents_button[$language]} click 1

    keys "$main" key ctrl+y
    local preview
    preview="$(await_window "$pid" "^$main\$")"
    shoot "$preview" preview
    keys "$preview" key Escape

    keys "$main" key ctrl+comma
    local settings page row=0
    settings="$(await_window "$pid" "^$main\$")"
    # The section list on the left: one 32-pixel row per page.
    for page in general results columns locale appearance index; do
        xdotool mousemove --window "$settings" 95 $((16 + 32 * row)) click 1
        row=$((row + 1))
        shoot "$settings" "settings-$page"
    done
    keys "$settings" key ctrl+w

    keys "$main" key ctrl+f ctrl+a BackSpace
    shoot "$main" main-empty
    keys "$main" type "zzqxjw"
    shoot "$main" main-no-results
    keys "$main" key ctrl+a type "reprot"
    shoot "$main" main-near-matches

    # Search Here from a file manager: a second start hands the folder to this window.
    env HOME="$tree" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$work/cache" \
        XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=xcb \
        WAYLAND_DISPLAY= "$vesko" --search-in "$tree/Projects" >>"$work/vesko-$variant.log" 2>&1
    keys "$main" key ctrl+f ctrl+a type report
    shoot "$main" main-search-here
    keys "$main" key ctrl+a BackSpace BackSpace

    keys "$main" key ctrl+alt+s
    keys "$main" key ctrl+f ctrl+a type report
    shoot "$main" main-sidebar
    xdotool mousemove --window "$main" ${regex_switch[$language]} click 1
    keys "$main" key ctrl+f ctrl+a type "report(["
    shoot "$main" main-regex-problem

    keys "$main" key ctrl+q
    wait "$pid" || echo "screenshots: vesko exited with $? ($variant)" >&2
}

start_display
for appearance in light dark; do
    for language in en ko; do
        shoot_variant "$appearance" "$language"
    done
done
