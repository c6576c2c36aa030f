#!/usr/bin/env bash
# Installs the Debian packages Vesko needs (only those missing), then configures and
# builds into a build folder.
#
#   scripts/setup.sh [--app-only] [BUILD_DIR] [extra cmake arguments...]
#
# --app-only builds only the vesko executable, without the tests and benchmarks or the
# GoogleTest and Google Benchmark packages they need. An existing build folder is
# configured again when the cmake arguments differ from the ones it was last given; without
# arguments it keeps its settings. ccache is used when installed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/packages.sh"

app_only=0
if [[ "${1:-}" == --app-only ]]; then
    app_only=1
    shift
fi
build_dir="${1:-$here/build}"
shift || true

packages=(build-essential cmake ninja-build pkg-config libicu-dev libxxhash-dev qt6-base-dev
          qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libxcb1-dev libxcb-keysyms1-dev
          qt6-translations-l10n)
arguments=("$@")
targets=()
if ((app_only)); then
    arguments=(-DVESKO_BUILD_TESTS=OFF -DVESKO_BUILD_BENCH=OFF "${arguments[@]}")
    targets=(--target vesko)
else
    # The window's tests run real X servers, a window manager, keys and the clipboard; the
    # install test validates the desktop entry and the software-centre metadata.
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev libxcb-xtest0-dev xvfb xauth openbox
               xdotool xclip fonts-noto-cjk dbus desktop-file-utils appstream lintian)
fi
install_missing_packages setup "${packages[@]}"

# The arguments a folder was last configured with, to know when they change.
stamp="$build_dir/vesko-setup-arguments"
configure() {
    local generator=() launcher=()
    command -v ninja >/dev/null && [[ ! -f "$build_dir/CMakeCache.txt" ]] && generator=(-G Ninja)
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$here" -B "$build_dir" "${generator[@]}" "${launcher[@]}" "${arguments[@]}" >/dev/null
    printf '%s\n' "${arguments[@]}" >"$stamp"
}

if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
    configure
elif ((${#arguments[@]})) && [[ "$(printf '%s\n' "${arguments[@]}")" != "$(cat "$stamp" 2>/dev/null)" ]]; then
    echo "setup: configuring $build_dir again with ${arguments[*]}" >&2
    configure
fi
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
