#!/usr/bin/env bash
# Sets up and builds Vesko (the executable only: no tests, no benchmarks; only what is
# missing or changed is built), then starts it:
#
#   scripts/run.sh            the window, when there is a display (DISPLAY or WAYLAND_DISPLAY);
#                             without one, the scan report of the home folder instead
#   scripts/run.sh ARGS...    the scan report, saving the index archive on the way, with ARGS
#                             (--root, --query, --out) passed to it
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" --app-only "$here/build" >&2
vesko="$here/build/src/app/vesko"

if (($# == 0)); then
    if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
        exec "$vesko"
    fi
    echo "run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the scan report runs instead of the window" >&2
fi
exec "$vesko" --scan --archive "$@"
