#!/usr/bin/env bash
# Installs the Debian packages Vesko needs (only those missing), then configures and
# builds into a build folder. Usage: scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/packages.sh"
build_dir="${1:-$here/build}"
shift || true

packages=(build-essential cmake ninja-build pkg-config libicu-dev libxxhash-dev qt6-base-dev
          libgtest-dev libgmock-dev libbenchmark-dev)

install_missing_packages setup "${packages[@]}"

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
    cmake -S "$here" -B "$build_dir" "${generator[@]}" "$@" >/dev/null
fi
cmake --build "$build_dir" --parallel "$(nproc)"
