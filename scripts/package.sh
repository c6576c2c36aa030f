#!/usr/bin/env bash
# Builds the Debian package of Vesko: a Release build in build-package/ (installing the
# build's Debian packages when missing, as scripts/setup.sh does), then `cpack -G DEB`,
# whose dependencies come from dpkg-shlibdeps. Prints the path of the .deb, which installs
# with `apt install ./vesko_*.deb`.
#
#   scripts/package.sh [extra cmake arguments...]   e.g. -DVESKO_PACKAGE_MAINTAINER="Name <mail>"
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$here/build-package"

"$here/scripts/setup.sh" --app-only "$build_dir" -DCMAKE_BUILD_TYPE=Release "$@" >&2
# The manual page and everything else the package installs, beyond the executable.
cmake --build "$build_dir" --parallel "$(nproc)" >&2
rm -f "$build_dir"/vesko_*.deb
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$build_dir" >&2
ls "$build_dir"/vesko_*.deb
